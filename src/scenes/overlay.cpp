#include "overlay.h"

#include "core/display.h"

namespace {

uint32_t scaled(int32_t pixels, float scale)
{
    return uint32_t(float(pixels) * scale);
}

} // namespace

cOverlay::cOverlay(float scale)
    : target(scaled(get_display()->width, scale), scaled(get_display()->height, scale), false)
{
    target.create();
}

// The target's own destructor deletes its GL objects.
cOverlay::~cOverlay() = default;
