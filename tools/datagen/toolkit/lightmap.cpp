#include "toolkit/lightmap.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <thread>

namespace toolkit {

// --- building -------------------------------------------------------------------

int LightmapScene::add_atlas(int width, int height)
{
    assert(width > 0 && height > 0 && "an atlas needs texels");
    atlases.push_back({width, height});
    return int(atlases.size() - 1);
}

int LightmapScene::add_mesh(int atlas)
{
    assert(atlas >= 0 && size_t(atlas) < atlases.size() && "a mesh needs an atlas");
    mesh_atlas.push_back(atlas);
    return int(mesh_atlas.size() - 1);
}

int LightmapScene::add_surface(const Surface& surface)
{
    surfaces.push_back(surface);
    return int(surfaces.size() - 1);
}

void LightmapScene::add_chart(Chart chart)
{
    assert(chart.mesh >= 0 && size_t(chart.mesh) < mesh_atlas.size() && "a chart needs a mesh");
    // Move the local coordinates to start at (0, 0).
    Vec2 lo{1e30f, 1e30f}, hi{-1e30f, -1e30f};
    for (const ChartVertex& v : chart.vertices) {
        lo = {std::min(lo.x, v.local.x), std::min(lo.y, v.local.y)};
        hi = {std::max(hi.x, v.local.x), std::max(hi.y, v.local.y)};
    }
    for (ChartVertex& v : chart.vertices)
        v.local = v.local - lo;
    chart.size = hi - lo;
    chart.x = chart.y = chart.w = chart.h = 0;
    charts.push_back(std::move(chart));
}

void LightmapScene::add_polygon(int mesh, const std::vector<Vec3>& corners, int surface)
{
    assert(corners.size() >= 3 && "a polygon needs three corners");
    Vec3 n; // Newell's normal: robust for any planar polygon
    for (size_t i = 0; i < corners.size(); ++i) {
        const Vec3 a = corners[i], b = corners[(i + 1) % corners.size()];
        n += Vec3{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x), (a.x - b.x) * (a.y + b.y)};
    }
    n = normalize(n);
    const Vec3 u = normalize(corners[1] - corners[0]);
    const Vec3 v = cross(n, u);
    Chart chart{mesh, surface, {}, {}, {}, 0, 0, 0, 0};
    for (const Vec3& p : corners)
        chart.vertices.push_back({p, n, Vec2{dot(p - corners[0], u), dot(p - corners[0], v)}});
    for (uint32_t k = 1; k + 1 < corners.size(); ++k)
        chart.triangles.insert(chart.triangles.end(), {0, k, k + 1});
    add_chart(std::move(chart));
}

void LightmapScene::add_rectangle(int mesh, Vec3 a, Vec3 u, Vec3 v, int surface)
{
    add_polygon(mesh, {a, a + u, a + u + v, a + v}, surface);
}

void LightmapScene::add_bar(int mesh, Vec3 a, Vec3 b, Vec3 side, float width, float depth, bool caps, int surface)
{
    const Vec3 d = normalize(b - a);
    const Vec3 s = normalize(side - d * dot(side, d));
    const Vec3 w = cross(d, s);
    const float length_ab = length(b - a);
    // Around the axis: each face runs along cross(d, normal), so the strip
    // is counter-clockwise from outside and continues from face to face.
    const Vec3 normals[4] = {s, w, -s, -w};
    const float extents[4] = {depth, width, depth, width};
    Vec3 corner = s * (width * 0.5f) - w * (depth * 0.5f);
    Chart chart{mesh, surface, {}, {}, {}, 0, 0, 0, 0};
    float along = 0;
    for (int f = 0; f < 4; ++f) {
        const Vec3 h = cross(d, normals[f]) * extents[f];
        const uint32_t first = uint32_t(chart.vertices.size());
        chart.vertices.push_back({a + corner, normals[f], {along, 0}});
        chart.vertices.push_back({a + corner + h, normals[f], {along + extents[f], 0}});
        chart.vertices.push_back({b + corner + h, normals[f], {along + extents[f], length_ab}});
        chart.vertices.push_back({b + corner, normals[f], {along, length_ab}});
        chart.triangles.insert(chart.triangles.end(), {first, first + 1, first + 2, first, first + 2, first + 3});
        corner = corner + h;
        along += extents[f];
    }
    add_chart(std::move(chart));
    if (caps) {
        const Vec3 hs = s * (width * 0.5f), hw = w * (depth * 0.5f);
        add_polygon(mesh, {b + hs - hw, b + hs + hw, b - hs + hw, b - hs - hw}, surface);
        add_polygon(mesh, {a + hs - hw, a - hs - hw, a - hs + hw, a + hs + hw}, surface);
    }
}

