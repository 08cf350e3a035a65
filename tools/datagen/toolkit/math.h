// Small vector and matrix types for the data tool's toolkit (meshes, images
// and camera paths). Single precision, as the show's files store them.
#pragma once

#include <cmath>

namespace toolkit {

const float PI = 3.14159265358979f;

struct Vec2
{
    float x = 0, y = 0;
};

struct Vec3
{
    float x = 0, y = 0, z = 0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline Vec2 operator*(Vec2 a, float s) { return {a.x * s, a.y * s}; }

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { return a = a + b; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float length(Vec3 a) { return std::sqrt(dot(a, a)); }
// a scaled to length 1; fallback when a is (nearly) zero.
inline Vec3 normalize(Vec3 a, Vec3 fallback = {0, 1, 0})
{
    float l = length(a);
    return l > 1e-12f ? a * (1.0f / l) : fallback;
}
inline Vec3 lerp(Vec3 a, Vec3 b, float t) { return a + (b - a) * t; }

// Column-vector affine transform: p' = m * (p, 1). m[row][col].
struct Mat4
{
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    static Mat4 translate(Vec3 t);
    static Mat4 scale(Vec3 s);
    static Mat4 scale(float s) { return scale(Vec3{s, s, s}); }
    // Right-handed rotations, angles in degrees.
    static Mat4 rotate_x(float degrees);
    static Mat4 rotate_y(float degrees);
    static Mat4 rotate_z(float degrees);

    Vec3 point(Vec3 p) const;
    Vec3 vector(Vec3 v) const;
    // A surface normal carried through this transform (the inverse
    // transpose of the 3x3 part), unit length.
    Vec3 normal(Vec3 n) const;
};

// a * b: b is applied first.
Mat4 operator*(const Mat4& a, const Mat4& b);

} // namespace toolkit
