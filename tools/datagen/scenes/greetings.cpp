// The greetings room (models/greetings, textures/greetings): a hexagonal hall
// (walls 1400 from the centre, ceiling at 1300) with a television set against
// each wall, sized for the scene's fog (500 to 4000 units at the peak of a
// greeting) and its camera (fov 75). "main.bzobj" is the room with the sets'
// casings, one material on "main01.jpg" laid out as an atlas; "tube01.bzobj"
// is a ring of light tubes under the ceiling (the scene lifts it by 2000 and
// draws it with "tube01.jpg"); "screen01" .. "screen06" are the picture areas,
// 0..1 across. Thirteen greeting logos (transparent PNGs that slide over the
// picture, each group set in a typeface and treatment of its own) and six
// 1.9 s camera flights, each ending in front of its screen.
#include "generator.h"
#include "toolkit/image.h"
#include "toolkit/mesh.h"
#include "toolkit/path.h"
#include "toolkit/type.h"
#include "toolkit/type_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace toolkit;

namespace {

const std::string MODELS = "models/greetings/";
const std::string TEXTURES = "textures/greetings/";

const float ROOM_APOTHEM = 1400.0f; // centre to each wall
const float ROOM_HEIGHT = 1300.0f;
const float TUBE_LIFT = 2000.0f; // the scene draws the tube mesh this much higher

// The television sets: casing size, the screen's size (4:3) and height.
const Vec3 CASING = {640, 500, 300};
const float CASING_BACK = ROOM_APOTHEM - 10; // distance of the casing's back from the centre
const float SCREEN_W = 480, SCREEN_H = 360;
const float SCREEN_Y = 430;
const float SCREEN_BULGE = 14;

// Where the camera stops in front of a screen (distance from it).
const float VIEW_DISTANCE = 330;


Vec3 direction(float degrees)
{
    const float a = degrees * PI / 180.0f;
    return {std::cos(a), 0, -std::sin(a)};
}

// Screen k (0..5) faces the centre from the wall at k * 60 degrees.
float screen_angle(int k)
{
    return float(k) * 60.0f;
}

Vec3 screen_centre(int k)
{
    return direction(screen_angle(k)) * (CASING_BACK - CASING.z - 2) + Vec3{0, SCREEN_Y, 0};
}

// --- pictures -----------------------------------------------------------------

// The room's atlas, 512 x 512 in four quarters (u, v from the bottom-left):
// walls (0..0.5, 0..0.5), floor (0.5..1, 0..0.5), casings (0..0.5, 0.5..1),
// ceiling and trims (0.5..1, 0.5..1).
enum AtlasQuarter
{
    ATLAS_WALL,
    ATLAS_FLOOR,
    ATLAS_CASING,
    ATLAS_CEILING
};

// Grid lines every spacing pixels inside one 256 x 256 quarter only.
void quarter_grid(Canvas& c, int x0, int y0, int spacing, int width, Rgba colour)
{
    for (int k = 0; k <= 256; k += spacing) {
        const int at = std::min(std::max(k - width / 2, 0), 256 - width);
        c.fill_rect(x0 + at, y0, width, 256, colour);
        c.fill_rect(x0, y0 + at, 256, width, colour);
    }
}

Canvas room_atlas()
{
    Canvas c(512, 512);
    // Walls: dark blue-grey panels with lit seams and a warm strip low down.
    c.fill_rect(0, 256, 256, 256, rgba(0.16f, 0.18f, 0.24f));
    for (int i = 0; i <= 4; ++i) {
        c.fill_rect(i * 64 - 2, 256, 4, 256, rgba(0.30f, 0.38f, 0.55f));
        c.fill_rect(0, 256 + i * 64 - 2, 256, 4, rgba(0.22f, 0.27f, 0.38f));
    }
    c.fill_rect(0, 460, 256, 10, rgba(1.0f, 0.6f, 0.2f));
    // Floor: a tile grid, brighter lines every fourth tile.
    c.fill_rect(256, 256, 256, 256, rgba(0.10f, 0.10f, 0.12f));
    quarter_grid(c, 256, 256, 16, 1, rgba(0.22f, 0.25f, 0.32f));
    quarter_grid(c, 256, 256, 64, 2, rgba(0.25f, 0.32f, 0.48f));
    // Casings: dark plastic, a grille of slots and two amber knobs.
    c.fill_rect(0, 0, 256, 256, rgba(0.20f, 0.19f, 0.18f));
    for (int k = 0; k < 10; ++k)
        c.fill_rect(24, 40 + k * 18, 100, 6, rgba(0.07f, 0.07f, 0.07f));
    c.glow({180, 80}, 22, rgba(1.0f, 0.55f, 0.15f));
    c.glow({180, 150}, 22, rgba(1.0f, 0.55f, 0.15f));
    c.fill_rect(0, 0, 256, 8, rgba(0.5f, 0.5f, 0.55f));
    // Ceiling and trims: a bright cold grid.
    c.fill_rect(256, 0, 256, 256, rgba(0.12f, 0.14f, 0.2f));
    quarter_grid(c, 256, 0, 32, 3, rgba(0.5f, 0.7f, 1.0f));
    return c;
}

// A quarter's texture coordinates, inset by a few texels.
void into_quarter(Mesh& m, AtlasQuarter q)
{
    const float inset = 4.0f / 512.0f;
    const float span = 0.5f - 2 * inset;
    const float ox = (q == ATLAS_FLOOR || q == ATLAS_CEILING) ? 0.5f : 0.0f;
    const float oy = (q == ATLAS_CASING || q == ATLAS_CEILING) ? 0.5f : 0.0f;
    m.scale_uv({span, span}, {ox + inset, oy + inset});
}

// Light tubes: bright cyan bands along the strand, brightest in the middle.
Canvas tube_picture()
{
    Canvas c(256, 256);
    c.shade([](float u, float v) {
        const float band = 0.5f + 0.5f * std::cos(u * 2 * PI * 24);
        const float across = std::pow(std::sin(v * PI), 2.0f);
        const float g = 0.25f + 0.75f * band * across;
        return rgba(g * 0.55f, g * 0.85f, g);
    });
    return c;
}

// --- logos ----------------------------------------------------------------------

// Logos are 512 x 256, transparent round the type; the scene shows the
// middle band (rows 64..192) magnified behind the logo, so each logo keeps
// to that band and away from the edges (the texture is clamped).
const int LOGO_W = 512, LOGO_H = 256;

// The size at which text (with spacing) is at most max_width wide, capped.
float fit_size(const Typeface& face, const std::string& text, float spacing, float max_width, float max_size)
{
    const float w = face.width(text, max_size, spacing) - spacing;
    return w > max_width ? max_size * max_width / w : max_size;
}

// The text centred in the logo, its capitals centred on row 128 (plus lift).
Coverage logo_type(const Typeface& face, const std::string& text, float spacing, float max_width, float max_size,
                   float lift = 0)
{
    Coverage m(LOGO_W, LOGO_H);
    const float size = fit_size(face, text, spacing, max_width, max_size);
    set_text_centred(m, face, text, LOGO_W * 0.5f, std::round(128.0f + face.cap_height(size) * 0.5f - lift), size,
                     spacing);
    return m;
}

// A colour running from top to bottom of the mask's lit rows.
std::function<Rgba(int, int)> vertical(const Coverage& m, Rgba top, Rgba bottom)
{
    int x0, y0, x1, y1;
    if (!m.bounds(&x0, &y0, &x1, &y1))
        y0 = 0, y1 = LOGO_H - 1;
    const float a = float(y0), span = float(std::max(1, y1 - y0));
    return [=](int, int y) { return mix(top, bottom, std::clamp((float(y) - a) / span, 0.0f, 1.0f)); };
}

// Hue (0..1 round the wheel) to a saturated colour.
Rgba hue(float h)
{
    const float r = std::clamp(std::fabs(h * 6 - 3) - 1, 0.0f, 1.0f);
    const float g = std::clamp(2 - std::fabs(h * 6 - 2), 0.0f, 1.0f);
    const float b = std::clamp(2 - std::fabs(h * 6 - 4), 0.0f, 1.0f);
    return rgba(r, g, b);
}

// Each group its own face and treatment, as groups' logos differ.
Canvas logo(int index)
{
    Canvas c(LOGO_W, LOGO_H, rgba(0, 0, 0, 0));
    switch (index) {
    case 0: { // NULLPOINT: OCR capitals, widely spaced, hollow cyan outlines and a point
        const Typeface f("OCRABold.ttf");
        Coverage m = logo_type(f, "NULLPOINT", 8, 440, 64);
        paint(c, blur(m, 4), rgba(0.0f, 0.8f, 1.0f), 0.5f);
        paint(c, subtract(dilate(m, 2.5f), m), rgba(0.5f, 0.95f, 1.0f));
        paint(c, m, rgba(0.0f, 0.35f, 0.5f), 0.5f);
        c.glow({452, 164}, 9, rgba(1.0f, 0.3f, 0.4f), 1.5f, Blend::over);
        c.fill_rect(60, 160, 380, 3, rgba(0.5f, 0.95f, 1.0f, 0.8f));
        break;
    }
    case 1: { // krystal: rounded lower case, ice gradient in a blue haze
        const Typeface f("Comfortaa-Bold.ttf");
        Coverage m = logo_type(f, "krystal", 0, 420, 96);
        paint(c, blur(dilate(m, 3), 10), rgba(0.3f, 0.55f, 1.0f), 0.9f);
        paint(c, m, vertical(m, rgba(1, 1, 1), rgba(0.35f, 0.7f, 1.0f)));
        break;
    }
    case 2: { // FARBWERK: black capitals in a rainbow, a hard drop shadow
        const Typeface f("LeagueSpartan-Black.otf");
        Coverage m = logo_type(f, "FARBWERK", 0, 430, 84);
        paint(c, shifted(m, 7, 7), rgba(0.05f, 0.0f, 0.1f), 0.85f);
        paint(c, m, [](int x, int) { return hue(0.92f * float(x - 40) / 432.0f); });
        break;
    }
    case 3: { // HEXAGON: fourteen-segment display letters, red with a glow
        const Typeface f("DSEG14Modern-BoldItalic.ttf");
        Coverage m = logo_type(f, "HEXAGON", 6, 430, 64);
        paint(c, blur(dilate(m, 2), 8), rgba(1.0f, 0.1f, 0.05f), 1.0f);
        paint(c, m, rgba(1.0f, 0.35f, 0.25f));
        break;
    }
    case 4: { // Oszilla: a brush script, orange to yellow, outlined and shadowed
        const Typeface f("lobster.otf");
        Coverage m = logo_type(f, "Oszilla", 0, 420, 110, 6);
        Coverage rim = dilate(m, 4);
        paint(c, shifted(rim, 5, 6), rgba(0, 0, 0), 0.6f);
        paint(c, rim, rgba(0.45f, 0.05f, 0.0f));
        paint(c, m, vertical(m, rgba(1.0f, 0.95f, 0.3f), rgba(1.0f, 0.4f, 0.05f)));
        break;
    }
    case 5: { // POLYKROM: a thin technical face tracked out, magenta to yellow, white keyline
        const Typeface f("Jura-Bold.otf");
        Coverage m = logo_type(f, "POLYKROM", 16, 450, 66);
        paint(c, subtract(dilate(m, 2), m), rgba(1, 1, 1));
        paint(c, m, vertical(m, rgba(1.0f, 0.2f, 0.8f), rgba(1.0f, 0.9f, 0.2f)));
        break;
    }
    case 6: { // vantabyte: a terminal prompt in green phosphor with a block cursor
        const Typeface f("Hack-Bold.ttf");
        Coverage m = logo_type(f, "> vantabyte", 0, 400, 60);
        int x0, y0, x1, y1;
        if (m.bounds(&x0, &y0, &x1, &y1))
            for (int y = y0; y <= y1; ++y)
                for (int x = x1 + 8; x < x1 + 36 && x < LOGO_W; ++x)
                    m.v[size_t(y) * LOGO_W + size_t(x)] = 1.0f;
        paint(c, blur(m, 6), rgba(0.2f, 1.0f, 0.3f), 0.7f);
        paint(c, m, rgba(0.6f, 1.0f, 0.6f));
        break;
    }
    case 7: { // Triode: a chancery italic in gold with a warm glow
        const Typeface f("Z003-MediumItalic.otf");
        Coverage m = logo_type(f, "Triode", 0, 400, 140, 8);
        paint(c, blur(m, 9), rgba(1.0f, 0.6f, 0.1f), 1.0f);
        paint(c, m, vertical(m, rgba(1.0f, 0.95f, 0.6f), rgba(0.85f, 0.55f, 0.1f)));
        break;
    }
    case 8: { // SUBSPACE: geometric capitals, very wide, in two violet rings
        const Typeface f("URWGothic-Demi.otf");
        Coverage m = logo_type(f, "SUBSPACE", 12, 450, 70);
        Coverage inner = dilate(m, 2), outer = dilate(m, 6);
        paint(c, blur(outer, 6), rgba(0.4f, 0.2f, 1.0f), 0.6f);
        paint(c, subtract(outer, dilate(m, 4)), rgba(0.65f, 0.45f, 1.0f));
        paint(c, subtract(inner, m), rgba(0.95f, 0.85f, 1.0f));
        break;
    }
    case 9: { // Luminare: an old-style serif, white hot in a wide bright glow
        const Typeface f("P052-Bold.otf");
        Coverage m = logo_type(f, "Luminare", 2, 430, 96, 4);
        paint(c, blur(dilate(m, 4), 14), rgba(1.0f, 0.95f, 0.7f), 1.0f);
        paint(c, m, rgba(1, 1, 1));
        break;
    }
    case 10: { // QUADRAT: narrow capitals cut out of a teal square plate
        const Typeface f("NimbusSansNarrow-Bold.otf");
        Coverage m = logo_type(f, "QUADRAT", 4, 380, 84);
        int x0, y0, x1, y1;
        if (!m.bounds(&x0, &y0, &x1, &y1))
            break;
        Coverage plate(LOGO_W, LOGO_H);
        for (int y = std::max(0, y0 - 18); y <= std::min(LOGO_H - 1, y1 + 18); ++y)
            for (int x = std::max(0, x0 - 22); x <= std::min(LOGO_W - 1, x1 + 22); ++x)
                plate.v[size_t(y) * LOGO_W + size_t(x)] = 1.0f;
        paint(c, subtract(plate, m), rgba(0.1f, 0.75f, 0.7f));
        paint(c, subtract(dilate(plate, 4), plate), rgba(0.9f, 1.0f, 1.0f));
        break;
    }
    case 11: { // echolot: heavy lower case trailing three fading echoes to the left
        const Typeface f("Cantarell-ExtraBold.otf");
        Coverage m = shifted(logo_type(f, "echolot", 0, 340, 96), 30, 0);
        for (int k = 3; k >= 1; --k)
            paint(c, shifted(m, -18 * k, 0), rgba(0.25f, 0.65f, 1.0f), 0.75f - 0.2f * float(k));
        paint(c, subtract(dilate(m, 2), m), rgba(0.05f, 0.2f, 0.45f));
        paint(c, m, rgba(0.9f, 1.0f, 1.0f));
        break;
    }
    default: { // ZERO/DIV: mono capitals split white over red, hard shadow
        const Typeface f("DejaVuSansMono-Bold.ttf");
        Coverage m = logo_type(f, "ZERO/DIV", 0, 430, 80);
        int x0, y0, x1, y1;
        const int split = m.bounds(&x0, &y0, &x1, &y1) ? (y0 + y1) / 2 : 128;
        paint(c, shifted(m, -5, 5), rgba(0.2f, 0.0f, 0.05f), 0.9f);
        paint(c, m, [split](int, int y) { return y < split ? rgba(1, 1, 1) : rgba(1.0f, 0.15f, 0.2f); });
        break;
    }
    }
    return c;
}

// --- meshes -----------------------------------------------------------------------

Mesh placed(Mesh m, AtlasQuarter q, Vec3 centre, float degrees)
{
    into_quarter(m, q);
    m.transform(Mat4::translate(centre) * Mat4::rotate_y(degrees));
    return m;
}

Mesh room()
{
    Mesh m;
    m.use_material(material_clamped_map("grts_room", "main01.jpg"));
    const float wall_width = 2 * ROOM_APOTHEM * std::tan(PI / 6) + 80;
    // What stands in front of the walls comes first: the walls' pixels
    // behind a casing or a pillar then fail the depth test instead of being
    // textured and fogged and then covered.
    for (int k = 0; k < 6; ++k) {
        const float a = screen_angle(k);
        // The casing stands on a plinth against the wall.
        const Vec3 casing_centre = direction(a) * (CASING_BACK - CASING.z * 0.5f) + Vec3{0, SCREEN_Y, 0};
        m.append(placed(box({CASING.z, CASING.y, CASING.x}), ATLAS_CASING, casing_centre, a)); // depth along the radius
        m.append(placed(box({CASING.z, SCREEN_Y - CASING.y * 0.5f, CASING.x * 0.6f}), ATLAS_CEILING,
                        direction(a) * (CASING_BACK - CASING.z * 0.5f) +
                            Vec3{0, (SCREEN_Y - CASING.y * 0.5f) * 0.5f, 0},
                        a));
        // A pillar at each corner of the hexagon.
        const float corner = a + 30;
        m.append(placed(box({120, ROOM_HEIGHT, 120}), ATLAS_CEILING,
                        direction(corner) * (ROOM_APOTHEM / std::cos(PI / 6) - 60) + Vec3{0, ROOM_HEIGHT * 0.5f, 0},
                        corner));
    }
    for (int k = 0; k < 6; ++k) {
        const float a = screen_angle(k);
        Mesh wall = box({40, ROOM_HEIGHT, wall_width});
        m.append(placed(wall, ATLAS_WALL, direction(a) * (ROOM_APOTHEM + 20) + Vec3{0, ROOM_HEIGHT * 0.5f, 0}, a));
    }
    const float span = 2 * ROOM_APOTHEM + 400;
    m.append(placed(box({span, 20, span}), ATLAS_FLOOR, {0, -10, 0}, 0));
    m.append(placed(box({span, 20, span}), ATLAS_CEILING, {0, ROOM_HEIGHT + 10, 0}, 0));
    return m;
}

// A ring of light tube 250 under the ceiling with six spokes to the walls,
// built 2000 lower than it shows.
Mesh light_tubes()
{
    Mesh m;
    const float y = ROOM_HEIGHT - 250 - TUBE_LIFT;
    Mesh ring = torus(700, 40, 96, 12);
    ring.transform(Mat4::translate({0, y, 0}));
    m.append(ring);
    for (int k = 0; k < 6; ++k) {
        const Vec3 d = direction(screen_angle(k) + 30);
        m.append(tube({d * 740 + Vec3{0, y, 0}, d * (ROOM_APOTHEM - 60) + Vec3{0, y + 150, 0}}, false, 25, 10,
                      1.0f / 600.0f));
    }
    return m;
}

// Screen k: the picture area, slightly bulged, facing the centre; u from
// left to right and v from the bottom up as seen from the room.
Mesh screen(int k)
{
    const Vec3 facing = direction(screen_angle(k)); // from the centre to the screen
    const Vec3 right = cross(facing, Vec3{0, 1, 0});
    const Vec3 centre = screen_centre(k);
    Mesh m;
    const int n = 8;
    uint32_t first = 0;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const float u = float(i) / n, v = float(j) / n;
            const float bulge = SCREEN_BULGE * (1 - std::pow(2 * u - 1, 2.0f)) * (1 - std::pow(2 * v - 1, 2.0f));
            const Vec3 p = centre + right * ((u - 0.5f) * SCREEN_W) + Vec3{0, (v - 0.5f) * SCREEN_H, 0} -
                           facing * bulge;
            m.add_vertex(p, -facing, {u, v});
        }
    // Counter-clockwise seen from the room (right, then up).
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const uint32_t a = first + uint32_t(j * (n + 1) + i);
            m.add_quad(a, a + 1, a + n + 2, a + n + 1);
        }
    return m;
}

