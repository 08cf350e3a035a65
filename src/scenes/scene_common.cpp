#include "scene_common.h"

#include "core/resource_path.h"
#include "mesh_files/bzobj.h"
#include "mesh_files/mesh.h"
#include "scenes/camera_path.h"
#include "textures/texture_manager.h"

#include <cassert>

// --- time ---------------------------------------------------------------------

int32_t scene_time(const cClock* clock)
{
    return clock->now - clock->start;
}

int32_t event_age(const cClock* clock, int32_t event_time)
{
    return scene_time(clock) - event_time;
}

int32_t frame_time(const cClock* clock)
{
    return clock->now - clock->prev;
}

float clampf(float x, float lo, float hi)
{
    return x < lo ? lo : (x > hi ? hi : x);
}

float clamp01(float x)
{
    return clampf(x, 0.0f, 1.0f);
}

float smoothstep(float x)
{
    return x * x * (3.0f - 2.0f * x);
}

float ramp01(int32_t age_ms, int32_t length_ms)
{
    if (length_ms <= 0)
        return 1.0f;
    return clamp01(float(age_ms) / float(length_ms));
}

// --- the scene light ----------------------------------------------------------

cSceneLight::cSceneLight() : position{0.0f, 0.0f, 0.0f, 1.0f}, colour{1.0f, 1.0f, 1.0f, 1.0f}, light(GL_LIGHT0)
{
}

void cSceneLight::apply_colour() const
{
    const float black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glLightfv(light, GL_DIFFUSE, colour);
    glLightfv(light, GL_SPECULAR, colour);
    glLightfv(light, GL_AMBIENT, black);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, black);
}

void cSceneLight::apply_position() const
{
    glLightfv(light, GL_POSITION, position);
}

// --- loading --------------------------------------------------------------------

cSceneLoadList& cSceneLoadList::directory(const std::string& dir)
{
    directories.push_back(dir);
    return *this;
}

cSceneLoadList& cSceneLoadList::mesh(const std::string& name, iMesh** slot, bool clear_materials)
{
    assert(slot && "a mesh needs a member to land in");
    meshes.push_back({name, slot, clear_materials});
    return *this;
}

cSceneLoadList& cSceneLoadList::texture(const std::string& name, cTexture** slot, bool mipmap, GLint wrap)
{
    assert(slot && "a texture needs a member to land in");
    textures.push_back({name, slot, mipmap, wrap});
    return *this;
}

cSceneLoadList& cSceneLoadList::path(const std::string& name, cCameraPath* path)
{
    assert(path && "a camera path needs a member to land in");
    paths.push_back({name, path});
    return *this;
}

cSceneLoadList& cSceneLoadList::pass(std::function<void()> init)
{
    passes.push_back(std::move(init));
    return *this;
}

namespace {

// Creates, optionally strips and uploads one mesh into its slot.
void load_mesh(const cSceneLoadList::mesh_entry& entry)
{
    iMesh* mesh = BzObjLoader::create(entry.name);
    if (entry.clear_materials) {
        cMeshObj* obj = dynamic_cast<cMeshObj*>(mesh);
        assert(obj && "the compressed mesh loader makes cMeshObj meshes");
        obj->clear_materials();
    }
    mesh->upload();
    delete *entry.slot;
    *entry.slot = mesh;
}

} // namespace

bool scene_load(cScene& scene, const cSceneLoadList& list)
{
    if (scene.loaded)
        return false;
    cResourcePath* search = get_resource_path();
    for (const std::string& dir : list.directories)
        search->push_searchpath(dir);
    for (const cSceneLoadList::mesh_entry& entry : list.meshes)
        load_mesh(entry);
    cTextureManager* textures = get_texture_manager();
    for (const cSceneLoadList::texture_entry& entry : list.textures) {
        cTexture* texture = textures->get_texture(entry.name, entry.mipmap, entry.wrap);
        delete *entry.slot;
        *entry.slot = texture;
    }
    // A path file that cannot be opened leaves its path empty.
    for (const cSceneLoadList::path_entry& entry : list.paths)
        entry.path->load_found(entry.name);
    for (const std::function<void()>& add : list.shaders)
        add();
    for (const std::function<void()>& init : list.passes)
        init();
    scene.loaded = true;
    return true;
}
