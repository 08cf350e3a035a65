// rehearse: the show for the author of its script. It runs the show's own
// start-up, loading phase and frame loop (the code of bin/mirvok) in a
// window, plays from any moment with the music, pauses, jumps, loops a
// stretch and re-reads the markers script while it plays. See USAGE.
//
// Time: the show runs on the virtual counter, which the rehearsal sets
// before every frame to the show time its clock reads from the music
// (rehearsal_clock.h). A jump forward fast-forwards the frames between (as
// the capture tool does); a jump back starts the run over from show time 0
// without loading again and fast-forwards from there, because the scenes keep
// values over the whole run (core/seek.h).
#include "rehearsal_clock.h"

#include "../capture/schedule.h"
#include "toolkit/image.h"

#include "core/demo.h"
#include "core/display.h"
#include "core/gl_ext.h"
#include "core/seek.h"
#include "platform/platform.h"
#include "timeline/scene_manager.h"

#include <SDL/SDL.h>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

const char* const USAGE_LINE = "usage: rehearse [--from TIME] [--loop FROM,TO] [--fullscreen]";
const char* const HELP = R"(
Plays the show from TIME (default 0) with its music, in a 1024x768 window
(full screen with --fullscreen). TIME is seconds ("65.25"), milliseconds
("65250ms") or minutes:seconds ("1:05.25"). --loop FROM,TO jumps back to FROM
whenever the show reaches TO, and starts at FROM unless --from is given.

keys:
  space        prints the show's beat line for the moment (as the show does)
  p            pause / resume (picture, music and show time held)
  left, right  2 s back / forward; with shift 10 s
  Home         back to --from (without it, the loop's start)
  r            re-reads data/script/markers.txt and replays to the moment
  h            hides / shows the overlay
  q, Escape    ends (exit code 0)
Where the script's quit event falls the rehearsal pauses instead of ending.
)";

const char* const CAPTION = "mirvok rehearsal";
const int32_t STEP_MS = 2000;
const int32_t BIG_STEP_MS = 10000;
// The grid a seek runs on, as the capture tool's default rate.
const double SEEK_RATE = 60.0;
// How much music a jump lets the decoder prepare before it plays on.
const int JUMP_BUFFER_MS = 250;
const int JUMP_BUFFER_WAIT_MS = 1000;
// Loading: each presented frame of the loading phase takes this many counter
// units (a 10 Hz display), and its hold passes on the virtual clock.
const int64_t LOADING_REFRESH_COUNTS = 100000;
const int PAUSED_FRAME_MS = 30;
const std::size_t RECENT_EVENTS = 6;
const std::size_t PRINTED_EVENTS = 3; // on the pause line

struct options
{
    bool has_from = false;
    int32_t from = 0;
    bool loop = false;
    int32_t loop_from = 0, loop_to = 0;
    bool fullscreen = false;
};

int usage_error(const char* what, const char* arg = "")
{
    std::fprintf(stderr, "rehearse: %s%s\n%s\n", what, arg, USAGE_LINE);
    return 2;
}

// 0 on success, -1 after --help, else the exit code.
int parse_arguments(int argc, char** argv, options& opt)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s\n%s", USAGE_LINE, HELP);
            return -1;
        }
        if (arg == "--fullscreen") {
            opt.fullscreen = true;
            continue;
        }
        if (arg != "--from" && arg != "--loop")
            return usage_error("unknown option: ", argv[i]);
        if (i + 1 >= argc)
            return usage_error("missing value after ", argv[i]);
        const std::string value = argv[++i];
        if (arg == "--from") {
            if (!parse_show_time(value, &opt.from))
                return usage_error("not a show time: ", value.c_str());
            opt.has_from = true;
        } else {
            const std::size_t comma = value.find(',');
            if (comma == std::string::npos || !parse_show_time(value.substr(0, comma), &opt.loop_from) ||
                !parse_show_time(value.substr(comma + 1), &opt.loop_to))
                return usage_error("--loop wants FROM,TO: ", value.c_str());
            if (opt.loop_to - opt.loop_from < MIN_FRAME_GAP_MS)
                return usage_error("--loop wants TO after FROM: ", value.c_str());
            opt.loop = true;
        }
    }
    if (!opt.has_from && opt.loop)
        opt.from = opt.loop_from;
    return 0;
}

