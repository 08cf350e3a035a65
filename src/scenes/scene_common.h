// What every scene of the show shares: the time helpers (show time, event
// age, linear ramps, clamps, smoothstep), the scene light, and the loading
// sequence each scene's load() runs once under the loading screen.
//
// A scene describes its assets in a cSceneLoadList (where its files live,
// which meshes, textures, camera paths, shaders and passes it needs, and the
// members that receive them) and hands it to scene_load(), which runs the
// one loading sequence of the show. The scene owns what lands in its
// members: meshes and texture handles are deleted by its destructor; GL
// textures and shaders stay with their managers until exit.
#pragma once

#include "core/gl_ext.h"
#include "shaders/cShaderContainer_CG.h"
#include "timeline/clock.h"
#include "timeline/scene.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class iMesh;
class cTexture;
class cCameraPath;

// Room reserved at construction for the cues a scene remembers at once:
// several times what the script's busiest second leaves alive, so that
// taking a cue during playback allocates nothing.
const std::size_t REMEMBERED_CUES_RESERVED = 64;

// --- time ---------------------------------------------------------------------

// Milliseconds since the show's time origin, as of the current frame.
int32_t scene_time(const cClock* clock);
// Milliseconds since an event of the show clock (negative before it).
int32_t event_age(const cClock* clock, int32_t event_time);
// Frame time: milliseconds between the last two clock ticks.
int32_t frame_time(const cClock* clock);

float clampf(float x, float lo, float hi);
float clamp01(float x);
// x^2 (3 - 2x): 0 at 0, 1 at 1, flat at both ends. Expects x in [0, 1]; the
// scenes clamp before they smooth.
float smoothstep(float x);
// The usual decay input: age / length_ms clamped to [0, 1] (0 at the event,
// 1 once length_ms have passed). A length of 0 or less gives 1.
float ramp01(int32_t age_ms, int32_t length_ms);

// --- the scene light ----------------------------------------------------------

// The one light of a scene: GL_LIGHT0 with a position and a colour. The
// colour goes to the diffuse and specular terms; the ambient term and the
// light model's ambient are black.
struct cSceneLight
{
    cSceneLight();

    // Writes colour, black ambient and the black light model ambient. Leaves
    // them set: they are the scene's lighting until it changes them.
    void apply_colour() const;
    // Writes the position, transformed by the current modelview matrix (set
    // it under the identity or under the camera). Leaves it set.
    void apply_position() const;

    float position[4]; // w = 1: a point light
    float colour[4];   // RGBA, all 1 at construction
    GLenum light;      // always GL_LIGHT0
};

// --- loading --------------------------------------------------------------------

// The assets of one scene and the members that receive them, in the order
// the loading sequence treats them. Names are bare file names, found through
// the search paths after the scene's directories are pushed.
class cSceneLoadList
{
public:
    struct mesh_entry
    {
        std::string name;
        iMesh** slot;
        bool clear_materials; // drawn with the scene's own colour, shader and texture state
    };
    struct texture_entry
    {
        std::string name;
        cTexture** slot;
        bool mipmap;
        GLint wrap; // GL_CLAMP or GL_REPEAT
    };
    struct path_entry
    {
        std::string name;
        cCameraPath* path;
    };

    cSceneLoadList& directory(const std::string& dir);
    cSceneLoadList& mesh(const std::string& name, iMesh** slot, bool clear_materials = false);
    cSceneLoadList& texture(const std::string& name, cTexture** slot, bool mipmap, GLint wrap);
    cSceneLoadList& path(const std::string& name, cCameraPath* path);
    // Registers a shader class with the shader container under name.
    template <class T>
    cSceneLoadList& shader(const std::string& name);
    // A pass object's init (cPostGlow::init, cPostBlend::init ...), run after
    // the scene's shaders.
    cSceneLoadList& pass(std::function<void()> init);

    std::vector<std::string> directories;
    std::vector<mesh_entry> meshes;
    std::vector<texture_entry> textures;
    std::vector<path_entry> paths;
    std::vector<std::function<void()>> shaders; // each registers one shader
    std::vector<std::function<void()>> passes;
};

// The loading sequence: nothing when scene.loaded is set (returns false).
// Otherwise pushes the directories on the search paths; creates each mesh
// from its file (deleting what its slot held), clears its materials where
// asked and uploads it; requests the textures; loads the camera paths from
// their full paths; registers the shaders, then the passes; sets loaded and
// returns true. Missing files end the process as their loaders say.
bool scene_load(cScene& scene, const cSceneLoadList& list);

// --- templates ------------------------------------------------------------------

template <class T>
cSceneLoadList& cSceneLoadList::shader(const std::string& name)
{
    shaders.push_back([name] { get_shader_container()->add_shader<T>(name); });
    return *this;
}
