// Picture files and offscreen drawing for the tests: reading and writing
// image files through the image library the show uses (DevIL), and a colour
// target of the test's own to draw into and read back.
#pragma once

#include "core/gl_ext.h"
#include "rendertargets/render_target.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The file's pixels as channels (3: RGB, 4: RGBA) bytes each, rows from the
// bottom up as GL reads them; width and height receive its size, stored the
// channels the file itself holds. Empty when the file does not load (the
// image library's errors are cleared).
std::vector<uint8_t> load_image(const std::string& path, int channels, int* width = nullptr, int* height = nullptr,
                                int* stored = nullptr);

// Writes pixels (channels 3 or 4, rows from the bottom up) to path in the
// format its extension names. False when the file cannot be written.
bool save_image(const std::string& path, const std::vector<uint8_t>& pixels, int width, int height, int channels);

// Every pixel of a render target as RGBA rows from the bottom up; the
// target is begun and ended for it, so not while it is drawn into.
std::vector<uint8_t> read_target(cRenderTarget_fbo& target);

// A width x height RGB picture whose texel (x, y) is (x, y, 7) mod 256.
std::vector<uint8_t> coordinate_picture(int width, int height);

typedef std::array<int, 4> rgba;

// An RGBA8 colour target (with a 24-bit depth buffer when asked), bound with
// its own viewport from construction to destruction; the previous binding
// and viewport come back afterwards.
class OffscreenTarget
{
public:
    OffscreenTarget(int width, int height, bool depth = false);
    ~OffscreenTarget();
    OffscreenTarget(const OffscreenTarget&) = delete;
    OffscreenTarget& operator=(const OffscreenTarget&) = delete;

    bool complete() const { return complete_; }
    // Binds it again with its viewport (after other targets were bound).
    void bind();
    // Binds the framebuffer and viewport that were current before it.
    void unbind();
    // One pixel, or every pixel as RGBA rows from the bottom up; read from
    // this target whatever is bound, which stays bound.
    rgba pixel(int x, int y) const;
    std::vector<uint8_t> read() const;

    const int width, height;

private:
    GLuint fbo_ = 0, buffers_[2] = {0, 0};
    GLint previous_fbo_ = 0, previous_viewport_[4] = {0, 0, 0, 0};
    bool complete_ = false;
};
