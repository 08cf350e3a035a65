// Baked light maps: the toolkit lays surfaces into light map atlases and
// computes the light that falls on them.
//
// A LightmapScene collects charts: a planar convex polygon, or the four long
// sides of a bar unwrapped side by side into one strip. Each chart belongs to
// one output mesh and one atlas (several meshes may share an atlas). pack()
// gives every chart of an atlas its own rectangle of texels, with padding
// around it, at the highest texel density at which all of them fit; the
// meshes then carry texture coordinates into their atlas, and bake() lights
// every texel: point lights with distance falloff and shadows, plus an
// ambient term darkened by ambient occlusion, all against every chart of the
// scene. The result is deterministic: texels are independent of each other
// and of the order the worker threads take the charts in.
#pragma once

#include "toolkit/image.h"
#include "toolkit/math.h"
#include "toolkit/mesh.h"

#include <functional>
#include <vector>

namespace toolkit {

struct PointLight
{
    Vec3 position;
    Vec3 colour;         // intensity at the light, per channel
    float half_distance; // falloff 1 / (1 + (d / half_distance)^2): half at this distance
    bool shadows = true; // false: a fill light that passes through everything (saves its rays)
};

struct BakeSettings
{
    std::vector<PointLight> lights;
    Vec3 ambient;                 // soft light from every direction, scaled by occlusion
    int occlusion_rays = 12;      // per texel, cosine-weighted over the hemisphere
    float occlusion_distance = 50; // occluders further away than this do not darken
};

// What a surface reflects and emits, by world position and normal; texel is
// the size of one light map texel in world units (for anti-aliased patterns).
struct Surface
{
    std::function<Vec3(Vec3 position, Vec3 normal, float texel)> albedo;
    std::function<Vec3(Vec3 position, Vec3 normal, float texel)> emission; // may be empty
};

class LightmapScene
{
public:
    // An atlas of width x height texels (power-of-two sides for a 0..1
    // addressed texture); returns its index.
    int add_atlas(int width, int height);
    // An output mesh whose charts all go to atlas; returns its index.
    int add_mesh(int atlas);
    // A surface description; returns its index. Charts given no surface
    // (-1) take the first one added, or plain grey 0.8 when there is none.
    int add_surface(const Surface& surface);

    // A planar convex polygon, counter-clockwise seen from its front.
    void add_polygon(int mesh, const std::vector<Vec3>& corners, int surface = -1);
    // A rectangle from corner a along edges u and v (u x v is its front).
    void add_rectangle(int mesh, Vec3 a, Vec3 u, Vec3 v, int surface = -1);
    // A bar from a to b with a cross-section of width along side and depth
    // along the third axis: its four long sides as one strip chart, the two
    // ends as small charts when caps is set.
    void add_bar(int mesh, Vec3 a, Vec3 b, Vec3 side, float width, float depth, bool caps, int surface = -1);
    // An axis-aligned box from its centre and size: six charts (the bottom
    // one left out when no_bottom is set).
    void add_box(int mesh, Vec3 centre, Vec3 size, bool no_bottom = false, int surface = -1);

    // Lays the charts of every atlas into their rectangles. False (with a
    // message) when an atlas cannot hold its charts at any density.
    bool pack(int padding = 2);
    // Texels per world unit of an atlas, after pack().
    float density(int atlas) const { return atlases[size_t(atlas)].density; }

    // The mesh with texture coordinates into its atlas (after pack()), with
    // no material: the caller binds the light map.
    Mesh mesh(int index) const;
    // The light map of an atlas (after pack()); texels outside every chart
    // are black.
    Canvas bake(int atlas, const BakeSettings& settings) const;

    struct ChartVertex
    {
        Vec3 position, normal;
        Vec2 local; // world units from the chart's lower-left corner
    };
    struct Chart
    {
        int mesh, surface;
        std::vector<ChartVertex> vertices;
        std::vector<uint32_t> triangles;
        Vec2 size;          // world units
        int x, y, w, h;     // placement in texels, padding included; y from the bottom row
    };

private:
    struct Atlas
    {
        int width, height;
        float density = 0;
    };
    void add_chart(Chart chart);
    bool pack_atlas(int atlas, float density, bool place);

    std::vector<Atlas> atlases;
    std::vector<int> mesh_atlas;
    std::vector<Surface> surfaces;
    std::vector<Chart> charts;
    int pad = 2;
};

} // namespace toolkit
