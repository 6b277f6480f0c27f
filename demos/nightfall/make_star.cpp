// Writes Nightfall's star as a binary vertex file (docs/models.md): a five-pointed star,
// whose ten rim points (outer radius 0.5, inner 0.21) meet a front apex at
// z = +0.14 and a back apex at z = -0.14. 20 triangles, 60 vertices, flat normals, texture
// coordinates the planar map u = x + 0.5, v = y + 0.5.
//   make_star OUT.vtx
// File layout, little-endian: int32 (ignored by the player: always triangles), int32 vertex
// count, then per vertex eight float32 in the order normal x y z, u v, position x y z.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Vec3 = std::array<float, 3>;

Vec3 Sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }

Vec3 UnitNormal(const Vec3& a, const Vec3& b, const Vec3& c) {
    Vec3 u = Sub(b, a), v = Sub(c, a);
    Vec3 n = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    return {n[0] / length, n[1] / length, n[2] / length};
}

// One triangle, counter-clockwise seen from outside, as three vertex records.
void AddTriangle(std::vector<float>& out, const Vec3& a, const Vec3& b, const Vec3& c) {
    Vec3 n = UnitNormal(a, b, c);
    for (const Vec3* p : {&a, &b, &c}) {
        const Vec3& q = *p;
        out.insert(out.end(), {n[0], n[1], n[2], q[0] + 0.5f, q[1] + 0.5f, q[0], q[1], q[2]});
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_star OUT.vtx\n");
        return 2;
    }
    constexpr int kPoints = 5;
    constexpr double kPi = 3.14159265358979323846;
    std::array<Vec3, 2 * kPoints> rim;
    for (int k = 0; k < 2 * kPoints; ++k) {  // point k at angle k * 36 degrees from +y
        double radius = k % 2 == 0 ? 0.5 : 0.21, angle = k * kPi / kPoints;
        rim[size_t(k)] = {float(radius * std::sin(angle)), float(radius * std::cos(angle)), 0};
    }
    const Vec3 front = {0, 0, 0.14f}, back = {0, 0, -0.14f};
    std::vector<float> vertices;
    for (int k = 0; k < 2 * kPoints; ++k) {
        const Vec3& a = rim[size_t(k)];
        const Vec3& b = rim[size_t((k + 1) % (2 * kPoints))];
        AddTriangle(vertices, front, b, a);  // the rim runs clockwise seen from the front
        AddTriangle(vertices, back, a, b);
    }
    std::FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::fprintf(stderr, "make_star: cannot write %s\n", argv[1]);
        return 1;
    }
    // The bytes of int32 and float32 on x86-64 are already little-endian.
    int32_t header[2] = {4, int32_t(vertices.size() / 8)};
    bool ok = std::fwrite(header, sizeof header, 1, file) == 1 &&
              std::fwrite(vertices.data(), sizeof(float), vertices.size(), file) == vertices.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::fprintf(stderr, "make_star: cannot write %s\n", argv[1]);
    return ok ? 0 : 1;
}
