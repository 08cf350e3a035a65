// A GL context for tests: an SDL window (not full screen) on the current
// DISPLAY with the show's pixel format, the extension entry points fetched
// and the show's fixed GL state set (init_gl). One per test program: create
// it once (for example in a fixture's SetUpTestSuite) and keep it.
#pragma once

// Opens the window and context once per process; later calls return the
// same answer. False (and the reason in gl_context_error()) when there is
// no display or no context could be made on it.
bool gl_test_context();
const char* gl_context_error();
// Whether a display was given (DISPLAY set and not empty).
bool gl_display_given();

// Puts the build's release folder (its shaders and data tree) on the global
// search paths, absolute, as start-up does relative to bin/, and starts the
// image library. For tests that load what the show loads ("loading.jpg").
// Once per process; needs the context.
void use_release_data();

// What a scene needs to load as in the show: the working directory in the
// build's bin/ (scenes name their folders relative to it), the release data
// on the search paths and the shader container started (its profile lines
// kept off the test's output). Once per process; needs the context.
void use_show_environment();

// Skips the current test where no display was given; fails it where one
// was and still no GL context can be made (a broken GL must not pass as
// skipped tests).
#define REQUIRE_GL_CONTEXT()                                                  \
    do {                                                                      \
        if (!gl_test_context()) {                                             \
            if (gl_display_given())                                           \
                FAIL() << "no GL context on the display: " << gl_context_error(); \
            GTEST_SKIP() << "no GL context: " << gl_context_error();          \
        }                                                                     \
    } while (0)
