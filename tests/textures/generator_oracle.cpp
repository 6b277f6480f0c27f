#include "tests/textures/generator_oracle.h"

#include <cmath>
#include <cstring>

#include "core/numeric.h"

namespace oracle {
namespace {

using core::Extended;
using textures::GeneratorState;

const Extended kPi = 3.14159265358979323851L;

int32_t Wrap32(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }

int32_t WrapCoord(int64_t c) {
    while (c < 0) c += 512;
    return int32_t(c % 512);
}
int32_t WrapIndex(int64_t x, int64_t y) { return WrapCoord(y) * 512 + WrapCoord(x); }

int32_t Clamp(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
int32_t Channel(int32_t colour, int32_t c) {
    int32_t v = c == 0 ? colour % 256 : c == 1 ? (colour / 256) % 256 : (colour / 65536) % 256;
    return v & 255;
}

uint8_t& At(uint8_t* layer, int64_t x, int64_t y, int32_t c) {
    return layer[WrapIndex(x, y) * 3 + c];
}

void CopyFromTemp(GeneratorState& g, uint8_t* layer) {
    for (int i = 0; i < 512 * 512 * 3; ++i) layer[i] = g.temp[i];
}

int32_t Passes(int32_t extra) {
    return extra < textures::kMaxFilterPasses ? extra + 1 : textures::kMaxFilterPasses;
}

}  // namespace

void ClearWorkingImages(GeneratorState& g) {
    for (int l = 0; l < 8; ++l)
        for (int i = 0; i < 512 * 512 * 3; ++i) g.layers[l][i] = 0;
    for (int i = 0; i < 512 * 512; ++i) g.mask[i] = 255;
}

void ExecuteOp(GeneratorState& g, uint8_t op, std::span<const int32_t> p) {
    if (!textures::IsWellFormedOp(op, p)) return;
    switch (op) {
        case 0: {
            uint8_t* L = g.layers[p[2]];
            for (int y = 0; y < 512; ++y)
                for (int x = 0; x < 512; ++x)
                    for (int c = 0; c < 3; ++c) At(L, x, y, c) = uint8_t(Channel(p[0], c));
            break;
        }
        case 1: {
            uint8_t* L = g.layers[p[0]];
            for (int i = 0; i < 512 * 512; ++i)
                for (int c = 0; c < 3; ++c) {
                    g.random = g.random * 134775813u + 1u;
                    L[i * 3 + c] = uint8_t((uint64_t(g.random) * 255u) >> 32);
                }
            break;
        }
        case 2: {
            if (p[0] < 0) break;
            uint8_t* L = g.layers[p[1]];
            for (int pass = 0; pass < Passes(p[0]); ++pass) {
                for (int y = 0; y < 512; ++y)
                    for (int x = 0; x < 512; ++x)
                        for (int c = 0; c < 3; ++c)
                            g.temp[WrapIndex(x, y) * 3 + c] =
                                uint8_t((At(L, x + 1, y, c) + At(L, x, y, c) + At(L, x - 1, y, c) +
                                         At(L, x, y + 1, c) + At(L, x, y - 1, c)) /
                                        5);
                CopyFromTemp(g, L);
            }
            break;
        }
        case 3: {
            uint8_t* L = g.layers[p[2]];
            for (int y = 0; y < 512; ++y)
                for (int x = 0; x < 512; ++x)
                    for (int c = 0; c < 3; ++c)
                        g.temp[WrapIndex(x, y) * 3 + c] =
                            At(L, int64_t(x) / p[0] * p[0], int64_t(y) / p[1] * p[1], c);
            CopyFromTemp(g, L);
            break;
        }
        case 4:
        case 6: {
            uint8_t* L = g.layers[p[2]];
            for (int y = 0; y < 512; ++y)
                for (int x = 0; x < 512; ++x) {
                    Extended u = Extended(x) / 512 * Extended(p[0]) / 8 * kPi;
                    Extended v = Extended(y) / 512 * Extended(p[1]) / 8 * kPi;
                    if (op == 6) {
                        float su = float(u), sv = float(v);
                        int32_t depth = p[3] < textures::kMaxNestedSineDepth
                                            ? p[3]
                                            : textures::kMaxNestedSineDepth;
                        for (int i = 0; i < depth - 1; ++i) {
                            su = float(core::Sin(Extended(p[4]) / 128 * Extended(su)));
                            sv = float(core::Sin(Extended(p[5]) / 128 * Extended(sv)));
                        }
                        u = su;
                        v = sv;
                    }
                    int32_t grey =
                        core::RoundToInt32(core::Sin(u) * 63.5L + core::Sin(v) * 63.5L) + 128;
                    for (int c = 0; c < 3; ++c) At(L, x, y, c) = uint8_t(grey);
                }
            break;
        }
        case 5: {
            uint8_t* L = g.layers[p[2]];
            for (int i = 0; i < 512 * 512; ++i) {
                int32_t d = std::abs(L[i * 3] - Channel(p[0], 0)) +
                            std::abs(L[i * 3 + 1] - Channel(p[0], 1)) +
                            std::abs(L[i * 3 + 2] - Channel(p[0], 2)) + 1;
                if (p[1] > 0 && d <= Wrap32(int64_t(3) * p[1]))
                    g.mask[i] = uint8_t(Clamp(g.mask[i] - (g.mask[i] * d) / p[1]));
            }
            break;
        }
        case 7: {
            uint8_t* L = g.layers[p[2]];
            for (int y = 0; y < 512; ++y)
                for (int x = 0; x < 512; ++x)
                    for (int c = 0; c < 3; ++c) {
                        int32_t a = At(L, x, y, c);
                        int32_t b = At(L, int64_t(x) + p[0] - 128, int64_t(y) + p[1] - 128, c);
                        g.temp[WrapIndex(x, y) * 3 + c] =
                            uint8_t(Clamp(a + Wrap32(int64_t(b - 128) * p[3]) / 255));
                    }
            CopyFromTemp(g, L);
            break;
        }
        case 8: {
            uint8_t* L = g.layers[p[2]];
            for (int y = 0; y < 512; ++y)
                for (int x = 0; x < 512; ++x)
                    for (int c = 0; c < 3; ++c)
                        At(L, x, y, c) =
                            uint8_t(((512 - y) * Channel(p[1], c) + y * Channel(p[0], c)) / 512);
            break;
        }
        case 9: {
            uint8_t* L = g.layers[p[1]];
            double a = float(Extended(p[0]) / 180 * kPi);
            for (int y = 0; y < 512; ++y)
                for (int x = 0; x < 512; ++x) {
                    int32_t dx = x - 256, dy = y - 256;
                    int32_t sx = core::RoundToInt32(
                        double(core::Cos(Extended(a)) * dx + core::Sin(Extended(a)) * dy));
                    int32_t sy = core::RoundToInt32(
                        double(core::Cos(Extended(a)) * dy - core::Sin(Extended(a)) * dx));
                    for (int c = 0; c < 3; ++c)
                        g.temp[WrapIndex(x, y) * 3 + c] = At(L, sx + 256, sy + 256, c);
                }
            CopyFromTemp(g, L);
            break;
        }
        case 10: {
            uint8_t* L = g.layers[p[1]];
            float phi = float(Extended(p[0]) / 128 * kPi);
            for (int i = 0; i < 512 * 512 * 3; ++i)
                L[i] = uint8_t(core::RoundToInt32(
                    core::Sin(Extended(L[i]) / 128 * kPi + Extended(phi)) * 127 + 128));
            break;
        }
        case 11: {
            uint8_t* L = g.layers[p[1]];
            float k = float(Extended(Wrap32(int64_t(p[0]) - 128)) / 128 + 1);
            for (int i = 0; i < 512 * 512; ++i) {
                int32_t s = L[i * 3] + L[i * 3 + 1] + L[i * 3 + 2];
                int32_t grey = Clamp(core::RoundToInt32(Extended(s) * Extended(k) / 3));
                for (int c = 0; c < 3; ++c) L[i * 3 + c] = uint8_t(grey);
            }
            break;
        }
        case 12: {
            uint8_t* L = g.layers[p[4]];
            auto span = [&](int64_t x1, int64_t x2, int64_t row) {
                for (int64_t x = std::min(x1, x2); x <= std::max(x1, x2); ++x)
                    for (int c = 0; c < 3; ++c) At(L, x, row, c) = uint8_t(Channel(p[3], c));
            };
            int64_t r = p[2], k = 0, d = -int64_t(p[2]);
            while (k <= r) {
                span(p[0] - r, p[0] + r, p[1] - k);
                span(p[0] - r, p[0] + r, p[1] + k);
                span(p[0] - k, p[0] + k, p[1] - r);
                span(p[0] - k, p[0] + k, p[1] + r);
                d = d + 2 * k + 1;
                k = k + 1;
                if (d > 0) {
                    d = d - (2 * r - 2);
                    r = r - 1;
                }
            }
            break;
        }
        case 13: {
            if (p[3] < 0) break;
            uint8_t* L = g.layers[p[2]];
            for (int pass = 0; pass < Passes(p[3]); ++pass) {
                for (int y = 0; y < 512; ++y)
                    for (int x = 0; x < 512; ++x)
                        for (int c = 0; c < 3; ++c) {
                            int32_t q = At(L, x, y, c);
                            int32_t lap = ((q - At(L, x + 1, y, c)) + (q - At(L, x - 1, y, c)) +
                                           (q - At(L, x, y + 1, c)) + (q - At(L, x, y - 1, c))) /
                                          4;
                            g.temp[WrapIndex(x, y) * 3 + c] =
                                uint8_t(Clamp(q - Wrap32(int64_t(lap * 8) * p[0]) / 255));
                        }
                for (int i = 0; i < 512 * 512 * 3; ++i) {
                    int32_t keep = Wrap32(int64_t(Wrap32(int64_t(255) - p[1])) * L[i]) / 255;
                    int32_t take = Wrap32(int64_t(g.temp[i]) * p[1]) / 255;
                    L[i] = uint8_t(Wrap32(int64_t(keep) + take));
                }
            }
            break;
        }
    }
}

void ComposeOutput(const GeneratorState& g, uint8_t* out) {
    for (int i = 0; i < 512 * 512; ++i) {
        for (int c = 0; c < 3; ++c) {
            int32_t sum = 0;
            for (int l = 0; l < 8; ++l) sum += g.layers[l][i * 3 + c];
            out[i * 4 + c] = uint8_t(sum > 255 ? 255 : sum);
        }
        out[i * 4 + 3] = g.mask[i];
    }
}

}  // namespace oracle
