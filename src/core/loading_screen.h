// The loading screen: the picture and a progress bar shown while the scenes
// load. A short-lived object of the loading phase: the constructor saves the
// GL state it changes and sets up a full-window 2D view, the destructor
// restores that state.
#pragma once

#include <cstdint>

class cTexture;

class cLoadingScreen
{
public:
    cLoadingScreen();
    ~cLoadingScreen();

    // Clears and draws the picture with the bar at progress (0 .. 1); does
    // not swap. Leaves projection and modelview at the 2D view.
    void draw(float progress);

    int32_t saved_viewport[4]; // x, y, width, height
    float saved_clear_colour[4];
    // The picture "loading.jpg" from the texture manager (a 1024 x 768 image,
    // so a rectangle texture); the handle is owned, the GL texture is not.
    cTexture* texture;
};

// The bar's four corners at progress p, in the unit square (x right, y up):
// a parallelogram leaning right that grows to 372 of the picture's 1024
// pixels. out holds x0, y0, x1, y1, x2, y2, x3, y3.
void loading_bar_corners(float p, float out[8]);
