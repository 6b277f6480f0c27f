#include "scripter/effects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/byte_reader.h"
#include "core/numeric.h"
#include "demo/path_string.h"
#include "gl/gl_layer.h"

namespace scripter::effects {
namespace {

using core::Extended;
constexpr Extended kPi = 3.14159265358979323846264338327950288L;

// Sine and cosine of one angle, in extended precision.
struct Trig {
    Extended sin, cos;
};
Trig TrigOf(Extended angle) { return {core::Sin(angle), core::Cos(angle)}; }

// The sample angles of the round effects for a count n. The same few counts recur frame
// after frame, and the extended-precision sines and cosines dominate these effects' cost, so
// each set is computed once per count and kept.
enum class AngleSet : uint8_t {
    Circle,           // k / n * 2pi, k = 0 .. n
    SphereLongitude,  // 2d pi / n rounded to float, d = 0 .. n
    SphereLatitude,   // 2c pi / n - pi / 2 rounded to float, c = 0 .. n / 2
    RayLongitude,     // 2f pi / n, f = 0 .. n
    RayLatitude,      // (2e + 2) pi / n - pi / 2, e = 0 .. n / 2 - 1
};

struct AngleTable {
    AngleSet set = AngleSet::Circle;
    int32_t n = -1;  // none yet
    std::vector<Trig> trig;
    uint64_t lastUse = 0;
};
constexpr size_t kAngleTables = 8;

struct State {
    ParticleRegisters particles;
    std::array<AngleTable, kAngleTables> angles;
    uint64_t angleUses = 0;
};
State g_state;

Extended AngleOf(AngleSet set, int32_t i, int32_t n) {
    switch (set) {
        case AngleSet::Circle: return Extended(i) / n * (2 * kPi);
        case AngleSet::SphereLongitude: return float(Extended(2 * i) * kPi / n);
        case AngleSet::SphereLatitude: return float(Extended(2 * i) * kPi / n - kPi / 2);
        case AngleSet::RayLongitude: return Extended(2 * i) * kPi / n;
        case AngleSet::RayLatitude: return Extended(2 * i + 2) * kPi / n - kPi / 2;
    }
    return 0;
}

int32_t AngleCount(AngleSet set, int32_t n) {
    if (n <= 0) return 0;
    switch (set) {
        case AngleSet::SphereLatitude: return n / 2 + 1;
        case AngleSet::RayLatitude: return n / 2;
        default: return n + 1;
    }
}

// Entry i is the sine and cosine of angle i of the set; n > 0 for a non-empty table. The least
// recently used table makes room for a new one, so an effect can hold the two it fetched last.
const std::vector<Trig>& Angles(AngleSet set, int32_t n) {
    const uint64_t use = ++g_state.angleUses;
    AngleTable* oldest = &g_state.angles[0];
    for (AngleTable& t : g_state.angles) {
        if (t.set == set && t.n == n) {
            t.lastUse = use;
            return t.trig;
        }
        if (t.lastUse < oldest->lastUse) oldest = &t;
    }
    AngleTable& t = *oldest;
    t.lastUse = use;
    t.set = set;
    t.n = n;
    t.trig.resize(size_t(AngleCount(set, n)));
    for (size_t i = 0; i < t.trig.size(); ++i) t.trig[i] = TrigOf(AngleOf(set, int32_t(i), n));
    return t.trig;
}

struct Point2 {
    float x, y;
};

// Sample k of n on the circle of radius r: (r sin theta, r cos theta), theta = (k / n) * 2pi.
Point2 CirclePoint(float r, const Trig& theta) {
    return {float(r * theta.sin), float(r * theta.cos)};
}

void TexVertex(float s, float t, float x, float y, float z) {
    gl::glTexCoord2f(s, t);
    gl::glVertex3f(x, y, z);
}

// Disc and cone: triangles (centre, new rim point, previous rim point) around the rim.
void DrawFan(int32_t n, float r, float centreZ) {
    n = std::min(n, kMaxRoundSamples);
    auto texOf = [](const Trig& theta) {
        return Point2{float(0.5L + 0.5L * theta.sin), float(0.5L + 0.5L * theta.cos)};
    };
    const Trig zero = TrigOf(0);
    Point2 prev = CirclePoint(r, zero), prevTex = texOf(zero);
    const std::vector<Trig>& angles = Angles(AngleSet::Circle, n);
    gl::glBegin(gl::GL_TRIANGLES);
    for (int32_t k = 1; k <= n; ++k) {
        const Trig& theta = angles[size_t(k)];
        Point2 p = CirclePoint(r, theta), tex = texOf(theta);
        TexVertex(0.5f, 0.5f, 0, 0, centreZ);
        TexVertex(tex.x, tex.y, p.x, p.y, 0);
        TexVertex(prevTex.x, prevTex.y, prev.x, prev.y, 0);
        prev = p;
        prevTex = tex;
    }
    gl::glEnd();
}

// |n| as 32-bit arithmetic gives it, clamped to the cap: -2^31 has no positive twin and stays
// negative, so it counts as too small to draw, not as the largest count.
int32_t AbsCount(int32_t n, int32_t cap) {
    if (n == INT32_MIN) return n;
    return std::min(n < 0 ? -n : n, cap);
}

// Unit direction at latitude phi, longitude lambda: (cos phi cos lambda, sin phi, cos phi sin
// lambda).
void SphereDirection(const Trig& phi, const Trig& lambda, Extended out[3]) {
    out[0] = phi.cos * lambda.cos;
    out[1] = phi.sin;
    out[2] = phi.cos * lambda.sin;
}

// The generator of the sprite field: s := s * 134775813 + 1, Rand(m) = high half of m * s.
struct ParticleRandom {
    uint32_t s;
    uint32_t Rand(uint32_t m) {
        s = s * 134775813u + 1u;
        return uint32_t((uint64_t(m) * s) >> 32);
    }
};

// Fraction along one axis: v = ((speed * time) div 100 + Rand(R)) mod R, f = v / R.
float ParticleFraction(ParticleRandom& rng, int32_t speed, uint32_t timeMs, int32_t range) {
    int64_t drift = int64_t(speed) * int64_t(timeMs) / 100;
    int64_t v = (drift + int64_t(rng.Rand(uint32_t(range)))) % int64_t(range);
    return float(Extended(v) / range);
}

// Sprites fade in over the first and out over the last tenth of each span.
float FadeAlpha(float alpha, float f) {
    if (Extended(f) < 0.1L) return float(alpha * Extended(f) * 10);
    if (Extended(f) > 0.9L) return float(alpha * (1 - (Extended(f) - 0.9L) * 10));
    return alpha;
}

}  // namespace

ParticleRegisters& Particles() { return g_state.particles; }

void ResetEffects() { g_state = State{}; }

void DrawRect(float x0, float y0, float x1, float y1) {
    gl::glBegin(gl::GL_QUADS);
    TexVertex(0, 1, x0, y1, -1);
    TexVertex(1, 1, x1, y1, -1);
    TexVertex(1, 0, x1, y0, -1);
    TexVertex(0, 0, x0, y0, -1);
    gl::glEnd();
}

void DrawBox(float hx, float hy, float hz) {
    // Corner signs of each face, in vertex order; texture (0,0) (1,0) (1,1) (0,1) per face.
    static const int8_t kFaces[6][4][3] = {
        {{-1, -1, -1}, {+1, -1, -1}, {+1, +1, -1}, {-1, +1, -1}},  // z = -hz
        {{-1, -1, +1}, {+1, -1, +1}, {+1, +1, +1}, {-1, +1, +1}},  // z = +hz
        {{-1, -1, -1}, {+1, -1, -1}, {+1, -1, +1}, {-1, -1, +1}},  // y = -hy
        {{-1, +1, -1}, {+1, +1, -1}, {+1, +1, +1}, {-1, +1, +1}},  // y = +hy
        {{-1, -1, -1}, {-1, -1, +1}, {-1, +1, +1}, {-1, +1, -1}},  // x = -hx
        {{+1, -1, -1}, {+1, -1, +1}, {+1, +1, +1}, {+1, +1, -1}},  // x = +hx
    };
    static const float kTex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    gl::glBegin(gl::GL_QUADS);
    for (const auto& face : kFaces)
        for (int v = 0; v < 4; ++v)
            TexVertex(kTex[v][0], kTex[v][1], face[v][0] * hx, face[v][1] * hy, face[v][2] * hz);
    gl::glEnd();
}

void DrawRing(int32_t n, float ra, float rb) {
    n = std::min(n, kMaxRoundSamples);
    const std::vector<Trig>& angles = Angles(AngleSet::Circle, n);
    gl::glBegin(gl::GL_QUADS);
    for (int32_t k = 0; k < n; ++k) {
        const Trig &a = angles[size_t(k)], &b = angles[size_t(k) + 1];
        float sa = float(Extended(k) / n), sb = float(Extended(k + 1) / n);
        Point2 pa = CirclePoint(ra, a), pb = CirclePoint(ra, b);
        Point2 qb = CirclePoint(rb, b), qa = CirclePoint(rb, a);
        TexVertex(sa, 0, pa.x, pa.y, 0);
        TexVertex(sb, 0, pb.x, pb.y, 0);
        TexVertex(sb, 1, qb.x, qb.y, 0);
        TexVertex(sa, 1, qa.x, qa.y, 0);
    }
    gl::glEnd();
}

void DrawDisc(int32_t n, float r) { DrawFan(n, r, 0); }
void DrawCone(int32_t n, float h, float r) { DrawFan(n, r, h); }

void DrawSphere(int32_t n, float r) {
    r = std::fabs(r);
    n = AbsCount(n, kMaxSphereSamples);
    if (n < 4 || r <= 0) return;
    const std::vector<Trig>& longitudes = Angles(AngleSet::SphereLongitude, n);
    const std::vector<Trig>& latitudes = Angles(AngleSet::SphereLatitude, n);
    if (gl::VerticesDropped()) {
        // The strips' blocks, and the normal and texture coordinate of the last vertex: the
        // second of the pair at longitude n of the last strip.
        const int32_t c = n / 2 - 1;
        Extended dir[3];
        SphereDirection(latitudes[size_t(c)], longitudes[size_t(n)], dir);
        for (int32_t strip = 0; strip < n / 2; ++strip) {
            gl::glBegin(gl::GL_TRIANGLE_STRIP);
            gl::glEnd();
        }
        gl::glNormal3f(float(dir[0]), float(dir[1]), float(dir[2]));
        gl::glTexCoord2f(float(1 - Extended(n) / n), float(Extended(2 * c) / n));
        return;
    }
    for (int32_t c = 0; c < n / 2; ++c) {
        const Trig &phi0 = latitudes[size_t(c)], &phi1 = latitudes[size_t(c) + 1];
        float t0 = float(Extended(2 * c) / n), t1 = float(Extended(2 * c + 2) / n);
        gl::glBegin(gl::GL_TRIANGLE_STRIP);
        for (int32_t d = 0; d <= n; ++d) {
            const Trig& lambda = longitudes[size_t(d)];
            float s = float(1 - Extended(d) / n);
            for (auto [phi, t] : {std::pair{phi1, t1}, std::pair{phi0, t0}}) {
                Extended dir[3];
                SphereDirection(phi, lambda, dir);
                gl::glNormal3f(float(dir[0]), float(dir[1]), float(dir[2]));
                TexVertex(s, t, float(r * dir[0]), float(r * dir[1]), float(r * dir[2]));
            }
        }
        gl::glEnd();
    }
}

void DrawRays(int32_t n, float r, float k) {
    r = std::fabs(r);
    n = AbsCount(n, kMaxSphereSamples);
    if (n < 4 || r <= 0) return;
    const std::vector<Trig>& longitudes = Angles(AngleSet::RayLongitude, n);
    const std::vector<Trig>& latitudes = Angles(AngleSet::RayLatitude, n);
    if (gl::VerticesDropped()) {  // the blocks, and the colour of the last outer end
        for (int32_t e = 0; e < n / 2; ++e) {
            gl::glBegin(gl::GL_LINES);
            gl::glEnd();
        }
        gl::glColor4f(1, 1, 1, 0);
        return;
    }
    for (int32_t e = 0; e < n / 2; ++e) {
        const Trig& phi = latitudes[size_t(e)];
        gl::glBegin(gl::GL_LINES);
        for (int32_t f = 0; f <= n; ++f) {
            Extended dir[3];
            SphereDirection(phi, longitudes[size_t(f)], dir);
            Extended p[3] = {r * dir[0], r * dir[1], r * dir[2]};
            gl::glColor4f(1, 1, 1, 1);
            gl::glVertex3f(float(p[0]), float(p[1]), float(p[2]));
            gl::glColor4f(1, 1, 1, 0);
            gl::glVertex3f(float(k * p[0]), float(k * p[1]), float(k * p[2]));
        }
        gl::glEnd();
    }
}

void DrawTunnel(int32_t n, float r1, float r2, float t0, float t1) {
    n = std::min(n, kMaxRoundSamples);
    float tm = float(t0 + (Extended(t1) - t0) / 2);
    const std::vector<Trig>& angles = Angles(AngleSet::Circle, n);
    gl::glBegin(gl::GL_QUADS);
    for (int32_t i = 0; i < n; ++i) {
        bool even = i % 2 == 0;
        float ra = even ? r1 : r2, rb = even ? r2 : r1;
        const Trig &A = angles[size_t(i)], &B = angles[size_t(i) + 1];
        float sa = float(Extended(i) / n), sb = float(Extended(i + 1) / n);
        Point2 a = CirclePoint(ra, A), b = CirclePoint(rb, B);
        gl::glColor4f(1, 1, 1, 1);
        TexVertex(sa, t0, a.x, a.y, 0);
        TexVertex(sb, t0, b.x, b.y, 0);
        TexVertex(sb, tm, b.x, b.y, -5);
        TexVertex(sa, tm, a.x, a.y, -5);
        TexVertex(sa, tm, a.x, a.y, -5);
        TexVertex(sb, tm, b.x, b.y, -5);
        gl::glColor4f(0, 0, 0, 1);
        TexVertex(sb, t1, b.x, b.y, -10);
        TexVertex(sa, t1, a.x, a.y, -10);
    }
    gl::glEnd();
}

void DrawParticles(const ParticleRegisters& p, int32_t timeMs) {
    ParticleRandom rng{uint32_t(p.seed)};
    int32_t count = std::min(p.count, kMaxParticles);
    // A range of 0 has no span to place sprites in: the block stays empty.
    if (p.range == 0) count = 0;
    const int32_t speeds[3] = {p.speedX, p.speedY, p.speedZ};
    const float scales[3] = {p.scaleX, p.scaleY, p.scaleZ};
    const float offsets[3] = {p.offsetX, p.offsetY, p.offsetZ};
    gl::glBegin(gl::GL_QUADS);
    for (int32_t i = 1; i <= count; ++i) {
        float alpha = 1.0f;
        uint32_t perturb = rng.Rand(uint32_t(i) * uint32_t(p.seed));
        rng.s += perturb;
        float coord[3];
        for (int axis = 0; axis < 3; ++axis) {
            float f = ParticleFraction(rng, speeds[axis], uint32_t(timeMs), p.range);
            alpha = FadeAlpha(alpha, f);
            coord[axis] = float(Extended(scales[axis]) * f + offsets[axis]);
        }
        const float x = coord[0], y = coord[1], z = coord[2], w = p.halfWidth, h = p.halfHeight;
        gl::glColor4f(p.red, p.green, p.blue, alpha);
        TexVertex(0, 0, x - w, y - h, z);
        TexVertex(0.1f, 0, x + w, y - h, z);
        TexVertex(0.1f, 0.1f, x + w, y + h, z);
        TexVertex(0, 0.1f, x - w, y + h, z);
    }
    gl::glEnd();
}

namespace {

// The three weights of a quadratic curve at tau: (1 - tau)^2, 2 tau (1 - tau), tau^2, each
// multiplied out in the order BezierCoord multiplies them.
struct BezierWeights {
    Extended start, control, end;
};
BezierWeights WeightsAt(Extended tau) {
    Extended u = 1 - tau;
    return {u * u, 2 * tau * u, tau * tau};
}
int32_t BezierPoint(const BezierWeights& w, int32_t p0, int32_t pc, int32_t p1) {
    return core::RoundToInt32(w.start * p0 + w.control * pc + w.end * p1);
}

// A path segment is sampled at tau = j / 50: the weights of every step, computed once.
constexpr int32_t kPathSteps = 50;
const std::array<BezierWeights, kPathSteps + 1>& PathWeights() {
    static const std::array<BezierWeights, kPathSteps + 1> kWeights = [] {
        std::array<BezierWeights, kPathSteps + 1> w;
        for (int32_t j = 0; j <= kPathSteps; ++j)
            w[size_t(j)] = WeightsAt(Extended(j) / kPathSteps);
        return w;
    }();
    return kWeights;
}

}  // namespace

int32_t BezierCoord(Extended tau, int32_t p0, int32_t pc, int32_t p1) {
    return BezierPoint(WeightsAt(tau), p0, pc, p1);
}

void DrawPath(std::string_view pathString, float amount) {
    // Decoded from a private cursor: the table entry never changes.
    core::ByteReader in(core::AsBytes(pathString));
    int32_t count = 0;
    demo::ReadPathCount(in, count);
    // count 0 makes a infinite; the loop below then draws nothing, as for an empty path.
    const Extended a = amount * (1.0L / count + 1);
    gl::glLineWidth(5);
    gl::glBegin(gl::GL_LINES);
    if (gl::VerticesDropped()) return gl::glEnd();  // a path sets nothing but its vertices
    for (int32_t i = 0; i < count; ++i) {
        if (Extended(i) / (count + 1) > a) break;
        demo::PathSegment s;
        if (!demo::ReadPathSegment(in, s)) break;  // a string shorter than its count ends the path
        Extended frac = a - Extended(i + 1) / count;
        Extended share = 1.0L / count;
        int32_t steps = frac > share ? kPathSteps : core::RoundToInt32(50 * frac / share);
        steps = std::min(steps, kPathSteps);  // the weights table ends at tau = 1
        for (int32_t j = 0; j <= steps; ++j) {
            const BezierWeights& w = PathWeights()[size_t(j)];
            float x = float(BezierPoint(w, s.x0, s.cx, s.x1));
            float y = float(BezierPoint(w, s.y0, s.cy, s.y1));
            gl::glVertex3f(float(Extended(x) / 400), float(-Extended(y) / 400), 0);
            if (j != 0 && j != 50)
                gl::glVertex3f(float(Extended(x) / 400), float(-Extended(y) / 400), 0);
        }
    }
    gl::glEnd();
}

void DrawVertexList(int32_t mode, int32_t vertexCount, std::span<const float> v) {
    // Never past the list, whatever the record's count says.
    size_t n = std::min<size_t>(size_t(std::max(vertexCount, 0)), v.size() / 8);
    gl::glBegin(uint32_t(mode));
    if (gl::VerticesDropped() && n > 0) {  // the last vertex's normal and texture coordinate
        const float* p = &v[(n - 1) * 8];
        gl::glNormal3f(p[0], p[1], p[2]);
        gl::glTexCoord2f(p[6], p[7]);
        n = 0;
    }
    for (size_t i = 0; i < n; ++i) {
        const float* p = &v[i * 8];
        gl::glNormal3f(p[0], p[1], p[2]);
        gl::glTexCoord2f(p[6], p[7]);
        gl::glVertex3f(p[3], p[4], p[5]);
    }
    gl::glEnd();
}

}  // namespace scripter::effects
