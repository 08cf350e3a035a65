#include "scene_placeholder.h"

#include "core/gl_ext.h"
#include "core/screen.h"
#include "scenes/scene_common.h"

namespace {

// One digit cell, in the unit square: both digits and the gap between them
// sit in the middle of the window.
const float DIGIT_WIDTH = 0.16f;
const float DIGIT_HEIGHT = 0.40f;
const float DIGIT_STROKE = 0.045f;
const float DIGIT_GAP = 0.06f;
const float DIGITS_LEFT = 0.5f - DIGIT_WIDTH - DIGIT_GAP * 0.5f;
const float DIGITS_BOTTOM = 0.5f - DIGIT_HEIGHT * 0.5f;

const float BACKGROUND[3] = {0.05f, 0.05f, 0.07f};
const float DIGIT_COLOUR[3] = {1.0f, 0.6f, 0.15f};
// The border that lights up on a cue and fades over CUE_FLASH_MS.
const float BORDER = 0.012f;
const int32_t CUE_FLASH_MS = 300;

void draw_rect(float x, float y, float w, float h)
{
    glVertex2f(x, y);
    glVertex2f(x + w, y);
    glVertex2f(x + w, y + h);
    glVertex2f(x, y + h);
}

void draw_border(float brightness)
{
    glColor3f(brightness, brightness, brightness);
    draw_rect(0.0f, 0.0f, 1.0f, BORDER);
    draw_rect(0.0f, 1.0f - BORDER, 1.0f, BORDER);
    draw_rect(0.0f, 0.0f, BORDER, 1.0f);
    draw_rect(1.0f - BORDER, 0.0f, BORDER, 1.0f);
}

} // namespace

uint8_t seven_segment_bits(int digit)
{
    //                          abcdefg, bit 0 = a
    static const uint8_t bits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    return digit >= 0 && digit <= 9 ? bits[digit] : 0;
}

void placeholder_segment_rect(int position, int segment, float out[4])
{
    const float w = DIGIT_WIDTH, h = DIGIT_HEIGHT, t = DIGIT_STROKE;
    const float cells[7][4] = {
        {0, h - t, w, t},         // a
        {w - t, h / 2, t, h / 2}, // b
        {w - t, 0, t, h / 2},     // c
        {0, 0, w, t},             // d
        {0, 0, t, h / 2},         // e
        {0, h / 2, t, h / 2},     // f
        {0, h / 2 - t / 2, w, t}, // g
    };
    out[0] = DIGITS_LEFT + float(position) * (DIGIT_WIDTH + DIGIT_GAP) + cells[segment][0];
    out[1] = DIGITS_BOTTOM + cells[segment][1];
    out[2] = cells[segment][2];
    out[3] = cells[segment][3];
}

cScenePlaceholder::cScenePlaceholder(int index, cClock* clock) : cScene(clock), index(index), last_cue(-CUE_FLASH_MS)
{
}

void cScenePlaceholder::load()
{
    scene_load(*this, cSceneLoadList());
}

void cScenePlaceholder::handle_event(const demo_event* e)
{
    last_cue = e->time;
}

void cScenePlaceholder::draw()
{
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glDisable(GL_FOG);
    push_screen_matrices();

    glBegin(GL_QUADS);
    glColor3fv(BACKGROUND);
    draw_rect(0.0f, 0.0f, 1.0f, 1.0f);
    const float flash = 1.0f - smoothstep(ramp01(event_age(clock, last_cue), CUE_FLASH_MS));
    if (flash > 0.0f)
        draw_border(flash);
    glColor3fv(DIGIT_COLOUR);
    const int digits[PLACEHOLDER_DIGITS] = {(index / 10) % 10, index % 10};
    for (int p = 0; p < PLACEHOLDER_DIGITS; ++p) {
        const uint8_t lit = seven_segment_bits(digits[p]);
        for (int s = 0; s < 7; ++s) {
            if (!(lit & (1 << s)))
                continue;
            float r[4];
            placeholder_segment_rect(p, s, r);
            draw_rect(r[0], r[1], r[2], r[3]);
        }
    }
    glEnd();

    pop_screen_matrices();
    glPopAttrib();
}