int64_t wall_us()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// --- the rehearsal's state --------------------------------------------------

struct handed_event
{
    int32_t code;
    int32_t time;
};

struct rehearsal
{
    options opt;
    cDemo demo;
    cRehearsalClock* clock = nullptr;
    bool loading = true;
    bool seeking = false; // frames of a seek are not shown with the overlay
    bool overlay = true;
    bool hold_next = false; // keep the next presented picture for the pause
    GLuint held_picture = 0;
    std::deque<handed_event> recent;
    double frame_ms = 0.0;
    int64_t last_frame_us = 0;
    demo_event quit = NO_EVENT;
};
rehearsal g;

cSceneManager* manager()
{
    return get_scene_manager();
}

int32_t show_time_now()
{
    return manager()->clock.show_time();
}

// "s00".."s12", "s--" before the first switch.
std::string scene_name()
{
    const int scene = seek_current_scene();
    char name[16] = "s--";
    if (scene >= 0)
        std::snprintf(name, sizeof name, "s%02d", scene);
    return name;
}

// --- overlay -------------------------------------------------------------------

std::string overlay_text_line(int i)
{
    char buf[96];
    if (i == 0) {
        std::snprintf(buf, sizeof buf, "%s %s%s", format_show_time(show_time_now()).c_str(), scene_name().c_str(),
                      g.clock && g.clock->paused() ? " paused" : "");
        return buf;
    }
    if (i == 1) {
        std::snprintf(buf, sizeof buf, "frame %.1f ms", g.frame_ms);
        std::string line = buf;
        if (g.opt.loop)
            line += " loop " + format_show_time(g.opt.loop_from) + " - " + format_show_time(g.opt.loop_to);
        return line;
    }
    const std::size_t k = std::size_t(i - 2);
    if (k >= g.recent.size())
        return "";
    const handed_event& e = g.recent[g.recent.size() - 1 - k];
    const char* token = cEventQueue_factory::event_token(e.code);
    std::snprintf(buf, sizeof buf, "%-9s %s", token ? token : "?", format_show_time(e.time).c_str());
    return buf;
}

const int OVERLAY_LINES = 2 + int(RECENT_EVENTS);
const int OVERLAY_SCALE = 2;
const int OVERLAY_LINE_PX = 7 * OVERLAY_SCALE;
const int OVERLAY_WIDTH = 320;
const int OVERLAY_HEIGHT = OVERLAY_LINES * OVERLAY_LINE_PX + 8;

// Saves the GL state the overlay and the held picture touch, draws into the
// window with plain fixed function, and puts everything back.
class cWindowDrawing
{
public:
    cWindowDrawing()
    {
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
        if (glBindProgramPipeline)
            glGetIntegerv(GL_PROGRAM_PIPELINE_BINDING, &pipeline);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active_texture);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        if (glBindProgramPipeline)
            glBindProgramPipeline(0);
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
        for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_CULL_FACE, GL_FOG, GL_ALPHA_TEST, GL_TEXTURE_2D,
                           GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_SCISSOR_TEST,
                           GL_STENCIL_TEST, GL_COLOR_MATERIAL})
            glDisable(cap);
        glDepthMask(GL_FALSE);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        const cDisplay* display = get_display();
        glViewport(0, 0, display->width, display->height);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, display->width, 0, display->height, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    ~cWindowDrawing()
    {
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopClientAttrib();
        glPopAttrib();
        glActiveTexture(GLenum(active_texture));
        glUseProgram(GLuint(program));
        if (glBindProgramPipeline)
            glBindProgramPipeline(GLuint(pipeline));
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(framebuffer));
    }

