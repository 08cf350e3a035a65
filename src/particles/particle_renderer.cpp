#include "particle_renderer.h"

#include <cstring>
#include <iostream>

// Bytes per point in the vertex buffer: x, y, z as floats, tightly packed.
static const uint32_t POINT_BYTES = 12;

CParticleSystemRenderer::~CParticleSystemRenderer() {}

void CParticleSystemRenderer::render(const CParticleSystem& system)
{
    glBegin(GL_POINTS);
    const uint32_t count = system.size();
    for (uint32_t i = 0; i < count; ++i) {
        if (!system.is_alive(i))
            continue;
        const float g = system.life[i] / system.initial_life;
        glColor3f(g, g, g);
        glVertex3fv(&system.position[3 * static_cast<size_t>(i)]);
    }
    glEnd();
}

CPSRendererPointSpr::CPSRendererPointSpr()
    : alpha(1.0f), vertex_buffer(0), drawn(0), capacity(0), map_failure_reported(false)
{
}

CPSRendererPointSpr::~CPSRendererPointSpr()
{
    if (vertex_buffer) {
        glDeleteBuffersARB(1, &vertex_buffer);
        vertex_buffer = 0;
    }
}

void CPSRendererPointSpr::render(const CParticleSystem& system)
{
    CParticleSystemRenderer::render(system);
}

void CPSRendererPointSpr::init_buffer(uint32_t count)
{
    glGenBuffersARB(1, &vertex_buffer);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertex_buffer);
    glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(count) * POINT_BYTES, nullptr,
                    GL_DYNAMIC_DRAW_ARB);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    capacity = count;
}

uint32_t pack_living_positions(const CParticleSystem& system, float* dst, uint32_t capacity)
{
    const uint32_t count = system.size();
    const float* src = system.position.data();
    uint32_t written = 0;
    for (uint32_t first = 0; first < count && written < capacity; first += 32) {
        uint32_t bits = system.alive[first >> 5];
        // 32 living particles in a row are copied as one block.
        if (bits == 0xFFFFFFFFu && first + 32 <= count && written + 32 <= capacity) {
            std::memcpy(dst + 3 * static_cast<size_t>(written), src + 3 * static_cast<size_t>(first),
                        96 * sizeof(float));
            written += 32;
            continue;
        }
        while (bits && written < capacity) {
            const uint32_t i = first + static_cast<uint32_t>(__builtin_ctz(bits));
            bits &= bits - 1;
            const float* p = src + 3 * static_cast<size_t>(i);
            float* d = dst + 3 * static_cast<size_t>(written);
            d[0] = p[0];
            d[1] = p[1];
            d[2] = p[2];
            ++written;
        }
    }
    return written;
}

void CPSRendererPointSpr::render_points(const CParticleSystem& system, bool reuse)
{
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    GLboolean depth_mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    glDepthMask(GL_TRUE);
    glDisable(GL_DEPTH_TEST);

    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);

    // Drawn at point_size / sqrt(1 + 0.01 d) at eye distance d, between 1 and
    // 0.4 * point_size pixels.
    const GLfloat attenuation[3] = {1.0f, 0.01f, 0.0f};
    glPointParameterfvARB(GL_POINT_DISTANCE_ATTENUATION_ARB, attenuation);
    glPointParameterfARB(GL_POINT_SIZE_MIN_ARB, 1.0f);
    glPointSize(system.point_size);
    glPointParameterfARB(GL_POINT_SIZE_MAX_ARB, system.point_size * 0.4f);

    // The scene's red, green and blue stay; only alpha is this renderer's.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glColor4f(colour[0], colour[1], colour[2], alpha);

    glBindBufferARB(GL_ARRAY_BUFFER_ARB, vertex_buffer);
    if (!reuse) {
        drawn = 0;
        float* dst = static_cast<float*>(glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_WRITE_ONLY_ARB));
        if (dst) {
            drawn = pack_living_positions(system, dst, capacity);
            glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
        } else if (!map_failure_reported) {
            // No buffer (init_buffer not called) or the driver refused: draw
            // nothing rather than write through a null mapping.
            std::cerr << "## ERROR: CPSRendererPointSpr::render_points: vertex buffer " << vertex_buffer
                      << " could not be mapped, drawing no points" << std::endl;
            map_failure_reported = true;
        }
    }

    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(drawn));
    glDisableClientState(GL_VERTEX_ARRAY);
    glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);

    glDepthMask(depth_mask);
    glPopAttrib();
}

// --- smooth points ------------------------------------------------------------

