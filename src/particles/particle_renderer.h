// Drawing particle systems as GL points. CParticleSystemRenderer::render is
// the plain immediate-mode drawing; CPSRendererPointSpr, the renderer the
// scenes use, copies the living particles' positions into one dynamic vertex
// buffer and draws them with one call, sized by the system's point size and
// attenuated with distance. The scene sets blending, colour and transforms
// around the call. Renderers are owned by their scene.
#pragma once

#include "core/gl_ext.h"
#include "particle_system.h"

#include <cstdint>

// Copies the positions of the living particles of system to dst (three
// floats each), packed to the front in index order, at most capacity of
// them. Returns how many were written.
uint32_t pack_living_positions(const CParticleSystem& system, float* dst, uint32_t capacity);

class CParticleSystemRenderer
{
public:
    virtual ~CParticleSystemRenderer();
    // Every living particle as a point, grey from white (full life) to black.
    virtual void render(const CParticleSystem& system);
};

class CPSRendererPointSpr : public CParticleSystemRenderer
{
public:
    CPSRendererPointSpr();
    // Deletes the vertex buffer.
    ~CPSRendererPointSpr() override;
    void render(const CParticleSystem& system) override;

    // Makes the vertex buffer for count points (once, at scene load).
    void init_buffer(uint32_t count);
    void set_alpha(float a) { alpha = a; }
    // Draws the living particles. reuse false refills the buffer from the
    // system; true draws what the last refill left in it. Depth writes on,
    // depth test off; every state it changes is restored.
    void render_points(const CParticleSystem& system, bool reuse);

    // Points written at the last refill.
    uint32_t get_drawn() const { return drawn; }
    // Points the buffer holds.
    uint32_t get_capacity() const { return capacity; }

private:
    float alpha;
    GLuint vertex_buffer;
    uint32_t drawn;
    uint32_t capacity; // points, from init_buffer
    bool map_failure_reported; // the mapping error is written once
};

// Smooth (antialiased) points drawn as point sprites. A fragment program
// gives each pixel of the square sprite the coverage a smooth point of the
// same size gets from llvmpipe: full within (1 - 1 / r)^2 of the centre in
// units of the radius r squared, falling linearly with the squared distance
// to nothing at the edge, none outside, as alpha times the colour's alpha.
// llvmpipe builds that point out of two triangles per point in its vertex
// pipeline; as a sprite it costs a fraction. The vertex stage stays
// fixed-function, so render_points' size attenuation holds. For points
// without texturing or fog.
class CSmoothPointSprites
{
public:
    CSmoothPointSprites();
    // Deletes the program.
    ~CSmoothPointSprites();
    // Makes the program (once; later calls keep it). False when the driver
    // refuses it: begin and end then leave points as they are.
    bool init();
    // Where the current state draws smooth points (point smoothing on, point
    // sprites, texturing, fog and programs off), puts the program in use and
    // turns point sprites on; otherwise changes nothing.
    void begin();
    // Undoes what begin did.
    void end();

    CSmoothPointSprites(const CSmoothPointSprites&) = delete;
    CSmoothPointSprites& operator=(const CSmoothPointSprites&) = delete;

private:
    GLuint program;
    bool active; // begin took the points over
};
