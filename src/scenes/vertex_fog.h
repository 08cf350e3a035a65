// Lit, linearly fogged, untextured geometry with the fog worked out at the
// vertices. Fixed-function linear fog carries each fragment's eye depth to
// the pixel and mixes there; on llvmpipe that extra interpolated value and
// the mix cost about a quarter of a frame made of large additive sheets.
// The factor is linear in eye depth, so wherever a triangle lies wholly on
// one side of the fog's start and end, mixing at the corners and
// interpolating gives the same colours; across those two planes, and where
// lighting varies over a triangle, a few pixels move by a few levels (the
// town's frames: 12 at most, a mean of under 0.01).
//
// cVertexFog reproduces the fixed-function terms of that state: light 0
// alone (positional or directional, attenuated, not a spotlight), colour
// material for ambient and diffuse on both faces, one- or two-sided
// lighting, local or infinite viewer, separate specular colour or not, and
// linear fog from eye depth. begin() takes the drawing over only where the
// current state is that; elsewhere it changes nothing and the fixed-function
// pipeline draws as before.
#pragma once

#include "core/gl_ext.h"

class cVertexFog
{
public:
    cVertexFog();
    // Makes the programs (once; later calls keep them). False when the
    // driver refuses them: begin and end then change nothing.
    bool init();
    // How many faces a vertex stands for. With LAYERS_IN_S its s texture
    // coordinate says, and its alpha is multiplied by it (up to 1): under
    // additive blending one face then adds the light of that many faces
    // lying on it, for the cost of one. The fixed-function pipeline has no
    // such term: where begin does not take over, every face is one.
    enum eLayers
    {
        ONE_LAYER,
        LAYERS_IN_S
    };
    // Where the current state is one the program reproduces (see above),
    // puts it in use, with two-sided vertex colours if lighting is
    // two-sided; otherwise changes nothing. Reads the state once: change
    // none of it between begin and end.
    void begin(eLayers layers = ONE_LAYER);
    // Undoes what begin did.
    void end();
    // Whether begin took the drawing over.
    bool active() const { return in_use; }

    cVertexFog(const cVertexFog&) = delete;
    cVertexFog& operator=(const cVertexFog&) = delete;

private:
    bool state_reproduced() const;

    cProgramPipeline programs;
    GLint local_viewer_at;   // uniform locations in the vertex program
    GLint separate_at;
    GLint normalize_at;
    GLint layers_at;
    bool in_use;
    GLboolean two_side_was_on;
};
