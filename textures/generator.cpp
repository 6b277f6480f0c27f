#include "textures/generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/numeric.h"

namespace textures {
namespace {

using core::Extended;

// The extended-precision pi of the x87 (FLDPI).
constexpr Extended kPi = 3.14159265358979323851L;
constexpr int32_t kRowBytes = kLayerSize * 3;
constexpr int32_t kWrap = kLayerSize - 1;  // WrapIndex of any int32 is v & kWrap (512 = 2^9)

// The hot loops are compiled twice, for AVX2 and for the x86-64 baseline, and the dynamic
// loader picks one for the processor at hand (GCC function multi-versioning). Both compute the
// same bytes: the loops are integer or exactly rounded IEEE double arithmetic. Sanitizer builds
// keep one version: the dynamic loader runs the selectors before the sanitizer runtime starts.
// Windows executables have no such selectors (ifunc) either.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define QV_HOT_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define QV_HOT_LOOP
#endif

// The player's integer arithmetic is 32-bit and wraps: products and differences of parameters
// are taken modulo 2^32 before dividing.
int32_t MulWrap(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }
int32_t SubWrap(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
int32_t AddWrap(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }

uint8_t Clamp255(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Colour parameter C: red = C mod 256, green = (C div 256) mod 256, blue = (C div 65536) mod
// 256, truncating toward zero, each reduced to its low 8 bits.
struct Rgb {
    uint8_t r, g, b;
};
Rgb ColourOf(int32_t c) {
    return {uint8_t(c % 256), uint8_t((c / 256) % 256), uint8_t((c / 65536) % 256)};
}

uint8_t* Row(uint8_t* layer, int32_t y) { return layer + size_t(y & kWrap) * kRowBytes; }
const uint8_t* Row(const uint8_t* layer, int32_t y) {
    return layer + size_t(y & kWrap) * kRowBytes;
}

// A row of separable terms: out[x] = nearest(col[x] + row), the sum taken in extended precision
// (and, for Rotate, stored as a double before rounding). |terms| stay below 2^20, so the double
// sums are off by less than 2^-30 from the extended ones: wherever a double sum lies farther
// than that from a half-integer it rounds the same way, and only rows holding a near-tie take
// the extended path for those pixels.
struct SeparableTerms {
    std::array<Extended, kLayerSize> exact;
    std::array<double, kLayerSize> approx;
    void Set(int32_t i, Extended v) {
        exact[i] = v;
        approx[i] = double(v);
    }
};
constexpr double kRoundMagic = 6755399441055744.0;  // 1.5 * 2^52: x + M - M rounds x to even
constexpr double kNearTie = 0.4999999;

QV_HOT_LOOP void RoundRowSums(const SeparableTerms& col, Extended row, bool storeAsDouble,
                              int32_t* out) {
    const double rowApprox = double(row);
    int32_t nearTies = 0;
    for (int32_t x = 0; x < kLayerSize; ++x) {
        const double sum = col.approx[x] + rowApprox;
        const double rounded = (sum + kRoundMagic) - kRoundMagic;
        const double off = sum - rounded;
        out[x] = int32_t(rounded);
        nearTies |= int32_t(off > kNearTie) | int32_t(off < -kNearTie);
    }
    if (!nearTies) return;
    for (int32_t x = 0; x < kLayerSize; ++x) {
        const double sum = col.approx[x] + rowApprox;
        const double off = sum - ((sum + kRoundMagic) - kRoundMagic);
        if (off > kNearTie || off < -kNearTie) {
            const Extended exact = col.exact[x] + row;
            out[x] = core::RoundToInt32(storeAsDouble ? Extended(double(exact)) : exact);
        }
    }
}

// Affine step S -> a * S + c of the random generator, composable for jumps.
struct LcgStep {
    uint32_t a, c;
};
constexpr LcgStep kDrawStep = {134775813u, 1u};
LcgStep Then(LcgStep first, LcgStep second) {
    return {second.a * first.a, second.a * first.c + second.c};
}
LcgStep StepPower(LcgStep step, uint64_t n) {
    LcgStep result = {1, 0};
    while (n) {
        if (n & 1) result = Then(result, step);
        step = Then(step, step);
        n >>= 1;
    }
    return result;
}

// --- the operations ------------------------------------------------------------------

// Fill: every pixel becomes the colour.
void OpFill(uint8_t* layer, Rgb c) {
    for (int32_t x = 0; x < kLayerSize; ++x) {
        layer[3 * x] = c.r;
        layer[3 * x + 1] = c.g;
        layer[3 * x + 2] = c.b;
    }
    for (int32_t y = 1; y < kLayerSize; ++y) std::memcpy(Row(layer, y), layer, kRowBytes);
}

// Noise: byte n of the layer (pixel n div 3, channel n mod 3) is draw n, range 255. 64
// interleaved generator streams (S[n+64] = A64 * S[n] + C64) break the multiply chain, so that
// each block of 64 draws is two loops the compiler runs in vector registers.
QV_HOT_LOOP void OpNoise(uint8_t* layer, uint32_t& state) {
    constexpr int kStreams = 64;
    static_assert(kLayerBytes % kStreams == 0);
    const LcgStep jump = StepPower(kDrawStep, kStreams);
    alignas(64) uint32_t s[kStreams];
    uint32_t cursor = state;
    for (int k = 0; k < kStreams; ++k) s[k] = cursor = kDrawStep.a * cursor + kDrawStep.c;
    for (size_t n = 0; n < kLayerBytes; n += kStreams) {
        uint8_t* out = layer + n;
        for (int k = 0; k < kStreams; ++k) out[k] = uint8_t((uint64_t(s[k]) * 255u) >> 32);
        for (int k = 0; k < kStreams; ++k) s[k] = jump.a * s[k] + jump.c;
    }
    state = AdvanceRandomState(state, kNoiseDraws);
}

// The five-point neighbourhood of the filters: dst = value(p, right + left + below + above)
// for every channel of src, the neighbours wrapping around the edges.
template <typename Value>
[[gnu::always_inline]] inline void ForEachCross(const uint8_t* src, uint8_t* dst, Value value) {
    for (int32_t y = 0; y < kLayerSize; ++y) {
        const uint8_t* up = Row(src, y - 1);
        const uint8_t* cur = Row(src, y);
        const uint8_t* down = Row(src, y + 1);
        uint8_t* out = Row(dst, y);
        for (int32_t j = 0; j < 3; ++j)
            out[j] = value(cur[j], cur[j + kRowBytes - 3] + cur[j + 3] + up[j] + down[j]);
        for (int32_t j = 3; j < kRowBytes - 3; ++j)
            out[j] = value(cur[j], cur[j - 3] + cur[j + 3] + up[j] + down[j]);
        for (int32_t j = kRowBytes - 3; j < kRowBytes; ++j)
            out[j] = value(cur[j], cur[j - 3] + cur[j + 3 - kRowBytes] + up[j] + down[j]);
    }
}

// One Blur pass: new = (right + centre + left + below + above) div 5 per channel, reading src
// only. The sums (at most 1275) fit 16 bits, which lets the loop vectorise widely.
QV_HOT_LOOP void BlurPass(const uint8_t* src, uint8_t* dst) {
    ForEachCross(src, dst, [](int32_t p, int32_t neighbours) {
        return uint8_t(uint16_t(p + neighbours) / 5);
    });
}

// Runs passes of a filter from layer to temp and back, stopping early at a fixed point.
// The result ends in layer.
template <typename Pass>
void RunPasses(GeneratorState& g, uint8_t* layer, int32_t extraPasses, Pass pass) {
    if (extraPasses < 0) return;
    int32_t passes = std::min(extraPasses, kMaxFilterPasses - 1) + 1;
    uint8_t* src = layer;
    uint8_t* dst = g.temp;
    for (int32_t i = 0; i < passes; ++i) {
        pass(src, dst);
        std::swap(src, dst);
        if (i + 1 < passes && std::memcmp(src, dst, kLayerBytes) == 0) break;
    }
    if (src != layer) std::memcpy(layer, src, kLayerBytes);
}

// (v div size) * size: the first coordinate of v's block (size != 0; a negative size acts as
// its absolute value).
int32_t BlockStart(int32_t v, int32_t size) { return int32_t(int64_t(v) / size * size); }

// Mosaic: pixel (x, y) becomes old(block start of x, block start of y). Worked in place:
// rows and columns are visited in ascending order and every block start maps to itself, so
// each source pixel is read before anything overwrites it.
void OpMosaic(uint8_t* layer, int32_t blockWidth, int32_t blockHeight) {
    std::array<int32_t, kLayerSize> columnSource;
    for (int32_t x = 0; x < kLayerSize; ++x) columnSource[x] = BlockStart(x, blockWidth);
    for (int32_t y = 0; y < kLayerSize; ++y) {
        int32_t sourceRow = BlockStart(y, blockHeight);
        uint8_t* row = Row(layer, y);
        if (sourceRow != y) {
            std::memcpy(row, Row(layer, sourceRow), kRowBytes);
            continue;
        }
        for (int32_t x = 0; x < kLayerSize; ++x)
            if (columnSource[x] != x) std::memcpy(row + 3 * x, row + 3 * columnSource[x], 3);
    }
}

// Fills a layer with grey g = nearest(colTerm[x] + rowTerm[y]) + 128, where both terms are
// sin(phase) * 63.5 in extended precision (the sine plasmas are separable).
void FillSeparableGrey(uint8_t* layer, const SeparableTerms& colTerm,
                       const std::array<Extended, kLayerSize>& rowTerm) {
    std::array<int32_t, kLayerSize> grey;
    for (int32_t y = 0; y < kLayerSize; ++y) {
        RoundRowSums(colTerm, rowTerm[y], false, grey.data());
        uint8_t* row = Row(layer, y);
        for (int32_t x = 0; x < kLayerSize; ++x)
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = uint8_t(grey[x] + 128);
    }
}

// Phase of coordinate c: c / 512 * freq / 8 * pi, evaluated left to right.
Extended PlasmaPhase(int32_t c, int32_t freq) {
    return Extended(c) / 512 * Extended(freq) / 8 * kPi;
}

// SinePlasma: g = nearest(sin(u) * 63.5 + sin(v) * 63.5) + 128.
void OpSinePlasma(uint8_t* layer, int32_t freqX, int32_t freqY) {
    SeparableTerms colTerm;
    std::array<Extended, kLayerSize> rowTerm;
    for (int32_t i = 0; i < kLayerSize; ++i) {
        colTerm.Set(i, core::Sin(PlasmaPhase(i, freqX)) * 63.5L);
        rowTerm[i] = core::Sin(PlasmaPhase(i, freqY)) * 63.5L;
    }
    FillSeparableGrey(layer, colTerm, rowTerm);
}

// The nested phase: u = single(phase), then depth - 1 times u = single(sin(gain / 128 * u)).
// The iteration stops early at a fixed point, where further steps could not change u.
float NestedPhase(int32_t c, int32_t freq, int32_t depth, int32_t gain) {
    float u = float(PlasmaPhase(c, freq));
    const int32_t steps = std::min(depth, kMaxNestedSineDepth) - 1;
    const Extended factor = Extended(gain) / 128;
    for (int32_t i = 0; i < steps; ++i) {
        float next = float(core::Sin(factor * Extended(u)));
        if (next == u) break;
        u = next;
    }
    return u;
}

// NestedSinePlasma: as SinePlasma with the phases fed through nested sines.
void OpNestedSinePlasma(uint8_t* layer, std::span<const int32_t> p) {
    SeparableTerms colTerm;
    std::array<Extended, kLayerSize> rowTerm;
    for (int32_t i = 0; i < kLayerSize; ++i) {
        colTerm.Set(i, core::Sin(Extended(NestedPhase(i, p[0], p[3], p[4]))) * 63.5L);
        rowTerm[i] = core::Sin(Extended(NestedPhase(i, p[1], p[3], p[5]))) * 63.5L;
    }
    FillSeparableGrey(layer, colTerm, rowTerm);
}

// ColorKeyMask: d = |r - kr| + |g - kg| + |b - kb| + 1; where d <= 3 * tolerance the mask
// becomes clamp(m - (m * d) div tolerance). A tolerance <= 0 changes nothing (d >= 1, and a
// 3 * tolerance that wraps positive comes with a quotient of 0), nor does one above
// 255 * 766 >= m * d. Below that, m * d and the tolerance are under 2^18, and the quotient's
// double is exact or lies at least 2^-36 (relative) from the next integer, far more than a
// double's rounding: truncating it gives m * d div tolerance exactly, and it vectorises.
QV_HOT_LOOP void KeyMaskPixels(const uint8_t* layer, uint8_t* mask, Rgb key, int32_t limit,
                               int32_t tolerance) {
    const double divisor = tolerance;
    for (size_t i = 0; i < kLayerPixels; ++i) {
        const uint8_t* px = layer + 3 * i;
        const int32_t d =
            std::abs(px[0] - key.r) + std::abs(px[1] - key.g) + std::abs(px[2] - key.b) + 1;
        const int32_t m = mask[i];
        const int32_t quotient = int32_t(double(m * d) / divisor);
        mask[i] = uint8_t(std::max(m - (d <= limit ? quotient : 0), 0));
    }
}

void OpColorKeyMask(const uint8_t* layer, uint8_t* mask, Rgb key, int32_t tolerance) {
    constexpr int32_t kLargestProduct = 255 * 766;
    if (tolerance <= 0 || tolerance > kLargestProduct) return;
    KeyMaskPixels(layer, mask, key, 3 * tolerance, tolerance);
}

// ShiftAdd: new = clamp(a + ((b - 128) * strength) div 255), b = old(x + dx - 128,
// y + dy - 128), read from the layer as it was (results go through temp). Below
// kPlainShiftStrength no product wraps and the formula vectorises; beyond it the result,
// which depends on (a, b) only, comes from a 256 x 256 table carrying the wrapped products.
constexpr int32_t kPlainShiftStrength = (1 << 24) - 1;  // 128 * strength stays below 2^31

QV_HOT_LOOP void ShiftAddPlain(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t count,
                               int32_t strength) {
    for (int32_t j = 0; j < count; ++j)
        out[j] = uint8_t(std::clamp(a[j] + (b[j] - 128) * strength / 255, 0, 255));
}

void OpShiftAdd(GeneratorState& g, uint8_t* layer, std::span<const int32_t> p) {
    const int32_t strength = p[3];
    const bool plain = std::abs(int64_t(strength)) <= kPlainShiftStrength;
    static thread_local std::array<std::array<uint8_t, 256>, 256> table;
    if (!plain) {
        for (int32_t b = 0; b < 256; ++b) {
            const int32_t q = MulWrap(b - 128, strength) / 255;
            for (int32_t a = 0; a < 256; ++a) table[b][a] = Clamp255(a + q);
        }
    }
    auto combine = [&](const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t count) {
        if (plain) ShiftAddPlain(a, b, out, count, strength);
        else
            for (int32_t j = 0; j < count; ++j) out[j] = table[b[j]][a[j]];
    };
    const int32_t shiftBytes = 3 * (SubWrap(p[0], 128) & kWrap);
    const int32_t shiftRows = SubWrap(p[1], 128);
    const int32_t head = kRowBytes - shiftBytes;  // columns whose source does not wrap
    for (int32_t y = 0; y < kLayerSize; ++y) {
        const uint8_t* a = Row(layer, y);
        const uint8_t* b = Row(layer, AddWrap(y, shiftRows));
        uint8_t* out = Row(g.temp, y);
        combine(a, b + shiftBytes, out, head);
        combine(a + head, b, out + head, shiftBytes);
    }
    std::memcpy(layer, g.temp, kLayerBytes);
}

// VerticalGradient: row y gets ((512 - y) * B + y * A) div 512 per channel.
void OpVerticalGradient(uint8_t* layer, Rgb a, Rgb b) {
    for (int32_t y = 0; y < kLayerSize; ++y) {
        auto mix = [y](uint8_t ca, uint8_t cb) {
            return uint8_t(((kLayerSize - y) * cb + y * ca) / kLayerSize);
        };
        const uint8_t r = mix(a.r, b.r), gr = mix(a.g, b.g), bl = mix(a.b, b.b);
        uint8_t* row = Row(layer, y);
        for (int32_t x = 0; x < kLayerSize; ++x) {
            row[3 * x] = r;
            row[3 * x + 1] = gr;
            row[3 * x + 2] = bl;
        }
    }
}

// Rotate: a = single(deg / 180 * pi); destination (x, y) takes old(sx + 256, sy + 256) with
// sx = nearest(double(cos a * dx + sin a * dy)), sy = nearest(double(cos a * dy - sin a * dx)),
// dx = x - 256, dy = y - 256. Every product is separable into a column and a row term.
void OpRotate(GeneratorState& g, uint8_t* layer, int32_t degrees) {
    const double angle = float(Extended(degrees) / 180 * kPi);
    const Extended c = core::Cos(Extended(angle));
    const Extended s = core::Sin(Extended(angle));
    constexpr int32_t kCentre = kLayerSize / 2;
    SeparableTerms cosDx, minusSinDx;
    for (int32_t x = 0; x < kLayerSize; ++x) {
        cosDx.Set(x, c * Extended(x - kCentre));
        minusSinDx.Set(x, -(s * Extended(x - kCentre)));
    }
    std::array<int32_t, kLayerSize> sx, sy;
    for (int32_t y = 0; y < kLayerSize; ++y) {
        RoundRowSums(cosDx, s * Extended(y - kCentre), true, sx.data());
        RoundRowSums(minusSinDx, c * Extended(y - kCentre), true, sy.data());
        uint8_t* out = Row(g.temp, y);
        for (int32_t x = 0; x < kLayerSize; ++x) {
            const size_t from = size_t((sy[x] + kCentre) & kWrap) * kRowBytes +
                                3 * size_t((sx[x] + kCentre) & kWrap);
            // Four-byte moves: the extra byte lands where the next pixel is written next.
            if (x + 1 < kLayerSize && from + 4 <= kLayerBytes)
                std::memcpy(out + 3 * x, layer + from, 4);
            else std::memcpy(out + 3 * x, layer + from, 3);
        }
    }
    std::memcpy(layer, g.temp, kLayerBytes);
}

// Applies a 256-entry table to every channel value of the layer.
void MapChannels(uint8_t* layer, const std::array<uint8_t, 256>& table) {
    for (size_t j = 0; j < kLayerBytes; ++j) layer[j] = table[layer[j]];
}

// SineRemap: phi = single(phase / 128 * pi); c becomes nearest(sin(c / 128 * pi + phi) * 127
// + 128), always 1..255.
void OpSineRemap(uint8_t* layer, int32_t phase) {
    const float phi = float(Extended(phase) / 128 * kPi);
    std::array<uint8_t, 256> table;
    for (int32_t c = 0; c < 256; ++c)
        table[c] =
            uint8_t(core::RoundToInt32(core::Sin(Extended(c) / 128 * kPi + phi) * 127 + 128));
    MapChannels(layer, table);
}

// GreyGain: k = single((gain - 128) / 128 + 1); g = clamp(nearest((r + g + b) * k / 3)).
void OpGreyGain(uint8_t* layer, int32_t gain) {
    const float k = float(Extended(SubWrap(gain, 128)) / 128 + 1);
    std::array<uint8_t, 766> table;
    for (int32_t sum = 0; sum < 766; ++sum)
        table[sum] = Clamp255(core::RoundToInt32(Extended(sum) * k / 3));
    for (size_t i = 0; i < kLayerPixels; ++i) {
        uint8_t* px = layer + 3 * i;
        px[0] = px[1] = px[2] = table[px[0] + px[1] + px[2]];
    }
}

// Disc by the midpoint-circle scheme. Every span is centred on column cx, so per wrapped row
// only the widest span matters; half-width 256 or more (or a span whose 32-bit ends wrap
// past each other, which covers billions of columns) fills the whole row. From a radius of
// 1536 on, the loop runs past k = 767 with r >= k, and rows cy + 256 .. cy + 767 are all full:
// the whole layer takes the colour.
void OpDisc(uint8_t* layer, int32_t cx, int32_t cy, int32_t radius, Rgb colour) {
    constexpr int32_t kFullRow = kLayerSize / 2;
    if (radius < 0) return;
    if (radius >= 3 * kLayerSize) {
        OpFill(layer, colour);
        return;
    }
    std::array<int32_t, kLayerSize> halfWidth;
    halfWidth.fill(-1);
    auto span = [&](int32_t row, int32_t half) {
        const int64_t lo = int64_t(cx) - half, hi = int64_t(cx) + half;
        if (lo < INT32_MIN || hi > INT32_MAX) half = kFullRow;  // the ends wrap past each other
        int32_t& h = halfWidth[row & kWrap];
        h = std::max(h, std::min(half, kFullRow));
    };
    int32_t r = radius, k = 0, d = -radius;
    while (k <= r) {
        span(AddWrap(cy, -k), r);
        span(AddWrap(cy, k), r);
        span(AddWrap(cy, -r), k);
        span(AddWrap(cy, r), k);
        d = d + 2 * k + 1;
        k = k + 1;
        if (d > 0) {
            d = d - (2 * r - 2);
            r = r - 1;
        }
    }
    for (int32_t y = 0; y < kLayerSize; ++y) {
        const int32_t h = halfWidth[y];
        if (h < 0) continue;
        uint8_t* row = Row(layer, y);
        const int32_t first = h >= kFullRow ? 0 : AddWrap(cx, -h);
        const int32_t count = h >= kFullRow ? kLayerSize : 2 * h + 1;
        for (int32_t i = 0; i < count; ++i) {
            uint8_t* px = row + 3 * (AddWrap(first, i) & kWrap);
            px[0] = colour.r;
            px[1] = colour.g;
            px[2] = colour.b;
        }
    }
}

// One SharpenBlend pass, src to dst. With p the pixel's channel, L = ((p - right) + (p - left)
// + (p - below) + (p - above)) div 4, t = clamp(p - (L * 8 * strength) div 255) and the new
// value ((255 - mix) * p) div 255 + (t * mix) div 255, low 8 bits. It depends on (p, L) only.
struct SharpenTable {
    std::array<std::array<uint8_t, 256>, 511> byLaplacian;  // [L + 255][p]
};
void BuildSharpenTable(SharpenTable& table, int32_t strength, int32_t mix) {
    std::array<int32_t, 256> keep, take;
    const int32_t keepFactor = SubWrap(255, mix);
    for (int32_t v = 0; v < 256; ++v) {
        keep[v] = MulWrap(keepFactor, v) / 255;
        take[v] = MulWrap(v, mix) / 255;
    }
    for (int32_t L = -255; L <= 255; ++L) {
        const int32_t push = MulWrap(L * 8, strength) / 255;
        for (int32_t p = 0; p < 256; ++p)
            table.byLaplacian[L + 255][p] = uint8_t(AddWrap(keep[p], take[Clamp255(p - push)]));
    }
}
void SharpenPassByTable(const SharpenTable& table, const uint8_t* src, uint8_t* dst) {
    ForEachCross(src, dst, [&](int32_t p, int32_t neighbours) {
        return table.byLaplacian[(4 * p - neighbours) / 4 + 255][p];
    });
}

// Below these magnitudes no product of the pass leaves 32 bits (|L * 8 * strength| <= 2040 *
// 2^20, |(255 - mix) * p| and |t * mix| <= 255 * (2^23 + 255)), so the formula runs in plain
// arithmetic, which vectorises; beyond them the table carries the wrapped products.
constexpr int32_t kPlainStrengthLimit = 1 << 20;
constexpr int32_t kPlainMixLimit = 1 << 23;

QV_HOT_LOOP void SharpenPassPlain(const uint8_t* src, uint8_t* dst, int32_t strength, int32_t mix) {
    const int32_t keepFactor = 255 - mix;
    ForEachCross(src, dst, [=](int32_t p, int32_t neighbours) {
        const int32_t laplacian = (4 * p - neighbours) / 4;
        int32_t t = p - laplacian * 8 * strength / 255;
        t = t < 0 ? 0 : t > 255 ? 255 : t;
        return uint8_t(keepFactor * p / 255 + t * mix / 255);
    });
}

void OpSharpenBlend(GeneratorState& g, uint8_t* layer, std::span<const int32_t> p) {
    if (p[3] < 0) return;
    const int32_t strength = p[0], mix = p[1];
    if (std::abs(int64_t(strength)) <= kPlainStrengthLimit &&
        std::abs(int64_t(mix)) <= kPlainMixLimit) {
        RunPasses(g, layer, p[3], [=](const uint8_t* src, uint8_t* dst) {
            SharpenPassPlain(src, dst, strength, mix);
        });
        return;
    }
    static thread_local SharpenTable table;
    BuildSharpenTable(table, strength, mix);
    RunPasses(g, layer, p[3],
              [](const uint8_t* src, uint8_t* dst) { SharpenPassByTable(table, src, dst); });
}

}  // namespace

namespace {

struct State {
    GeneratorStatePtr generator;  // the program-wide working images, reserved on first use
};
State g_state;

}  // namespace

GeneratorState& Generator() {
    if (!g_state.generator) g_state.generator = NewGeneratorState();
    return *g_state.generator;
}

void FreeGeneratorState::operator()(GeneratorState* g) const { std::free(g); }

GeneratorStatePtr NewGeneratorState() {
    // All-zero bytes are a valid GeneratorState (black layers, none used, random state 0);
    // calloc leaves the pages untouched until they are written.
    auto* g = static_cast<GeneratorState*>(std::calloc(1, sizeof(GeneratorState)));
    if (!g) throw std::bad_alloc();
    std::memset(g->mask, 255, kLayerPixels);
    return GeneratorStatePtr(g);
}

void ClearWorkingImages(GeneratorState& g) {
    for (int32_t i = 0; i < kLayerCount; ++i) {
        if (g.layerUsed[i]) std::memset(g.layers[i], 0, kLayerBytes);
        g.layerUsed[i] = false;
    }
    std::memset(g.mask, 255, kLayerPixels);
}

bool IsWellFormedOp(uint8_t opcode, std::span<const int32_t> p) {
    if (opcode >= kTexOpCount) return false;
    const demo::TexOpInfo& op = demo::kTexOps[opcode];
    if (p.size() < op.required) return false;
    const int32_t layer = p[op.layerParam];
    if (layer < 0 || layer >= kLayerCount) return false;
    if (opcode == kMosaic && (p[0] == 0 || p[1] == 0)) return false;
    return true;
}

void ExecuteOp(GeneratorState& g, uint8_t opcode, std::span<const int32_t> p) {
    if (!IsWellFormedOp(opcode, p)) return;
    const int32_t layerIndex = p[demo::kTexOps[opcode].layerParam];
    uint8_t* layer = g.layers[layerIndex];
    if (opcode != kColorKeyMask) g.layerUsed[layerIndex] = true;
    switch (opcode) {
        case kFill: OpFill(layer, ColourOf(p[0])); break;
        case kNoise: OpNoise(layer, g.random); break;
        case kBlur: RunPasses(g, layer, p[0], BlurPass); break;
        case kMosaic: OpMosaic(layer, p[0], p[1]); break;
        case kSinePlasma: OpSinePlasma(layer, p[0], p[1]); break;
        case kColorKeyMask: OpColorKeyMask(layer, g.mask, ColourOf(p[0]), p[1]); break;
        case kNestedSinePlasma: OpNestedSinePlasma(layer, p); break;
        case kShiftAdd: OpShiftAdd(g, layer, p); break;
        case kVerticalGradient: OpVerticalGradient(layer, ColourOf(p[0]), ColourOf(p[1])); break;
        case kRotate: OpRotate(g, layer, p[0]); break;
        case kSineRemap: OpSineRemap(layer, p[0]); break;
        case kGreyGain: OpGreyGain(layer, p[0]); break;
        case kDisc: OpDisc(layer, p[0], p[1], p[2], ColourOf(p[3])); break;
        case kSharpenBlend: OpSharpenBlend(g, layer, p); break;
    }
}

uint32_t GenRandom(uint32_t& state, uint32_t range) {
    state = state * kDrawStep.a + kDrawStep.c;
    return uint32_t((uint64_t(state) * range) >> 32);
}

uint32_t AdvanceRandomState(uint32_t state, uint64_t draws) {
    const LcgStep step = StepPower(kDrawStep, draws);
    return step.a * state + step.c;
}

uint64_t RandomDrawsOf(uint8_t opcode, std::span<const int32_t> params) {
    return opcode == kNoise && IsWellFormedOp(opcode, params) ? kNoiseDraws : 0;
}

namespace {

// sum = min(255, sum + layer) per byte; in sequence this equals min(255, total), every addend
// being non-negative.
QV_HOT_LOOP void AddSaturated(uint8_t* sum, const uint8_t* layer) {
    for (size_t j = 0; j < kLayerBytes; ++j) {
        const uint8_t s = uint8_t(sum[j] + layer[j]);
        sum[j] = s < sum[j] ? 255 : s;
    }
}

QV_HOT_LOOP void InterleaveRgba(const uint8_t* rgb, const uint8_t* alpha, uint8_t* out) {
    for (size_t i = 0; i < kLayerPixels; ++i) {
        out[4 * i] = rgb[3 * i];
        out[4 * i + 1] = rgb[3 * i + 1];
        out[4 * i + 2] = rgb[3 * i + 2];
        out[4 * i + 3] = alpha[i];
    }
}

}  // namespace

void ComposeOutput(GeneratorState& g, uint8_t* out) {
    int32_t first = 0;
    while (first < kLayerCount && !g.layerUsed[first]) ++first;
    if (first == kLayerCount) std::memset(g.temp, 0, kLayerBytes);
    else std::memcpy(g.temp, g.layers[first], kLayerBytes);
    for (int32_t i = first + 1; i < kLayerCount; ++i)
        if (g.layerUsed[i]) AddSaturated(g.temp, g.layers[i]);
    InterleaveRgba(g.temp, g.mask, out);
}

}  // namespace textures
