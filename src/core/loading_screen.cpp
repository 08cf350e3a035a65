#include "loading_screen.h"

#include "display.h"
#include "gl_ext.h"
#include "textures/texture_manager.h"

namespace {

// The picture, a bare name found on the search paths.
const char* const LOADING_IMAGE = "loading.jpg";

// The picture is 1024 x 768 pixels; the bar is placed in its pixels.
const float PICTURE_WIDTH = 1024.0f;
const float PICTURE_HEIGHT = 768.0f;
const float BAR_LEFT = 330.0f;
const float BAR_BOTTOM = 466.0f;
const float BAR_TOP = 495.0f;
const float BAR_LEAN = 30.0f; // the top edge starts this far right of the bottom edge
const float BAR_LENGTH = 372.0f;

void load_unit_square_view()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace

void loading_bar_corners(float p, float out[8])
{
    const float grow = BAR_LENGTH * p;
    const float corners[8] = {
        BAR_LEFT,            BAR_BOTTOM, BAR_LEFT + grow, BAR_BOTTOM,
        BAR_LEFT + BAR_LEAN + grow, BAR_TOP, BAR_LEFT + BAR_LEAN, BAR_TOP,
    };
    for (int i = 0; i < 8; i += 2) {
        out[i] = corners[i] / PICTURE_WIDTH;
        out[i + 1] = corners[i + 1] / PICTURE_HEIGHT;
    }
}

cLoadingScreen::cLoadingScreen() : texture(nullptr)
{
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glGetIntegerv(GL_VIEWPORT, saved_viewport);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, saved_clear_colour);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    cDisplay* display = get_display();
    glViewport(0, 0, display->width, display->height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    texture = get_texture_manager()->get_texture(LOADING_IMAGE, true, GL_CLAMP);
}

cLoadingScreen::~cLoadingScreen()
{
    glViewport(saved_viewport[0], saved_viewport[1], saved_viewport[2], saved_viewport[3]);
    glClearColor(saved_clear_colour[0], saved_clear_colour[1], saved_clear_colour[2], saved_clear_colour[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPopAttrib();
    delete texture;
    texture = nullptr;
}

void cLoadingScreen::draw(float progress)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    load_unit_square_view();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    if (texture) {
        // Rectangle texture: coordinates in texels.
        glEnable(texture->target);
        glBindTexture(texture->target, texture->id);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex3f(0, 0, 0);
        glTexCoord2f(PICTURE_WIDTH, 0);
        glVertex3f(1, 0, 0);
        glTexCoord2f(PICTURE_WIDTH, PICTURE_HEIGHT);
        glVertex3f(1, 1, 0);
        glTexCoord2f(0, PICTURE_HEIGHT);
        glVertex3f(0, 1, 0);
        glEnd();
        glBindTexture(texture->target, 0);
        glDisable(texture->target);
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glDisable(GL_LIGHTING);

    float bar[8];
    loading_bar_corners(progress, bar);
    glColor4f(0.8f, 0.8f, 0.8f, 1.0f);
    glBegin(GL_QUADS);
    for (int i = 0; i < 8; i += 2)
        glVertex3f(bar[i], bar[i + 1], 0.1f);
    glEnd();
}
