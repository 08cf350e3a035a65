// Screen-space drawing shared by everything that covers the window: the
// unit square mapped onto the viewport.
#pragma once

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
