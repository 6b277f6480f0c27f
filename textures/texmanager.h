// The texture manager: the demo's texture slots (their sources, as read from the demo file) and
// TextureNames, the OpenGL texture name of every slot (0 until built, 0 when nothing could be
// built). At start-up it turns each slot into a texture in slot order; afterwards the script
// engine, the render-target passes and mesh drawing read names by slot number.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "demo/demo_file.h"
#include "demo/texture_ops.h"

namespace textures {

// Render targets receive 256 x 256 RGB screen copies.
inline constexpr int32_t kRenderTargetSize = 256;

// What a slot becomes, told by its source's first byte.
enum class SlotKind {
    RenderTarget,  // empty source: a 256 x 256 RGB texture without mipmaps
    None,          // first byte 0: nothing is built
    Program,       // first byte 2: a texture program follows the marker
    ImageFile,     // anything else: the name of a file in the "data" folder
};
SlotKind SlotKindOf(std::span<const uint8_t> source);
SlotKind SlotKindOf(const std::string& source);

// The file of an image slot: "data\" + source.
std::string SlotImagePath(const std::string& source);

// Called before each slot is built (the player installs nothing; null calls nothing).
using TextureLoadHookFn = void (*)();
void SetTextureLoadHook(TextureLoadHookFn hook);

// Takes the demo's slot sources and builds every slot in order 0, 1, ... (a Noise in one
// program moves the random generator for the programs after it). Needs the GL context.
// Texture programs are run on worker threads ahead of the uploads; the textures and the GL
// calls are exactly those of building the slots one after the other on the main thread.
void LoadAllTextures(const demo::DemoFile& demo);

// Threads that run texture programs during LoadAllTextures: 0 builds everything on the calling
// thread; the default (-1) uses one per processor core besides the calling one (at least one,
// at most 8).
void SetTextureWorkers(int32_t workers);

// A workbench that builds the same demo again and again keeps each program's output (256 KB)
// from one build to the next, by program and the random state it starts from, and runs only
// the programs whose output it does not have. The outputs kept are those of the last build;
// ResetTextures keeps them. Off by default (the player builds once); off drops them. Only the
// threaded build uses them (SetTextureWorkers above 0).
void KeepProgramOutputs(bool keep);
// Programs the last LoadAllTextures ran (not those whose kept output it took).
int32_t ProgramsRunByLastLoad();

// Builds one slot, deleting the texture it held first. A file slot stores the name only when
// its loader succeeds; a slot whose texture was deleted and not rebuilt reads 0.
void LoadTexture(int32_t slot);

// A new 256 x 256 RGB texture (zero-filled level 0, linear filters, no mipmaps) in the slot.
void CreateRenderTexture(int32_t slot);

// The table empty, no hook, the default workers and the generator's random state 0, as at
// program start (texture names are not deleted: the GL context goes with them).
void ResetTextures();

int32_t TextureCount();
// The slot's texture name; 0 (OpenGL's default texture) for a number outside the table.
uint32_t TextureNameAt(int32_t slot);
// Every slot's name, by slot from 0 (mesh drawing binds through this).
std::span<const uint32_t> TextureNames();

// The random generator's state at the start of `slot` when the slots are built in order from
// a fresh state: the draws of every program slot before it, without running them.
uint32_t RandomStateBeforeSlot(const std::vector<demo::CountedText>& sources, int32_t slot);

}  // namespace textures
