// The built-in drawing effects: immediate-mode shapes a script draws with one opcode. Each
// emits its glBegin/glEnd blocks through the GL layer under the current matrix, texture,
// blend and colour state. Only the sprite field keeps state: its registers.
#pragma once
#include <cstdint>
#include <span>
#include <string_view>

namespace scripter::effects {

// Set by the particle opcodes, read by DrawParticles; all zero at start.
struct ParticleRegisters {
    int32_t count = 0, seed = 0, range = 0;
    float offsetX = 0, offsetY = 0, offsetZ = 0;
    float scaleX = 0, scaleY = 0, scaleZ = 0;
    float red = 0, green = 0, blue = 0;
    float halfWidth = 0, halfHeight = 0;
    int32_t speedX = 0, speedY = 0, speedZ = 0;
};

ParticleRegisters& Particles();
// Every particle register back to zero.
void ResetEffects();

// Round shapes sample angle k of n at (k / n) * 2pi, point (r sin, r cos): sample 0 on +y.
// Counts beyond these caps are clamped so that one call emits at most about half a million
// vertices (a tunnel: 8 per sample; a sphere: n / 2 bands of 2 (n + 1)) and a stray value, one
// flipped bit of a count, cannot stall the frame; no real demo comes near them.
inline constexpr int32_t kMaxRoundSamples = 1 << 16;  // rings, discs, cones, tunnels
inline constexpr int32_t kMaxSphereSamples = 1 << 8;  // spheres and rays (quadratic cost)
inline constexpr int32_t kMaxParticles = 1 << 16;

void DrawRect(float x0, float y0, float x1, float y1);
void DrawBox(float hx, float hy, float hz);
void DrawRing(int32_t n, float ra, float rb);
void DrawDisc(int32_t n, float r);
void DrawCone(int32_t n, float h, float r);
void DrawSphere(int32_t n, float r);
void DrawRays(int32_t n, float r, float k);
void DrawTunnel(int32_t n, float r1, float r2, float t0, float t1);
void DrawParticles(const ParticleRegisters& p, int32_t timeMs);

// One path string: int16 BE segment count, then 15-byte segments (x0 y0 x1 y1 cx cy, one
// ignored int16, one ignored byte; int16 BE, units of 1/400, y down). amount 1 draws all.
void DrawPath(std::string_view pathString, float amount);
int32_t BezierCoord(long double tau, int32_t p0, int32_t pc, int32_t p1);

// A model record's vertex list: 8 floats per vertex (nx ny nz x y z s t) in primitive mode.
void DrawVertexList(int32_t mode, int32_t vertexCount, std::span<const float> vertices);

}  // namespace scripter::effects
