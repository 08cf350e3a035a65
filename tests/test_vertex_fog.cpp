#include "scenes/vertex_fog.h"

#include "support/gl_context.h"
#include "support/gl_state.h"
#include "support/images.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Sheets before the fog, in it and past it (none across its ends), turned
// to the light and the eye at different angles, some seen from behind.
// Every vertex has the s texture coordinate s_coord; the sheets are drawn
// `times` over.
std::vector<uint8_t> draw_sheets(const OffscreenTarget& target, float s_coord = 0.0f, int times = 1)
{
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(0.6f, 0.4f, 0.8f, 0.5f);
    glTexCoord2f(s_coord, 0.0f);
    static const float CORNERS[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const float sheets[][4] = {{-6, 3, -10, 25},   {5, 5, -12, -40},    {-25, -20, -40, 60},
                               {20, -15, -45, 150}, {0, 22, -36, -120}, {-60, 60, -100, 10}};
    for (int k = 0; k < times * 6; ++k) {
        const float* s = sheets[k % 6];
        glPushMatrix();
        glTranslatef(s[0], s[1], s[2]);
        glRotatef(s[3], 0.3f, 1.0f, 0.2f);
        const float r = -s[2] * 0.15f;
        glBegin(GL_QUADS);
        glNormal3f(0, 0, 1);
        for (const float* corner : CORNERS)
            glVertex3f(corner[0] * r, corner[1] * r, 0);
        glEnd();
        glPopMatrix();
    }
    return target.read();
}

// The largest difference in the first `channels` channels of any pixel, and
// how many pixels the first picture drew.
std::pair<int, int> compare(const std::vector<uint8_t>& fixed, const std::vector<uint8_t>& program, size_t channels)
{
    int drawn = 0, worst = 0;
    for (size_t i = 0; i < fixed.size(); i += 4) {
        drawn += fixed[i + 3] != 0;
        for (size_t c = 0; c < channels; ++c)
            worst = std::max(worst, std::abs(int(fixed[i + c]) - int(program[i + c])));
    }
    return {worst, drawn};
}

// The town's kind of state: one positional light set under the identity,
// both faces lit, colour material, linear fog, seen through a 90-degree
// view.
void set_town_state()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, 1.0, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat light[4] = {30, 40, -20, 1}, half[4] = {0.5f, 0.5f, 0.5f, 1}, fog_colour[4] = {0.2f, 0.3f, 0.5f, 1};
    const GLfloat specular[4] = {0.9f, 0.8f, 0.7f, 1}, emission[4] = {0.05f, 0, 0.02f, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glLightfv(GL_LIGHT0, GL_SPECULAR, half);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, 0.004f);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 12.0f);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glFogfv(GL_FOG_COLOR, fog_colour);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogf(GL_FOG_START, 20.0f);
    glFogf(GL_FOG_END, 60.0f);
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_FOG})
        glEnable(cap);
    for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_BLEND, GL_TEXTURE_2D, GL_TEXTURE_RECTANGLE_ARB})
        glDisable(cap);
    glClearColor(0, 0, 0, 0);
}

// The programs, and a 64 x 64 target drawn in the town's kind of state,
// which is undone after each test.
class VertexFog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_GL_CONTEXT();
        ASSERT_TRUE(fog.init());
        target.emplace(64, 64);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        pushed = true;
        set_town_state();
    }
    void TearDown() override
    {
        if (!pushed)
            return;
        glPopAttrib();
        glColor4f(1, 1, 1, 1);
        EXPECT_EQ(GL_NO_ERROR, glGetError());
    }

    cVertexFog fog;
    std::optional<OffscreenTarget> target;
    bool pushed = false;
};

TEST_F(VertexFog, draws_lit_fogged_sheets_as_the_fixed_pipeline_does_and_leaves_other_state_to_it)
{
    for (GLint local_viewer : {1, 0}) {
        glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, local_viewer);
        const std::vector<uint8_t> fixed = draw_sheets(*target);
        fog.begin();
        ASSERT_TRUE(fog.active());
        // Without layers asked for, the s coordinate is nobody's business.
        const std::vector<uint8_t> program = draw_sheets(*target, 2.0f);
        fog.end();
        EXPECT_EQ(0, gl_integer(GL_PROGRAM_PIPELINE_BINDING));
        EXPECT_FALSE(glIsEnabled(GL_VERTEX_PROGRAM_TWO_SIDE));
        // Unblended, the alpha is written as it is: it shows an s read when
        // it should not be.
        const auto [worst, drawn] = compare(fixed, program, 4);
        EXPECT_GT(drawn, 400) << local_viewer;
        EXPECT_GE(2, worst) << local_viewer;
    }

    void (*const unlike[])() = {[] { glEnable(GL_TEXTURE_2D); },  [] { glEnable(GL_LIGHT1); },
                                [] { glDisable(GL_FOG); },         [] { glFogi(GL_FOG_MODE, GL_EXP); },
                                [] { glColorMaterial(GL_FRONT, GL_DIFFUSE); },
                                [] { glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, 30.0f); }};
    for (auto change : unlike) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        change();
        fog.begin();
        EXPECT_FALSE(fog.active());
        EXPECT_EQ(0, gl_integer(GL_PROGRAM_PIPELINE_BINDING));
        fog.end();
        glPopAttrib();
    }
}

// Added on top of each other, the sheets drawn twice by the fixed pipeline
// and once standing for two give the same picture; standing for one, the
// same as drawn once.
TEST_F(VertexFog, with_layers_a_face_adds_the_light_of_as_many_faces_as_its_s_coordinate_says)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    for (int faces : {1, 2}) {
        const std::vector<uint8_t> fixed = draw_sheets(*target, 0.0f, faces);
        fog.begin(cVertexFog::LAYERS_IN_S);
        ASSERT_TRUE(fog.active());
        const std::vector<uint8_t> program = draw_sheets(*target, float(faces));
        fog.end();
        const auto [worst, drawn] = compare(fixed, program, 3);
        EXPECT_GT(drawn, 400) << faces;
        // Each draw of the fixed pipeline rounds what it adds.
        EXPECT_GE(2 * faces, worst) << faces;
    }
}

} // namespace
