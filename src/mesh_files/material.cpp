#include "material.h"

#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

const float BLACK[4] = {0.0f, 0.0f, 0.0f, 1.0f};
const float WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const char* const DELIMITERS = " \t\n\r";
// The line buffer of the MTL reader: at most 511 characters a line.
const int MTL_LINE_BUFFER = 512;

void copy4(float* to, const float* from)
{
    std::memcpy(to, from, 4 * sizeof(float));
}

enum mtl_token
{
    MTL_UNKNOWN = 0,
    MTL_COMMENT = 1,
    MTL_NEWMTL = 2,
    MTL_KA = 3,
    MTL_KD = 4,
    MTL_KS = 5,
    MTL_ILLUM = 6,
    MTL_NS = 7,
    MTL_TR = 8,
    MTL_D = 9,
    MTL_MAP_KA = 10,
    MTL_MAP_KD = 11,
    MTL_MAP_KS = 12,
    MTL_BUMP = 13,
    MTL_MAP_D = 14,
    MTL_NI = 15,
};

mtl_token classify(const char* token)
{
    static const struct
    {
        const char* text;
        mtl_token kind;
    } table[] = {
        {"#", MTL_COMMENT},   {"newmtl", MTL_NEWMTL}, {"Ka", MTL_KA},         {"Kd", MTL_KD},
        {"Ks", MTL_KS},       {"illum", MTL_ILLUM},   {"Ns", MTL_NS},         {"Tr", MTL_TR},
        {"Tf", MTL_TR},       {"d", MTL_D},           {"map_Ka", MTL_MAP_KA}, {"map_Kd", MTL_MAP_KD},
        {"map_Ks", MTL_MAP_KS}, {"bump", MTL_BUMP},   {"map_d", MTL_MAP_D},   {"Ni", MTL_NI},
    };
    for (const auto& row : table)
        if (std::strcmp(token, row.text) == 0)
            return row.kind;
    std::cerr << "# WARNING, unknown token \"" << token << "\"" << std::endl;
    return MTL_UNKNOWN;
}

// How many arguments a texture map option takes; -1 for -o, -s and -t,
// which take one to three numbers. 0 for anything not an option.
int option_arguments(const char* token)
{
    static const struct
    {
        const char* option;
        int arguments;
    } table[] = {
        {"-blendu", 1}, {"-blendv", 1}, {"-bm", 1},      {"-boost", 1}, {"-cc", 1},  {"-clamp", 1},
        {"-imfchan", 1}, {"-mm", 2},    {"-texres", 1},  {"-type", 1},  {"-o", -1}, {"-s", -1},
        {"-t", -1},
    };
    for (const auto& row : table)
        if (std::strcmp(token, row.option) == 0)
            return row.arguments;
    return 0;
}

bool is_number(const char* token)
{
    char* end = nullptr;
    std::strtod(token, &end);
    return end != token;
}

// The file name of a map line: the first token after the options
// ("map_Kd -o 0.1 diffuse.jpg" names diffuse.jpg); nullptr when none.
const char* map_file_name()
{
    const char* token = std::strtok(nullptr, DELIMITERS);
    while (token) {
        int arguments = option_arguments(token);
        if (arguments == 0)
            return token;
        token = std::strtok(nullptr, DELIMITERS);
        if (arguments > 0) {
            for (int i = 0; i < arguments && token; i++)
                token = std::strtok(nullptr, DELIMITERS);
        } else {
            for (int i = 0; i < 3 && token && is_number(token); i++)
                token = std::strtok(nullptr, DELIMITERS);
        }
    }
    return nullptr;
}

// Reads count numbers from the following tokens; false when fewer are there.
bool read_numbers(float* out, int count)
{
    for (int i = 0; i < count; i++) {
        const char* token = std::strtok(nullptr, DELIMITERS);
        if (!token)
            return false;
        out[i] = static_cast<float>(std::strtod(token, nullptr));
    }
    return true;
}

