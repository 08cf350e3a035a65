// cOverlay: an offscreen colour layer the size of the window (times a
// scale), without depth. The arcs scene derives from it, renders its frame
// into the layer with begin/end and hands it to the glow pass as the source
// image. The layer exists from construction on (its target is created at
// once, so the GL context must be current) until the destructor.
#pragma once

#include "core/gl_ext.h"
#include "rendertargets/render_target.h"

class cOverlay
{
public:
    // scale: fraction of the window's width and height; each product is
    // truncated to whole pixels.
    explicit cOverlay(float scale);
    ~cOverlay();
    cOverlay(const cOverlay&) = delete;
    cOverlay& operator=(const cOverlay&) = delete;

    cRenderTarget_fbo target;
};
