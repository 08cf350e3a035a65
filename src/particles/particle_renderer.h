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

// Smooth (antialiased) points drawn by a program as plain square points.
// Each pixel whose centre lies within the point's circle gets the coverage a
// smooth point of the same size gets from llvmpipe, as alpha times the
// colour's alpha (see the fragment program); the others are discarded.
// llvmpipe builds a smooth point out of two triangles in its vertex
// pipeline, and fills a point sprite as a small polygon tested against four
// edges; a square point of a whole number of pixels it fills as a
// rectangle, the cheapest of the three. The vertex program reproduces the
// fixed-function size attenuation, so render_points' point parameters hold.
// For points without texturing, lighting or fog.
class CSmoothPoints
{
public:
    CSmoothPoints();
    // Makes the programs (once; later calls keep them). False when the
    // driver refuses them: begin and end then leave points as they are.
    bool init();
    // Where the current state draws smooth points (point smoothing on; point
    // sprites, texturing, lighting, fog and programs off), puts the programs
    // in use, with point smoothing off and the program's point size on;
    // otherwise changes nothing. Reads the viewport: keep it until end.
    void begin();
    // Undoes what begin did.
    void end();

    CSmoothPoints(const CSmoothPoints&) = delete;
    CSmoothPoints& operator=(const CSmoothPoints&) = delete;

private:
    cProgramPipeline programs;
    GLint viewport_at; // uniform location in the vertex program
    bool active;       // begin took the points over
    GLboolean size_was_on;
};
