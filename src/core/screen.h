// Screen-space drawing shared by everything that covers the window: the
// unit square mapped onto the viewport.
#pragma once

#include <GL/gl.h>

// Pushes the projection and modelview matrices and sets both so the unit
// square (0..1 in x and y, z = 0) fills the viewport. Leaves modelview current.
void push_screen_matrices();
// Pops what push_screen_matrices pushed; leaves modelview current.
void pop_screen_matrices();
// The unit square as one quad at z = 0, counter-clockwise from (0, 0), with
// no texture coordinates of its own.
void draw_unit_square();
// The same with texture coordinates equal to its corners (0..1), for
// textures addressed in unit coordinates.
void draw_unit_square_textured();

// While alive, multisampling is off; it comes back on afterwards if it was
// on. For a quad over the whole viewport: it covers every sample of each
// pixel it touches, so multisampling changes none of its pixels, while with
// it on the software renderer tests every sample of the window against the
// quad's edges (about a seventh of a full-screen pass into the window).
class cMultisampleOff
{
public:
    cMultisampleOff();
    ~cMultisampleOff();
    cMultisampleOff(const cMultisampleOff&) = delete;
    cMultisampleOff& operator=(const cMultisampleOff&) = delete;

private:
    GLboolean was_on;
};
