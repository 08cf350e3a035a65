#include "scene_tangled.h"

#include "core/display.h"
#include "core/gl_ext.h"
#include "mesh_files/mesh.h"
#include "shaders/cShdPerPixel.h"
#include "textures/texture_manager.h"

#include <GL/glu.h>

namespace {

const char* const TANGLED_DIRECTORY = "../data/models/tangled/";
const double FOV = 130.0, ZNEAR = 0.1, ZFAR = 500.0;
const float TURN_DEGREES_PER_MS = 0.025f;
const float KNOT_GREY = 0.8f;

} // namespace

float tangled_angle(int32_t e)
{
    return static_cast<float>(e) * TURN_DEGREES_PER_MS;
}

cSceneTangled::cSceneTangled(cClock* clock) : cScene(clock), knot(nullptr), knot_texture(nullptr) {}

cSceneTangled::~cSceneTangled()
{
    if (knot)
        delete knot;
    knot = nullptr;
    delete knot_texture;
    knot_texture = nullptr;
}

void cSceneTangled::load()
{
    cSceneLoadList list;
    list.directory(TANGLED_DIRECTORY)
        .mesh("tangled.bzobj", &knot, true)
        .texture("glowing_twirl_4.jpg", &knot_texture, true, GL_CLAMP)
        .shader<cShdPerPixel>("pp_shd"); // registered for the show; this scene never binds it
    scene_load(*this, list);
}

void cSceneTangled::init()
{
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glEnable(GL_LIGHTING);
    // Black light and light model ambient, the light's colour as diffuse and specular.
    light.apply_colour();
    glAlphaFunc(GL_ALWAYS, 0.0f);
}

void cSceneTangled::exit()
{
    get_shader_container()->unbind();
    glDepthMask(GL_TRUE);
    for (GLenum unit : {GL_TEXTURE1_ARB, GL_TEXTURE0_ARB}) {
        glActiveTextureARB(unit);
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexEnvf(GL_TEXTURE_FILTER_CONTROL, GL_TEXTURE_LOD_BIAS, 0.0f);
    // draw() leaves the depth test off and additive blending set: give the
    // next scene the show's defaults back.
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void cSceneTangled::handle_event(const demo_event*) {}

void cSceneTangled::update() {}

// Leaves additive blending on, the depth test, culling, fog and texture
// generation off: the scene's whole frame is drawn this way.
void cSceneTangled::draw()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (GLenum cap : {GL_CULL_FACE, GL_DEPTH_TEST, GL_ALPHA_TEST, GL_FOG, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T})
        glDisable(cap);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    const cDisplay* display = get_display();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(FOV, double(display->width) / double(display->height), ZNEAR, ZFAR);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glColor4f(KNOT_GREY, KNOT_GREY, KNOT_GREY, 1.0f);

    // Lighting stays off: the light's values only carry over to later drawing.
    light.apply_position();
    glEnable(light.light);
    light.colour[0] = light.colour[1] = light.colour[2] = 1.4f;
    light.colour[3] = 1.0f;
    light.apply_colour();

    gluLookAt(22.0, -5.0, -0.5, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glPushMatrix();
    glRotatef(20.0f, 0.2f, 0.0f, 1.0f);
    glRotatef(tangled_angle(scene_time(clock)), 0.0f, 1.0f, 0.0f);
    glTranslatef(-10.0f, 0.0f, 0.0f);

    glEnable(knot_texture->target);
    glBindTexture(knot_texture->target, knot_texture->id);
    knot->draw();
    glDisable(knot_texture->target);
    glBindTexture(knot_texture->target, 0);
    glPopMatrix();
}