void LightmapScene::add_box(int mesh, Vec3 c, Vec3 size, bool no_bottom, int surface)
{
    const float x = size.x * 0.5f, y = size.y * 0.5f, z = size.z * 0.5f;
    add_rectangle(mesh, c + Vec3{x, -y, z}, {0, 0, -2 * z}, {0, 2 * y, 0}, surface);
    add_rectangle(mesh, c + Vec3{-x, -y, -z}, {0, 0, 2 * z}, {0, 2 * y, 0}, surface);
    add_rectangle(mesh, c + Vec3{-x, y, z}, {2 * x, 0, 0}, {0, 0, -2 * z}, surface);
    if (!no_bottom)
        add_rectangle(mesh, c + Vec3{-x, -y, -z}, {2 * x, 0, 0}, {0, 0, 2 * z}, surface);
    add_rectangle(mesh, c + Vec3{-x, -y, z}, {2 * x, 0, 0}, {0, 2 * y, 0}, surface);
    add_rectangle(mesh, c + Vec3{x, -y, -z}, {-2 * x, 0, 0}, {0, 2 * y, 0}, surface);
}

// --- packing --------------------------------------------------------------------

// Shelf packing: charts sorted tallest first, laid left to right in rows.
bool LightmapScene::pack_atlas(int atlas, float d, bool place)
{
    const Atlas& a = atlases[size_t(atlas)];
    std::vector<size_t> order;
    std::vector<int> w(charts.size()), h(charts.size());
    for (size_t i = 0; i < charts.size(); ++i) {
        if (mesh_atlas[size_t(charts[i].mesh)] != atlas)
            continue;
        w[i] = std::max(1, int(std::ceil(charts[i].size.x * d))) + 2 * pad;
        h[i] = std::max(1, int(std::ceil(charts[i].size.y * d))) + 2 * pad;
        order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t p, size_t q) { return h[p] > h[q]; });
    int x = 0, y = 0, row = 0;
    for (size_t i : order) {
        if (w[i] > a.width)
            return false;
        if (x + w[i] > a.width) {
            y += row;
            x = 0;
            row = 0;
        }
        if (y + h[i] > a.height)
            return false;
        if (place) {
            charts[i].x = x;
            charts[i].y = y;
            charts[i].w = w[i];
            charts[i].h = h[i];
        }
        x += w[i];
        row = std::max(row, h[i]);
    }
    return true;
}

bool LightmapScene::pack(int padding)
{
    pad = padding;
    for (size_t k = 0; k < atlases.size(); ++k) {
        const int atlas = int(k);
        float area = 0;
        for (const Chart& c : charts)
            if (mesh_atlas[size_t(c.mesh)] == atlas)
                area += c.size.x * c.size.y;
        if (area <= 0)
            continue;
        float lo = 0, hi = std::sqrt(float(atlases[k].width) * float(atlases[k].height) / area);
        if (!pack_atlas(atlas, lo, false)) {
            std::fprintf(stderr, "## ERROR: datagen: light map atlas %d cannot hold its charts\n", atlas);
            return false;
        }
        for (int step = 0; step < 30; ++step) {
            const float mid = 0.5f * (lo + hi);
            (pack_atlas(atlas, mid, false) ? lo : hi) = mid;
        }
        atlases[k].density = lo;
        pack_atlas(atlas, lo, true);
    }
    return true;
}

Mesh LightmapScene::mesh(int index) const
{
    const Atlas& a = atlases[size_t(mesh_atlas[size_t(index)])];
    Mesh out;
    for (const Chart& c : charts) {
        if (c.mesh != index)
            continue;
        const uint32_t first = uint32_t(out.vertex_count());
        for (const ChartVertex& v : c.vertices) {
            const Vec2 uv{(float(c.x + pad) + v.local.x * a.density) / float(a.width),
                          (float(c.y + pad) + v.local.y * a.density) / float(a.height)};
            out.add_vertex(v.position, v.normal, uv);
        }
        for (size_t t = 0; t + 2 < c.triangles.size(); t += 3)
            out.add_triangle(first + c.triangles[t], first + c.triangles[t + 1], first + c.triangles[t + 2]);
    }
    return out;
}

