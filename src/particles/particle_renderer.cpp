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

// --- smooth point sprites -------------------------------------------------------

namespace {

// gl_PointCoord runs 0..1 across the sprite, so t = 2 pc - 1 runs -1..1 and
// a pixel is 2 dFdx(pc.x) = 1 / r of it. llvmpipe's smooth points discard
// the pixels whose centres lie outside the circle (d = |t|^2 > 1) and scale
// alpha by (1 - d) / (1 - k) inside k = (1 - 1 / r)^2, where that factor
// reaches above 1, and by 1 between k and the edge: the centre is stronger
// than the rim. The same arithmetic here gives the same bytes.
const char* const SMOOTH_POINT_SOURCE = "#version 120\n"
                                        "void main()\n"
                                        "{\n"
                                        "    vec2 t = gl_PointCoord * 2.0 - 1.0;\n"
                                        "    float d = dot(t, t);\n"
                                        "    if (d > 1.0)\n"
                                        "        discard;\n"
                                        "    float q = abs(dFdx(gl_PointCoord.x)) * 2.0;\n"
                                        "    float k = 1.0 - 2.0 * q + q * q;\n"
                                        "    float coverage = d <= k ? (1.0 - d) * (1.0 / (1.0 - k)) : 1.0;\n"
                                        "    gl_FragColor = vec4(gl_Color.rgb, gl_Color.a * coverage);\n"
                                        "}\n";

} // namespace

CSmoothPointSprites::CSmoothPointSprites() : program(0), active(false) {}

CSmoothPointSprites::~CSmoothPointSprites()
{
    if (program) {
        glDeleteProgram(program);
        program = 0;
    }
}

bool CSmoothPointSprites::init()
{
    if (program)
        return true;
    program = gl_linked_program(GL_FRAGMENT_SHADER, SMOOTH_POINT_SOURCE);
    if (!program)
        std::cerr << "## ERROR: CSmoothPointSprites::init: the smooth point program was refused, points stay as "
                     "they are"
                  << std::endl;
    return program != 0;
}

void CSmoothPointSprites::begin()
{
    // Only points the program draws alike: smooth, not already sprites,
    // untextured and unfogged, with no program of the caller's in use.
    GLint in_use = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &in_use);
    active = program && !in_use && glIsEnabled(GL_POINT_SMOOTH) && !glIsEnabled(GL_POINT_SPRITE) &&
             !glIsEnabled(GL_TEXTURE_2D) && !glIsEnabled(GL_TEXTURE_RECTANGLE_ARB) && !glIsEnabled(GL_FOG);
    if (!active)
        return;
    glEnable(GL_POINT_SPRITE);
    glUseProgram(program);
}

void CSmoothPointSprites::end()
{
    if (!active)
        return;
    glUseProgram(0);
    glDisable(GL_POINT_SPRITE);
    active = false;
}
