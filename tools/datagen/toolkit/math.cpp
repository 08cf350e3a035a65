#include "toolkit/math.h"

namespace toolkit {

Mat4 Mat4::translate(Vec3 t)
{
    Mat4 r;
    r.m[0][3] = t.x;
    r.m[1][3] = t.y;
    r.m[2][3] = t.z;
    return r;
}

Mat4 Mat4::scale(Vec3 s)
{
    Mat4 r;
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    return r;
}

// Rotation in the plane of axes a and b (a towards b).
static Mat4 rotation(int a, int b, float degrees)
{
    float c = std::cos(degrees * PI / 180.0f), s = std::sin(degrees * PI / 180.0f);
    Mat4 r;
    r.m[a][a] = c;
    r.m[a][b] = -s;
    r.m[b][a] = s;
    r.m[b][b] = c;
    return r;
}

Mat4 Mat4::rotate_x(float degrees) { return rotation(1, 2, degrees); }
Mat4 Mat4::rotate_y(float degrees) { return rotation(2, 0, degrees); }
Mat4 Mat4::rotate_z(float degrees) { return rotation(0, 1, degrees); }

Vec3 Mat4::point(Vec3 p) const
{
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
            m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]};
}

Vec3 Mat4::vector(Vec3 v) const
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

Vec3 Mat4::normal(Vec3 n) const
{
    // The cofactor matrix is the inverse transpose times the determinant;
    // the scale drops out when normalising (a mirror keeps its sign).
    Vec3 c0{m[0][0], m[1][0], m[2][0]}, c1{m[0][1], m[1][1], m[2][1]}, c2{m[0][2], m[1][2], m[2][2]};
    Vec3 r0 = cross(c1, c2), r1 = cross(c2, c0), r2 = cross(c0, c1);
    float det = dot(c0, r0);
    Vec3 out = r0 * n.x + r1 * n.y + r2 * n.z;
    return normalize(det < 0 ? -out : out, n);
}

Mat4 operator*(const Mat4& a, const Mat4& b)
{
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = 0;
            for (int k = 0; k < 4; ++k)
                r.m[i][j] += a.m[i][k] * b.m[k][j];
        }
    return r;
}

} // namespace toolkit