// --- ray casting ------------------------------------------------------------------

namespace {

struct Triangle
{
    Vec3 a, e1, e2; // corner and the two edges from it
};

// A bounding volume hierarchy over triangles, for occlusion queries only.
class Occluders
{
public:
    explicit Occluders(std::vector<Triangle> tris) : tris(std::move(tris))
    {
        for (uint32_t i = 0; i < this->tris.size(); ++i)
            order.push_back(i);
        if (!order.empty()) {
            nodes.push_back({});
            build(0, 0, uint32_t(order.size()));
        }
    }

    // Whether anything lies on the ray from o along unit dir within distance.
    bool blocked(Vec3 o, Vec3 dir, float distance) const
    {
        if (nodes.empty())
            return false;
        const Vec3 inv{1.0f / (dir.x != 0 ? dir.x : 1e-20f), 1.0f / (dir.y != 0 ? dir.y : 1e-20f),
                       1.0f / (dir.z != 0 ? dir.z : 1e-20f)};
        uint32_t stack[64];
        int top = 0;
        stack[top++] = 0;
        while (top > 0) {
            const Node& n = nodes[stack[--top]];
            if (!hits_box(n, o, inv, distance))
                continue;
            if (n.count > 0) {
                for (uint32_t k = n.first; k < n.first + n.count; ++k)
                    if (hits_triangle(tris[order[k]], o, dir, distance))
                        return true;
            } else if (top + 2 <= 64) {
                stack[top++] = n.first;
                stack[top++] = n.first + 1;
            }
        }
        return false;
    }

private:
    struct Node
    {
        Vec3 lo, hi;
        uint32_t first, count; // leaf: triangles [first, first + count); inner: children first, first + 1
    };

    static bool hits_box(const Node& n, Vec3 o, Vec3 inv, float distance)
    {
        float t0 = 0, t1 = distance;
        const float los[3] = {n.lo.x, n.lo.y, n.lo.z}, his[3] = {n.hi.x, n.hi.y, n.hi.z};
        const float os[3] = {o.x, o.y, o.z}, invs[3] = {inv.x, inv.y, inv.z};
        for (int k = 0; k < 3; ++k) {
            float a = (los[k] - os[k]) * invs[k], b = (his[k] - os[k]) * invs[k];
            if (a > b)
                std::swap(a, b);
            t0 = std::max(t0, a);
            t1 = std::min(t1, b);
            if (t0 > t1)
                return false;
        }
        return true;
    }

    // Möller-Trumbore, both sides.
    static bool hits_triangle(const Triangle& t, Vec3 o, Vec3 dir, float distance)
    {
        const Vec3 p = cross(dir, t.e2);
        const float det = dot(t.e1, p);
        if (std::fabs(det) < 1e-12f)
            return false;
        const float inv = 1.0f / det;
        const Vec3 s = o - t.a;
        const float u = dot(s, p) * inv;
        if (u < 0 || u > 1)
            return false;
        const Vec3 q = cross(s, t.e1);
        const float v = dot(dir, q) * inv;
        if (v < 0 || u + v > 1)
            return false;
        const float hit = dot(t.e2, q) * inv;
        return hit > 1e-3f && hit < distance;
    }

    Vec3 centre(uint32_t i) const { return tris[i].a + (tris[i].e1 + tris[i].e2) * (1.0f / 3.0f); }