// --- camera flights ---------------------------------------------------------------

// The flight to screen k: from high over the far side of the room, round and
// down, ending VIEW_DISTANCE in front of the screen, looking at its middle.
CameraFlight flight_to_screen(int k)
{
    const float a = screen_angle(k);
    const float side = k % 2 ? -1.0f : 1.0f; // odd screens are reached from the other side
    const Vec3 s = screen_centre(k);
    const Vec3 end = s - direction(a) * VIEW_DISTANCE;
    // A flight starts close in front of the neighbouring set, looking at its
    // screen: the fog clears from the eye outwards as the flight fades in,
    // so what is near shows first. It then sweeps round to its own screen.
    const Vec3 neighbour = screen_centre((k + (k % 2 ? 5 : 1)) % 6);
    CameraFlight f;
    f.eye = {direction(a + side * 75) * 1000 + Vec3{0, 600, 0}, direction(a + side * 55) * 600 + Vec3{0, 700, 0},
             direction(a + side * 12) * 620 + Vec3{0, 500, 0}, end};
    f.target = {neighbour, direction(a + side * 15) * 1000 + Vec3{0, 380, 0}, s + direction(a + side * 90) * 40, s};
    return f;
}

const int KEYS_PER_FLIGHT = 40;

} // namespace

bool generate_greetings(DataContext& data)
{
    bool ok = write_jpeg(data, TEXTURES + "main01.jpg", room_atlas(), Addressing::unit_coordinates) &&
              write_jpeg(data, TEXTURES + "tube01.jpg", tube_picture(), Addressing::unit_coordinates);
    for (int i = 0; ok && i < 13; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "grts_logo%02d.png", i + 1);
        ok = write_png(data, TEXTURES + name, logo(i), 4, Addressing::unit_coordinates);
    }
    ok = ok && room().write(data, MODELS + "main.bzobj") && light_tubes().write(data, MODELS + "tube01.bzobj");
    for (int k = 0; ok && k < 6; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "screen%02d.bzobj", k + 1);
        ok = screen(k).write(data, MODELS + name);
        std::snprintf(name, sizeof name, "grts_cam%02d.pth", k + 1);
        ok = ok && write_path(data, MODELS + name, sample_flight(flight_to_screen(k), KEYS_PER_FLIGHT));
    }
    return ok;
}