private:
    GLint framebuffer = 0, pipeline = 0, program = 0, active_texture = GL_TEXTURE0;
};

void draw_overlay()
{
    toolkit::Canvas text(OVERLAY_WIDTH, OVERLAY_HEIGHT, toolkit::rgba(0, 0, 0, 0.6f));
    for (int i = 0; i < OVERLAY_LINES; ++i)
        text.pixel_text(6, 4 + i * OVERLAY_LINE_PX, overlay_text_line(i), toolkit::rgba(1, 1, 1, 1),
                        OVERLAY_SCALE);
    // The canvas is top row first; GL draws pixels from the bottom row up.
    const std::vector<uint8_t> top_down = text.to_bytes(4);
    std::vector<uint8_t> rows(top_down.size());
    const std::size_t row_bytes = std::size_t(OVERLAY_WIDTH) * 4;
    for (int y = 0; y < OVERLAY_HEIGHT; ++y)
        std::memcpy(&rows[std::size_t(y) * row_bytes], &top_down[std::size_t(OVERLAY_HEIGHT - 1 - y) * row_bytes],
                    row_bytes);

    cWindowDrawing drawing;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glRasterPos2i(8, get_display()->height - 8 - OVERLAY_HEIGHT);
    glDrawPixels(OVERLAY_WIDTH, OVERLAY_HEIGHT, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
}

// Copies the finished picture (without the overlay) for the paused frames.
void keep_picture()
{
    cWindowDrawing drawing;
    const cDisplay* display = get_display();
    if (!g.held_picture)
        glGenTextures(1, &g.held_picture);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, g.held_picture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glReadBuffer(GL_BACK);
    glCopyTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGB8, 0, 0, display->width, display->height, 0);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
}

void draw_held_picture()
{
    if (!g.held_picture)
        return;
    cWindowDrawing drawing;
    const cDisplay* display = get_display();
    const float w = float(display->width), h = float(display->height);
    glEnable(GL_TEXTURE_RECTANGLE_ARB);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, g.held_picture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(w, 0);
    glVertex2f(w, 0);
    glTexCoord2f(w, h);
    glVertex2f(w, h);
    glTexCoord2f(0, h);
    glVertex2f(0, h);
    glEnd();
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
}

void on_present()
{
    if (g.loading) {
        platform_advance_virtual_counter(LOADING_REFRESH_COUNTS);
        return;
    }
    if (g.seeking)
        return;
    if (g.hold_next) {
        keep_picture();
        g.hold_next = false;
    }
    if (g.overlay)
        draw_overlay();
}

// --- frames, seeks and jumps ----------------------------------------------------

// Notes the events the frame's update handed out, for the overlay.
void note_handed_out(std::size_t cursor_before)
{
    const cEventQueue* queue = manager()->queue;
    if (!queue)
        return;
    for (std::size_t i = cursor_before; i < queue->cursor && i < queue->events.size(); ++i) {
        g.recent.push_back({queue->events[i].code, queue->events[i].time});
        if (g.recent.size() > RECENT_EVENTS)
            g.recent.pop_front();
    }
}

// One frame of the show at show time t, drawn and shown.
void play_frame(int32_t t)
{
    const cEventQueue* queue = manager()->queue;
    const std::size_t cursor = queue ? queue->cursor : 0;
    seek_set_show_time(t);
    g.demo.run_frame();
    note_handed_out(cursor);
    const int64_t now = wall_us();
    if (g.last_frame_us)
        g.frame_ms = double(now - g.last_frame_us) / 1000.0;
    g.last_frame_us = now;
}

int32_t clamp_to_show(int32_t t)
{
    if (t < 0)
        t = 0;
    if (g.quit.code == EVENT_QUIT && t > g.quit.time)
        t = g.quit.time;
    return t;
}