    // Fills node index with triangles [first, first + count) of order.
    void build(uint32_t index, uint32_t first, uint32_t count)
    {
        Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
        for (uint32_t k = first; k < first + count; ++k) {
            const Triangle& t = tris[order[k]];
            for (Vec3 p : {t.a, t.a + t.e1, t.a + t.e2}) {
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            }
        }
        nodes[index].lo = lo;
        nodes[index].hi = hi;
        if (count <= 4) {
            nodes[index].first = first;
            nodes[index].count = count;
            return;
        }
        const Vec3 extent = hi - lo;
        const int axis = extent.x >= extent.y && extent.x >= extent.z ? 0 : (extent.y >= extent.z ? 1 : 2);
        auto key = [&](uint32_t i) {
            const Vec3 c = centre(i);
            return axis == 0 ? c.x : (axis == 1 ? c.y : c.z);
        };
        const uint32_t half = count / 2;
        std::nth_element(order.begin() + first, order.begin() + first + half, order.begin() + first + count,
                         [&](uint32_t p, uint32_t q) { return key(p) < key(q) || (key(p) == key(q) && p < q); });
        // The two children sit next to each other.
        const uint32_t left = uint32_t(nodes.size());
        nodes.push_back({});
        nodes.push_back({});
        nodes[index].first = left;
        nodes[index].count = 0;
        build(left, first, half);
        build(left + 1, first + half, count - half);
    }

    std::vector<Triangle> tris;
    std::vector<uint32_t> order;
    std::vector<Node> nodes;
};

uint32_t hash3(uint32_t a, uint32_t b, uint32_t c)
{
    uint32_t h = a * 0x9e3779b1u ^ (b + 0x7f4a7c15u) * 0x85ebca6bu ^ (c + 0x165667b1u) * 0xc2b2ae35u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}

float radical_inverse(uint32_t k)
{
    k = (k << 16) | (k >> 16);
    k = ((k & 0x55555555u) << 1) | ((k & 0xAAAAAAAAu) >> 1);
    k = ((k & 0x33333333u) << 2) | ((k & 0xCCCCCCCCu) >> 2);
    k = ((k & 0x0F0F0F0Fu) << 4) | ((k & 0xF0F0F0F0u) >> 4);
    k = ((k & 0x00FF00FFu) << 8) | ((k & 0xFF00FF00u) >> 8);
    return float(k) * 2.3283064e-10f;
}

Vec3 mul(Vec3 a, Vec3 b)
{
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}

} // namespace

// --- baking -------------------------------------------------------------------------