namespace {

// The fixed-function vertex terms of an untextured, unlit point: position,
// colour and the attenuated size, with the eye distance taken as |z| as
// Mesa's fixed-function program takes it. The fragments get, the same for
// the whole point, its centre in window coordinates, q = 2 / size (a pixel
// in units of the radius) and the centre's scale 1 / (1 - k) (see below).
// The point is rasterized as a square of a whole number of pixels: the size
// itself where it is one (the pixels a sprite of that size covers),
// otherwise two more than its whole part, enough to hold every pixel centre
// within the circle wherever the centre falls.
const char* const VERTEX_SOURCE = "#version 130\n"
                                  "uniform vec4 viewport;\n"
                                  "flat out vec4 point;\n"
                                  "void main()\n"
                                  "{\n"
                                  "    gl_Position = ftransform();\n"
                                  "    gl_FrontColor = gl_Color;\n"
                                  "    float z = abs((gl_ModelViewMatrix * gl_Vertex).z);\n"
                                  "    float factor = gl_Point.distanceConstantAttenuation\n"
                                  "                 + z * (gl_Point.distanceLinearAttenuation\n"
                                  "                        + z * gl_Point.distanceQuadraticAttenuation);\n"
                                  "    float size = clamp(inversesqrt(factor) * gl_Point.size, gl_Point.sizeMin,\n"
                                  "                       gl_Point.sizeMax);\n"
                                  "    vec2 centre = (gl_Position.xy / gl_Position.w * 0.5 + 0.5) * viewport.zw + viewport.xy;\n"
                                  "    float q = 2.0 / size;\n"
                                  "    point = vec4(centre, q, 1.0 / (q * (2.0 - q)));\n"
                                  "    gl_PointSize = size == floor(size) ? size : floor(size) + 2.0;\n"
                                  "}\n";

// t runs -1..1 across the point's circle. llvmpipe's smooth points discard
// the pixels whose centres lie outside it (d = |t|^2 > 1) and scale alpha
// by (1 - d) / (1 - k) inside k = (1 - q)^2, where that factor reaches above
// 1, and by 1 between k and the edge: the centre is stronger than the rim.
// Outside k the factor falls below 1, so the larger of it and 1 is the
// same, and the same bytes.
const char* const FRAGMENT_SOURCE = "#version 130\n"
                                    "flat in vec4 point;\n"
                                    "void main()\n"
                                    "{\n"
                                    "    vec2 t = (gl_FragCoord.xy - point.xy) * point.z;\n"
                                    "    float d = dot(t, t);\n"
                                    "    if (d > 1.0)\n"
                                    "        discard;\n"
                                    "    float coverage = max((1.0 - d) * point.w, 1.0);\n"
                                    "    gl_FragColor = vec4(gl_Color.rgb, gl_Color.a * coverage);\n"
                                    "}\n";

} // namespace

CSmoothPoints::CSmoothPoints() : viewport_at(-1), active(false), size_was_on(GL_FALSE) {}

bool CSmoothPoints::init()
{
    if (programs.pipeline)
        return true;
    if (!programs.make(VERTEX_SOURCE, FRAGMENT_SOURCE)) {
        std::cerr << "## ERROR: CSmoothPoints::init: the smooth point program was refused, points stay as they are"
                  << std::endl;
        return false;
    }
    viewport_at = glGetUniformLocation(programs.vertex, "viewport");
    return true;
}

void CSmoothPoints::begin()
{
    // Only points the program draws alike: smooth, not sprites, untextured,
    // unlit and unfogged, with no program of the caller's in use.
    GLint in_use = 0, pipeline_bound = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &in_use);
    glGetIntegerv(GL_PROGRAM_PIPELINE_BINDING, &pipeline_bound);
    active = programs.pipeline && !in_use && !pipeline_bound && glIsEnabled(GL_POINT_SMOOTH) &&
             !glIsEnabled(GL_POINT_SPRITE) && !glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_TEXTURE_RECTANGLE_ARB) &&
             !glIsEnabled(GL_FOG) && !glIsEnabled(GL_LIGHTING);
    if (!active)
        return;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const GLfloat origin_and_size[4] = {GLfloat(viewport[0]), GLfloat(viewport[1]), GLfloat(viewport[2]),
                                        GLfloat(viewport[3])};
    glProgramUniform4fv(programs.vertex, viewport_at, 1, origin_and_size);
    size_was_on = glIsEnabled(GL_VERTEX_PROGRAM_POINT_SIZE);
    glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
    // The program smooths the square points itself.
    glDisable(GL_POINT_SMOOTH);
    glBindProgramPipeline(programs.pipeline);
}

void CSmoothPoints::end()
{
    if (!active)
        return;
    glBindProgramPipeline(0);
    glEnable(GL_POINT_SMOOTH);
    if (!size_was_on)
        glDisable(GL_VERTEX_PROGRAM_POINT_SIZE);
    active = false;
}
