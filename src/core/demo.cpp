#include "demo.h"
#include "warm_up.h"

#include "diagnostics.h"
#include "display.h"
#include "gl_ext.h"
#include "resource_path.h"
#include "screen.h"
#include "scenes/scene_arcs.h"
#include "scenes/scene_diamond.h"
#include "scenes/scene_greetings.h"
#include "scenes/scene_intro.h"
#include "scenes/scene_particle_speaker.h"
#include "scenes/scene_particles.h"
#include "scenes/scene_speaker.h"
#include "scenes/scene_sph_laser.h"
#include "scenes/scene_tangled.h"
#include "scenes/scene_town.h"
#include "scenes/scene_vortex.h"
#include "scenes/scene_wild_speaker.h"
#include "scenes/scene_woman_box.h"
#include "shaders/cShaderContainer_CG.h"
#include "rendertargets/rendertarget_manager.h"
#include "textures/texture_manager.h"
#include "timeline/scene_manager.h"
#include "platform/platform.h"

#include <SDL/SDL.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <sstream>

int32_t keys[KEY_TABLE_SIZE] = {};
int32_t space_presses = 0;

namespace {

const int KEY_SPACE = 32;
const int KEY_ESCAPE = 27;
const int KEY_Q = 113;

cClock* show_clock()
{
    return &get_scene_manager()->clock;
}

} // namespace

// --- scenes -----------------------------------------------------------------

cScene* create_scene(int index, cClock* clock)
{
    switch (index) {
    // 0 cSceneIntro, 1 cSceneParticles, 2 cSceneSpeaker, 3 cSceneParticleSpeaker,
    // 4 cSceneTown, 5 cSceneGreetings, 6 cSceneArcs, 7 cSceneSphLaser,
    // 8 cSceneWomanBox, 9 cSceneWildSpeaker, 10 cSceneVortex, 11 cSceneDiamond,
    // 12 cSceneTangled
    case 0:
        return new cSceneIntro(clock);
    case 1:
        return new cSceneParticles(clock);
    case 2:
        return new cSceneSpeaker(clock);
    case 3:
        return new cSceneParticleSpeaker(clock);
    case 4:
        return new cSceneTown(clock);
    case 5:
        return new cSceneGreetings(clock);
    case 6:
        return new cSceneArcs(clock);
    case 7:
        return new cSceneSphLaser(clock);
    case 8:
        return new cSceneWomanBox(clock);
    case 9:
        return new cSceneWildSpeaker(clock);
    case 10:
        return new cSceneVortex(clock);
    case 11:
        return new cSceneDiamond(clock);
    case 12:
        return new cSceneTangled(clock);
    default:
        return nullptr;
    }
}

// --- keyboard -------------------------------------------------------------

bool set_key(int symbol, int32_t down)
{
    if (symbol < 0)
        return false;
    int lowered = symbol < 256 ? std::tolower(symbol) : symbol;
    if (lowered >= KEY_TABLE_SIZE)
        return false;
    keys[lowered] = down;
    return true;
}

void poll_events()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
            if (event.key.keysym.sym == SDLK_q || event.key.keysym.sym == SDLK_ESCAPE)
                exit(0);
            // Counted apart from the flag: a tap shorter than a frame brings
            // its key-up in this same drain, which clears the flag again.
            if (event.key.keysym.sym == SDLK_SPACE)
                ++space_presses;
            set_key(event.key.keysym.sym, 1);
            break;
        case SDL_KEYUP:
            set_key(event.key.keysym.sym, 0);
            break;
        case SDL_QUIT:
            exit(0);
        default:
            break;
        }
    }
}

std::string format_beat_line(int32_t t)
{
    std::ostringstream line;
    line << "beat " << t / 3600000 << ":" << (t / 60000) % 60 << ":" << (t / 1000) % 60 << "," << t % 1000 << " "
         << t;
    return line.str();
}

void check_keys()
{
    if (keys[KEY_Q] || keys[KEY_ESCAPE])
        exit(0);
    // One line per press since the last frame; a key held across frames
    // was counted once, when it went down.
    if (space_presses > 0 || keys[KEY_SPACE]) {
        const std::string line = format_beat_line(show_clock()->show_time());
        for (int32_t i = 0; i < std::max<int32_t>(space_presses, 1); ++i)
            std::cerr << line << std::endl;
        space_presses = 0;
        keys[KEY_SPACE] = 0;
    }
}

// --- drawing helpers --------------------------------------------------------

void draw_fade_overlay(float f)
{
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    GLboolean depth_mask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    push_screen_matrices();
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f - f);
    draw_unit_square();
    pop_screen_matrices();
    glDepthMask(depth_mask);
    glPopAttrib();
}

// --- start-up, loop and exit --------------------------------------------------

void exit_handler()
{
    destroy_scene_manager();
    destroy_shader_container();
    destroy_texture_manager();
    destroy_rendertarget_manager();
    destroy_resource_path();
    SDL_Quit();
    destroy_display();
    std::cout << "requested exit" << std::endl;
}

void demo_startup()
{
    cDisplay* display = get_display();
    display->init_sdl();

    glClearColor(0.15f, 0.15f, 0.15f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    display->swap();

    init_gl();
    init_image_library();

    for (int32_t& key : keys)
        key = 0;
    space_presses = 0;
    cResourcePath* paths = get_resource_path();
    paths->push_searchpath("../src/shaders");
    paths->push_searchpath("../data");
    paths->push_searchpath("../data/models");
    paths->push_searchpath("../data/music");
    paths->push_searchpath("../data/textures");
    get_shader_container()->init();
    get_scene_manager()->init();

    check_gl_error("SDL_main");
    check_il_error();

    atexit(exit_handler);
}

void cDemo::init()
{
    cSceneManager* manager = get_scene_manager();
    for (int i = 0; i < SCENE_COUNT; ++i)
        manager->add_scene(create_scene(i, &manager->clock));
    manager->load_scenes(warm_up_scenes);
}

void cDemo::run_frame()
{
    update_frame();
    draw_frame();
}

void cDemo::update_frame()
{
    poll_events();
    check_keys();
    cSceneManager* manager = get_scene_manager();
    manager->update();
    if (manager->clock.now - manager->clock.prev < 10)
        platform_sleep(5);
}

void cDemo::draw_frame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    get_scene_manager()->draw_current();
    get_display()->swap();
}

void cDemo::start()
{
    get_scene_manager()->start();
}

void cDemo::run()
{
    start();
    for (;;)
        run_frame();
}

int demo_main()
{
    demo_startup();
    cDemo demo;
    demo.init();
    demo.run();
    return 0;
}