// Applies the values of one key line to material m; false when the values
// the key needs are missing.
bool apply_key(mtl_token kind, cMaterial& m)
{
    float v[3];
    const char* name = nullptr;
    switch (kind) {
    case MTL_KA:
    case MTL_KD:
    case MTL_KS: {
        if (!read_numbers(v, 3))
            return false;
        float* colour = kind == MTL_KA ? m.ambient : kind == MTL_KD ? m.diffuse : m.specular;
        colour[0] = v[0];
        colour[1] = v[1];
        colour[2] = v[2]; // the colour's alpha keeps its value
        return true;
    }
    case MTL_ILLUM: {
        const char* token = std::strtok(nullptr, DELIMITERS);
        if (!token)
            return false;
        m.illum = static_cast<int32_t>(std::strtol(token, nullptr, 10));
        return true;
    }
    case MTL_NS:
    case MTL_D:
    case MTL_NI:
        if (!read_numbers(v, 1))
            return false;
        (kind == MTL_NS ? m.shininess : kind == MTL_D ? m.alpha : m.optical_density) = v[0];
        return true;
    case MTL_TR:
        if (!read_numbers(v, 3))
            return false;
        m.alpha = (v[0] + v[1] + v[2]) * 0.33333334f;
        return true;
    case MTL_MAP_KA:
    case MTL_MAP_KD:
    case MTL_MAP_KS:
    case MTL_BUMP:
    case MTL_MAP_D:
        name = map_file_name();
        if (!name)
            return false;
        (kind == MTL_MAP_KA   ? m.ambient_map
         : kind == MTL_MAP_KD ? m.diffuse_map
         : kind == MTL_MAP_KS ? m.specular_map
         : kind == MTL_BUMP   ? m.bump_map
                              : m.dissolve_map) = name;
        return true;
    default:
        return true;
    }
}

void bind_on_unit(GLenum unit, const cTexture& texture)
{
    glActiveTextureARB(unit);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(texture.target, texture.id);
}

void replace(std::unique_ptr<cTexture>& slot, const std::string& name, GLint wrap)
{
    slot.reset(get_texture_manager()->get_texture(name, true, wrap));
}

} // namespace

// --- cMaterial -----------------------------------------------------------------

cMaterial::cMaterial(const std::string& name)
    : name(name), ambient{0, 0, 0, 0}, diffuse{0, 0, 0, 0}, specular{0, 0, 0, 0}, shininess(0), illum(0), alpha(1),
      optical_density(1)
{
}

cMaterial& cMaterial::operator=(const cMaterial& other)
{
    if (this == &other)
        return *this;
    ambient_map = other.ambient_map;
    diffuse_map = other.diffuse_map;
    specular_map = other.specular_map;
    bump_map = other.bump_map;
    dissolve_map = other.dissolve_map;
    copy4(ambient, other.ambient);
    copy4(diffuse, other.diffuse);
    copy4(specular, other.specular);
    shininess = other.shininess;
    illum = other.illum;
    alpha = other.alpha;
    optical_density = other.optical_density;
    return *this;
}

// --- cMaterial_GL ----------------------------------------------------------------

cMaterial_GL::cMaterial_GL(const std::string& name) : cMaterial(name), emission{0, 0, 0, 0} {}

cMaterial_GL::cMaterial_GL(const cMaterial& other) : cMaterial(other), emission{0, 0, 0, 0} {}

cMaterial_GL::cMaterial_GL(const cMaterial_GL& other) : cMaterial(other), emission{0, 0, 0, 0} {}

static std::unique_ptr<cTexture> copy_handle(const std::unique_ptr<cTexture>& from)
{
    return from ? std::make_unique<cTexture>(*from) : nullptr;
}

cMaterial_GL& cMaterial_GL::operator=(const cMaterial_GL& other)
{
    if (this == &other)
        return *this;
    cMaterial::operator=(other);
    copy4(emission, other.emission);
    ambient_tex = copy_handle(other.ambient_tex);
    diffuse_tex = copy_handle(other.diffuse_tex);
    specular_tex = copy_handle(other.specular_tex);
    bump_tex = copy_handle(other.bump_tex);
    return *this;
}

