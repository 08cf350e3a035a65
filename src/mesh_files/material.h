// Materials: the values of one Wavefront MTL material (cMaterial), their GL
// form with textures (cMaterial_GL), and the MTL file parser (cMtlLoader).
// A mesh owns its cMaterial_GL list; each material owns its texture handles,
// while the GL textures belong to the texture manager and outlive it.
#pragma once

#include "textures/texture_manager.h"

#include <istream>
#include <memory>
#include <string>
#include <vector>

class cMaterial
{
public:
    explicit cMaterial(const std::string& name = "");
    cMaterial(const cMaterial& other) = default; // copies every field, name included
    virtual ~cMaterial() = default;
    // Copies every field except the name.
    virtual cMaterial& operator=(const cMaterial& other);

    std::string name;
    std::string ambient_map;  // map_Ka
    std::string diffuse_map;  // map_Kd
    std::string specular_map; // map_Ks
    std::string bump_map;     // bump
    std::string dissolve_map; // map_d
    float ambient[4];  // r, g, b, a
    float diffuse[4];
    float specular[4];
    float shininess;
    int32_t illum; // illumination model: 0 unlit, 1 no specular, 2 and 4 full
    float alpha;   // 0 transparent .. 1 opaque
    float optical_density;
};

class cMaterial_GL : public cMaterial
{
public:
    explicit cMaterial_GL(const std::string& name = "");
    // Copies the cMaterial fields only: emission and texture slots start
    // empty (as when a material list grows or is copied).
    cMaterial_GL(const cMaterial& other);
    cMaterial_GL(const cMaterial_GL& other);
    // Copies every field except the name, the emission, and gives each slot
    // a handle of its own equal to the source's.
    cMaterial_GL& operator=(const cMaterial_GL& other);
    cMaterial& operator=(const cMaterial& other) override;

    // Requests the map textures (mipmapped) into the slots and copies alpha
    // into the four colours. Call once the material list stops growing: a
    // copy loses the handles.
    void load_textures();
    // Sets the fixed-function material of both faces and binds the textures
    // on their units (ambient 2, diffuse 0, specular 1). Leaves the last unit
    // it used active; the mesh draw resets the units after its groups.
    void apply();
    // Nothing to upload for this material kind.
    void upload() {}

    float emission[4];
    std::unique_ptr<cTexture> ambient_tex;  // unit 2
    std::unique_ptr<cTexture> diffuse_tex;  // unit 0
    std::unique_ptr<cTexture> specular_tex; // unit 1
    std::unique_ptr<cTexture> bump_tex;     // applied nowhere
};

class cMtlLoader
{
public:
    // Empties the list, then parses the MTL file at path into it. An
    // unreadable file gives an error line and an empty list.
    void load(std::string path);
    // The same from an open stream; path names the file in messages.
    void parse(std::istream& in, const std::string& path);

    std::vector<cMaterial> materials; // the current material is the last
};