// Brings the show to show time target and draws that frame: forward through
// the frames between, backward (or when replay is asked) from show time 0.
void seek_to(int32_t target, bool replay)
{
    target = clamp_to_show(target);
    const int64_t began = wall_us();
    g.seeking = true;
    int32_t from = show_time_now();
    if (replay || target <= from) {
        seek_restart_run();
        g.recent.clear();
        from = -1;
    }
    std::vector<capture_frame> frames;
    for (const capture_frame& f : schedule_times(SEEK_RATE, {target}))
        if (f.time > from)
            frames.push_back(f);
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
        const cEventQueue* queue = manager()->queue;
        const std::size_t cursor = queue ? queue->cursor : 0;
        seek_set_show_time(frames[i].time);
        fast_forward_frame(g.demo, {frames[i].time, frames[i + 1].time, int(frames.size() - 1 - i)});
        note_handed_out(cursor);
    }
    g.seeking = false;

    // The music moves with it, and plays on once a little is decoded.
    g.clock->jump(target, wall_us());
    cSoundModule_fmod& music = manager()->music;
    for (int waited = 0; waited < JUMP_BUFFER_WAIT_MS; ++waited) {
        if (music.buffered_ms() >= JUMP_BUFFER_MS || music.decoded_to_end())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    g.hold_next = g.clock->paused();
    play_frame(target);
    std::printf("# rehearse: at %s (%s) after %.2f s\n", format_show_time(show_time_now()).c_str(),
                scene_name().c_str(), double(wall_us() - began) / 1e6);
    std::fflush(stdout);
}

