#include "core/diagnostics.h"
#include "core/display.h"
#include "core/gl_ext.h"

#include <IL/il.h>
#include <IL/ilu.h>
#include <gtest/gtest.h>

#include "support/gl_context.h"

TEST(GlErrorLine, has_two_spaces_before_a_label_and_none_without)
{
    EXPECT_EQ("## ERROR: OpenGL  init_gl: invalid enumerant", format_gl_error("init_gl", "invalid enumerant"));
    EXPECT_EQ("## ERROR: OpenGL : invalid enumerant", format_gl_error("", "invalid enumerant"));
}

TEST(CheckGlError, reports_one_pending_error_per_call)
{
    REQUIRE_GL_CONTEXT();
    while (glGetError() != GL_NO_ERROR) {
    }
    EXPECT_FALSE(check_gl_error("quiet"));

    testing::internal::CaptureStderr();
    glEnable(0x7FFF); // GL_INVALID_ENUM
    EXPECT_TRUE(check_gl_error("first"));
    glClear(0xFFFFFFFF); // GL_INVALID_VALUE, raised after the first check
    EXPECT_TRUE(check_gl_error(""));
    EXPECT_FALSE(check_gl_error("third"));
    std::string err = testing::internal::GetCapturedStderr();
    std::string first = std::string("## ERROR: OpenGL  first: ") +
                        reinterpret_cast<const char*>(gluErrorString(GL_INVALID_ENUM)) + "\n";
    std::string second = std::string("## ERROR: OpenGL : ") +
                         reinterpret_cast<const char*>(gluErrorString(GL_INVALID_VALUE)) + "\n";
    EXPECT_EQ(first + second, err);
}

TEST(CheckIlError, reports_every_pending_error_in_order_with_one_result)
{
    REQUIRE_GL_CONTEXT();
    init_image_library();
    while (ilGetError() != IL_NO_ERROR) {
    }
    EXPECT_FALSE(check_il_error());

    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilLoadImage("/nonexistent/one.png");  // could not open
    ilLoadImage("/nonexistent/two.png");
    ilBindImage(0);
    ilDeleteImages(1, &image);

    testing::internal::CaptureStderr();
    EXPECT_TRUE(check_il_error());
    std::string err = testing::internal::GetCapturedStderr();
    std::string line = std::string("## ERROR: OpenIL Error ") + std::to_string(IL_COULD_NOT_OPEN_FILE) + ": " +
                       iluErrorString(IL_COULD_NOT_OPEN_FILE) + "\n";
    EXPECT_EQ(line + line, err);
    EXPECT_FALSE(check_il_error());
}
