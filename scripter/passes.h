// Render targets and screen passes: a 256 x 256 pass copied into a texture of the table and an
// 8 x 8 pass copied into the blur texture that can be stretched over the screen. Both draw
// into the lower-left corner of the back buffer; owns the blur texture and the window size.
#pragma once
#include <cstdint>
#include <vector>

namespace scripter::passes {

// The module's state. written lists the textures a copy has written since the reset (render
// targets and the blur texture), each once: their pixels are state a checkpoint must keep.
struct PassState {
    int32_t width = 800, height = 600;
    uint32_t blurTexture = 0;
    std::vector<uint32_t> written;
};
// For checkpoints: the state as it is, and the state put back.
const PassState& SavePasses();
void RestorePasses(const PassState& state);

inline constexpr int32_t kTargetSize = 256;
inline constexpr int32_t kBlurSize = 8;

// The window size chosen at start-up (passes restore this viewport; later resizes are not
// followed).
void SetWindowSize(int32_t width, int32_t height);

// Once at start-up: the 8 x 8 RGB blur texture with linear filtering.
void CreateBlurTexture();
uint32_t BlurTexture();

// Window size 800 x 600 and no blur texture, as at program start.
void ResetPasses();

// depth is the script engine's TargetPassDepth (open 256 x 256 passes).
void BeginTargetPass(int32_t& depth);
// entryName: the texture name held by the table entry; hasEntry false when the index named no
// entry of the table, in which case nothing is copied.
void EndTargetPass(int32_t& depth, bool hasEntry, uint32_t entryName);
void BeginBlurPass();
void EndBlurPass(int32_t depth);
void DrawBlurOverlay();

}  // namespace scripter::passes
