// A snapshot of the fixed-function GL state that the show's passes and
// scenes change and must give back, and the check of the state every
// scene's exit leaves for the next scene.
#pragma once

#include "core/gl_ext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct GlState
{
    std::string shader;             // the shader container's bound shader
    std::vector<GLboolean> enables; // per unit 1, 0: rectangle, 2D; then the caps below
    GLfloat projection[16], modelview[16], texture_matrix[16], colour[4];
    GLboolean depth_mask;
    GLint matrix_mode, framebuffer, viewport[4];
    GLint blend_src, blend_dst, active_unit;
    GLint bound_2d[2], bound_rectangle[2]; // per unit 0, 1
    GLint sampler; // the sampler object bound to unit 0 (0: the texture's own parameters)

    // Reads the state without changing it (the active unit comes back).
    static GlState now();
    // One failure per differing field, named with what; texture bindings
    // only when bindings is set.
    void expect_same(const GlState& after, const std::string& what, bool bindings = true) const;
};

// What a scene's exit leaves for the next one: depth writes and depth test
// on, blending by SRC_ALPHA / ONE_MINUS_SRC_ALPHA, colour material, fog and
// texture coordinate generation off, no shader (nor GL program) bound, unit
// 0 active, identity texture matrices, neither 2D nor rectangle textures
// enabled on units 0 to 2, the window's framebuffer bound.
testing::AssertionResult scene_exit_state_is_default();

// One integer of GL state (glGetIntegerv).
GLint gl_integer(GLenum name);

// The size in bytes of buffer object id (a query the show never makes); the
// array buffer binding is 0 afterwards.
GLint buffer_size(GLuint id);