void set_paused(bool paused)
{
    g.clock->set_paused(paused, wall_us());
    if (paused) {
        // The held picture is the frame of the moment the music stopped.
        const int32_t t = g.clock->show_time(wall_us());
        g.hold_next = true;
        play_frame(std::max(t, show_time_now()));
    }
    std::string line = std::string("# rehearse: ") + (paused ? "paused" : "playing") + " at " +
                       format_show_time(show_time_now()) + " (" + scene_name() + ")";
    // The last events handed out, newest first.
    for (std::size_t k = 0; paused && k < g.recent.size() && k < PRINTED_EVENTS; ++k) {
        const handed_event& e = g.recent[g.recent.size() - 1 - k];
        const char* token = cEventQueue_factory::event_token(e.code);
        line += std::string(k ? ", " : " after ") + (token ? token : "?") + " " + format_show_time(e.time);
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void reread_script()
{
    cEventQueue* queue = cEventQueue_factory::loadFile(MARKERS_SCRIPT_PATH);
    if (!queue) {
        std::fprintf(stderr, "# warning, cannot read the markers script \"%s\": keeping the one read before\n",
                     MARKERS_SCRIPT_PATH);
        return;
    }
    cSceneManager* m = manager();
    delete m->queue;
    m->queue = queue;
    m->check_script(m->music.length_ms());
    g.quit = queue->find(EVENT_QUIT);
    std::printf("# rehearse: re-read \"%s\": %zu events\n", MARKERS_SCRIPT_PATH, queue->events.size());
    std::fflush(stdout);
    seek_to(show_time_now(), true);
}

// Key presses, taken as SDL queues them (in the main thread's pumps): the
// show's event loop drains the queue every frame, and a press that came in
// between a look at the queue and that drain (during the wait that keeps
// frames apart) would be lost to the rehearsal.
const int HELD_KEYS = 32;
SDL_keysym held_keys[HELD_KEYS];
int held_key_count = 0;

int hold_key_presses(const SDL_Event* event)
{
    if (event->type != SDL_KEYDOWN || held_key_count == HELD_KEYS)
        return 1;
    held_keys[held_key_count++] = event->key.keysym;
    return 0;
}

// Takes the rehearsal's own keys out of the window's events; space, q and
// Escape go the show's own way (its beat line, its exit), key releases and
// window closes stay for the show's event loop.
void handle_keys()
{
    SDL_PumpEvents();
    SDL_Event events[HELD_KEYS];
    // Presses queued before the filter was set, or while the held ones were full.
    const int queued = SDL_PeepEvents(events, HELD_KEYS, SDL_GETEVENT, SDL_EVENTMASK(SDL_KEYDOWN));
    SDL_keysym keys[2 * HELD_KEYS];
    int n = 0;
    for (int i = 0; i < held_key_count; ++i)
        keys[n++] = held_keys[i];
    held_key_count = 0;
    for (int i = 0; i < queued; ++i)
        keys[n++] = events[i].key.keysym;
    for (int i = 0; i < n; ++i) {
        const SDL_keysym& key = keys[i];
        const bool shift = (key.mod & KMOD_SHIFT) != 0;
        switch (key.sym) {
        case SDLK_q:
        case SDLK_ESCAPE:
            exit(0);
        case SDLK_SPACE:
            ++space_presses;
            break;
        case SDLK_p:
            set_paused(!g.clock->paused());
            break;
        case SDLK_LEFT:
            seek_to(show_time_now() - (shift ? BIG_STEP_MS : STEP_MS), false);
            break;
        case SDLK_RIGHT:
            seek_to(show_time_now() + (shift ? BIG_STEP_MS : STEP_MS), false);
            break;
        case SDLK_HOME:
            seek_to(g.opt.from, false);
            break;
        case SDLK_r:
            reread_script();
            break;
        case SDLK_h:
            g.overlay = !g.overlay;
            break;
        default:
            break;
        }
    }
}

void paused_frame()
{
    poll_events();
    check_keys();
    draw_held_picture();
    get_display()->swap();
    std::this_thread::sleep_for(std::chrono::milliseconds(PAUSED_FRAME_MS));
}

void playing_frame()
{
    int32_t t = g.clock->show_time(wall_us());
    // Frames stay MIN_FRAME_GAP_MS apart in real time, so the show's loop
    // never sleeps on the virtual clock and gets ahead of the music.
    while (t - show_time_now() < MIN_FRAME_GAP_MS) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        t = g.clock->show_time(wall_us());
    }
    if (g.opt.loop && t >= g.opt.loop_to) {
        seek_to(g.opt.loop_from, false);
        return;
    }
    if (g.quit.code == EVENT_QUIT && t >= g.quit.time) {
        // The show would end here; the rehearsal holds its last moment.
        g.clock->jump(g.quit.time, wall_us());
        g.clock->set_paused(true, wall_us());
        g.hold_next = true;
        play_frame(g.quit.time);
        std::printf("# rehearse: the script's quit at %s: paused\n", format_show_time(g.quit.time).c_str());
        std::fflush(stdout);
        return;
    }
    play_frame(t);
}

} // namespace

int main(int argc, char** argv)
{
    platform_open_standard_streams();
    platform_keep_heap();
    if (int code = parse_arguments(argc, argv, g.opt))
        return code < 0 ? 0 : code;

    platform_enter_exe_dir();
    platform_use_virtual_counter(0);
    display_set_present_hook(on_present);
    display_set_caption(CAPTION);
    if (!g.opt.fullscreen)
        get_display()->flags &= ~uint32_t(SDL_FULLSCREEN);
    demo_startup();
    g.demo.init();
    g.loading = false;
    cSceneManager* m = manager();
    g.quit = m->queue ? m->queue->find(EVENT_QUIT) : NO_EVENT;
    SDL_SetEventFilter(hold_key_presses);

    // The show's start, with the music held until the first moment is reached.
    seek_align_counter();
    g.demo.start();
    m->music.pause(true);
    seek_mark_run_start();
    cRehearsalClock clock(m->music);
    g.clock = &clock;
    clock.set_paused(true, wall_us());
    seek_to(g.opt.from, false);
    set_paused(false);
    for (;;) {
        handle_keys();
        if (clock.paused())
            paused_frame();
        else
            playing_frame();
    }
}