cMaterial& cMaterial_GL::operator=(const cMaterial& other)
{
    const cMaterial_GL* gl = dynamic_cast<const cMaterial_GL*>(&other);
    if (gl)
        return *this = *gl;
    return cMaterial::operator=(other);
}

void cMaterial_GL::load_textures()
{
    if (!ambient_map.empty())
        replace(ambient_tex, ambient_map, GL_CLAMP);
    if (!diffuse_map.empty())
        replace(diffuse_tex, diffuse_map, GL_CLAMP);
    else if (!dissolve_map.empty())
        replace(diffuse_tex, dissolve_map, GL_REPEAT);
    // The specular map fills the slot that apply() binds on unit 1. The bump
    // map is not loaded: no step would use it.
    if (!specular_map.empty())
        replace(specular_tex, specular_map, GL_CLAMP);

    ambient[3] = diffuse[3] = specular[3] = emission[3] = alpha;
}

void cMaterial_GL::apply()
{
    switch (illum) {
    case 0:
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, BLACK);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, BLACK);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, diffuse); // the diffuse colour shows unlit
        break;
    case 1:
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, BLACK);
        break;
    case 2:
    case 4:
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
        break;
    default:
        break;
    }
    if (ambient_tex) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, WHITE);
        bind_on_unit(GL_TEXTURE2_ARB, *ambient_tex);
    }
    if (diffuse_tex) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, WHITE);
        bind_on_unit(GL_TEXTURE0_ARB, *diffuse_tex);
    }
    if (specular_tex) {
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, WHITE);
        bind_on_unit(GL_TEXTURE1_ARB, *specular_tex);
    }
}

// --- cMtlLoader ----------------------------------------------------------------------

void cMtlLoader::load(std::string path)
{
    materials.clear();
    std::ifstream in;
    // A directory opens as a stream on Linux and reads as empty: it is a file
    // that cannot be opened.
    if (platform_file_readable(path))
        in.open(path.c_str());
    if (!in.is_open()) {
        std::cerr << "## ERROR: Couldn't open " << path << std::endl;
        return;
    }
    parse(in, path);
}

void cMtlLoader::parse(std::istream& in, const std::string& path)
{
    materials.clear();
    char line[MTL_LINE_BUFFER];
    for (int number = 1;; number++) {
        if (!in.getline(line, MTL_LINE_BUFFER)) {
            if (in.fail() && !in.eof() && in.gcount() == MTL_LINE_BUFFER - 1)
                std::cerr << "# WARNING: line " << number << " of \"" << path << "\" is longer than "
                          << MTL_LINE_BUFFER - 1 << " characters. Reading stops there." << std::endl;
            return;
        }
        const char* token = std::strtok(line, DELIMITERS);
        if (!token)
            continue;
        mtl_token kind = classify(token);
        if (kind == MTL_COMMENT)
            continue;
        if (kind == MTL_UNKNOWN) {
            std::cerr << "# WARNING: unknown token encountered in \"" << path << "\" line " << number
                      << ". Skipping..." << std::endl;
            continue;
        }
        if (kind == MTL_NEWMTL) {
            const char* name = std::strtok(nullptr, DELIMITERS);
            if (name)
                materials.push_back(cMaterial(name));
            else
                std::cerr << "# WARNING: missing value encountered in \"" << path << "\" line " << number
                          << ". Skipping..." << std::endl;
            continue;
        }
        if (materials.empty()) {
            std::cerr << "## ERROR in " << __FILE__ << " line " << __LINE__
                      << ": no 'newmtl' entry was found previous to line " << number << ". Failed to load .mtl-file!!"
                      << std::endl;
            return;
        }
        if (!apply_key(kind, materials.back()))
            std::cerr << "# WARNING: missing value encountered in \"" << path << "\" line " << number
                      << ". Skipping..." << std::endl;
    }
}