Canvas LightmapScene::bake(int atlas, const BakeSettings& settings) const
{
    const Atlas& a = atlases[size_t(atlas)];
    std::vector<Triangle> tris;
    for (const Chart& c : charts)
        for (size_t t = 0; t + 2 < c.triangles.size(); t += 3) {
            const Vec3 p0 = c.vertices[c.triangles[t]].position, p1 = c.vertices[c.triangles[t + 1]].position,
                       p2 = c.vertices[c.triangles[t + 2]].position;
            tris.push_back({p0, p1 - p0, p2 - p0});
        }
    const Occluders occluders(std::move(tris));
    const Surface grey{[](Vec3, Vec3, float) { return Vec3{0.8f, 0.8f, 0.8f}; }, nullptr};

    std::vector<Vec3> texels(size_t(a.width) * size_t(a.height));
    std::vector<size_t> mine;
    for (size_t i = 0; i < charts.size(); ++i)
        if (mesh_atlas[size_t(charts[i].mesh)] == atlas)
            mine.push_back(i);

    auto bake_chart = [&](const Chart& c) {
        const Surface& surface = c.surface >= 0 && size_t(c.surface) < surfaces.size() ? surfaces[size_t(c.surface)]
                                 : surfaces.empty()                                    ? grey
                                                                                       : surfaces[0];
        const float texel = 1.0f / a.density;
        std::vector<Vec3> lit(size_t(c.w) * size_t(c.h));
        for (int ty = 0; ty < c.h; ++ty)
            for (int tx = 0; tx < c.w; ++tx) {
                // The texel centre in chart units; padding texels take the
                // nearest point of the chart, which spreads its edge outwards.
                const Vec2 l{(float(tx - pad) + 0.5f) / a.density, (float(ty - pad) + 0.5f) / a.density};
                float best = -1e30f, bw[3] = {0, 0, 0};
                size_t best_t = 0;
                for (size_t t = 0; t + 2 < c.triangles.size(); t += 3) {
                    const Vec2 p0 = c.vertices[c.triangles[t]].local, p1 = c.vertices[c.triangles[t + 1]].local,
                               p2 = c.vertices[c.triangles[t + 2]].local;
                    const float det = (p1.x - p0.x) * (p2.y - p0.y) - (p2.x - p0.x) * (p1.y - p0.y);
                    if (std::fabs(det) < 1e-12f)
                        continue;
                    const float w1 = ((l.x - p0.x) * (p2.y - p0.y) - (p2.x - p0.x) * (l.y - p0.y)) / det;
                    const float w2 = ((p1.x - p0.x) * (l.y - p0.y) - (l.x - p0.x) * (p1.y - p0.y)) / det;
                    const float w0 = 1 - w1 - w2;
                    const float worst = std::min(w0, std::min(w1, w2));
                    if (worst > best) {
                        best = worst;
                        best_t = t;
                        bw[0] = std::max(w0, 0.0f);
                        bw[1] = std::max(w1, 0.0f);
                        bw[2] = std::max(w2, 0.0f);
                    }
                }
                const float sum = bw[0] + bw[1] + bw[2];
                Vec3 p, n;
                for (int k = 0; k < 3; ++k) {
                    const ChartVertex& v = c.vertices[c.triangles[best_t + size_t(k)]];
                    p += v.position * (bw[k] / sum);
                    n += v.normal * (bw[k] / sum);
                }
                n = normalize(n);
                const Vec3 origin = p + n * 0.25f;

                Vec3 light;
                for (const PointLight& source : settings.lights) {
                    const Vec3 to = source.position - p;
                    const float d = length(to);
                    if (d < 1e-3f)
                        continue;
                    const Vec3 dir = to * (1.0f / d);
                    const float facing = dot(n, dir);
                    if (facing <= 0 || (source.shadows && occluders.blocked(origin, dir, d - 0.5f)))
                        continue;
                    const float f = d / source.half_distance;
                    light += source.colour * (facing / (1 + f * f));
                }
                // Ambient occlusion: stratified cosine-weighted directions,
                // turned by a per-texel angle.
                const Vec3 t1 = normalize(std::fabs(n.y) < 0.9f ? cross(n, Vec3{0, 1, 0}) : cross(n, Vec3{1, 0, 0}));
                const Vec3 t2 = cross(n, t1);
                const float turn = float(hash3(uint32_t(c.x + tx), uint32_t(c.y + ty), uint32_t(atlas)) & 0xffffu) /
                                   65536.0f * 2 * PI;
                int open = 0;
                const int rays = std::max(1, settings.occlusion_rays);
                for (int k = 0; k < rays; ++k) {
                    const float u1 = (float(k) + 0.5f) / float(rays);
                    const float phi = 2 * PI * radical_inverse(uint32_t(k)) + turn;
                    const float r = std::sqrt(u1);
                    const Vec3 dir = t1 * (r * std::cos(phi)) + t2 * (r * std::sin(phi)) + n * std::sqrt(1 - u1);
                    open += occluders.blocked(origin, dir, settings.occlusion_distance) ? 0 : 1;
                }
                light += settings.ambient * (float(open) / float(rays));
                Vec3 colour = mul(surface.albedo(p, n, texel), light);
                if (surface.emission)
                    colour += surface.emission(p, n, texel);
                lit[size_t(ty) * size_t(c.w) + size_t(tx)] = colour;
            }
        // A 3 x 3 blur inside the chart smooths the occlusion's noise
        // without mixing neighbouring charts.
        for (int ty = 0; ty < c.h; ++ty)
            for (int tx = 0; tx < c.w; ++tx) {
                Vec3 sum;
                float weight = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int x = tx + dx, y = ty + dy;
                        if (x < 0 || y < 0 || x >= c.w || y >= c.h)
                            continue;
                        const float k = (dx == 0 ? 2.0f : 1.0f) * (dy == 0 ? 2.0f : 1.0f);
                        sum += lit[size_t(y) * size_t(c.w) + size_t(x)] * k;
                        weight += k;
                    }
                texels[size_t(c.y + ty) * size_t(a.width) + size_t(c.x + tx)] = sum * (1.0f / weight);
            }
    };

    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t k = next++; k < mine.size(); k = next++)
            bake_chart(charts[mine[k]]);
    };
    const unsigned count = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    std::vector<std::thread> threads;
    for (unsigned k = 1; k < count; ++k)
        threads.emplace_back(worker);
    worker();
    for (std::thread& t : threads)
        t.join();

    Canvas out(a.width, a.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const Vec3 v = texels[size_t(y) * size_t(a.width) + size_t(x)];
            out.at(x, a.height - 1 - y) = rgba(v.x, v.y, v.z); // rows of the file run from the top
        }
    return out;
}

} // namespace toolkit
