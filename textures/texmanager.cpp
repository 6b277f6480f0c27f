#include "textures/texmanager.h"

#include "gl/gl_layer.h"
#include "textures/image_loaders.h"
#include "textures/tex_program.h"

namespace textures {
namespace {

struct TextureSlot {  // qvTexture
    std::string name;    // not stored in the demo file; stays empty
    std::string source;  // the slot's bytes as read
};

struct TextureTable {
    std::vector<TextureSlot> sources;   // TextureSources
    std::vector<uint32_t> names;        // TextureNames
    TextureLoadHookFn loadHook = nullptr;
};

TextureTable& Table() {
    static TextureTable table;
    return table;
}

bool InTable(int32_t slot) { return slot >= 0 && size_t(slot) < Table().names.size(); }

std::span<const uint8_t> BytesOf(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace

SlotKind SlotKindOf(std::span<const uint8_t> source) {
    if (source.empty()) return SlotKind::RenderTarget;
    if (source[0] == 0) return SlotKind::None;
    if (source[0] == 2) return SlotKind::Program;
    return SlotKind::ImageFile;
}
SlotKind SlotKindOf(const std::string& source) { return SlotKindOf(BytesOf(source)); }

std::string SlotImagePath(const std::string& source) { return "data\\" + source; }

void SetTextureLoadHook(TextureLoadHookFn hook) { Table().loadHook = hook; }

void LoadAllTextures(const DemoFile& demo) {
    TextureTable& table = Table();
    table.sources.clear();
    for (const CountedText& source : demo.textureSources) table.sources.push_back({"", source.bytes});
    table.names.assign(table.sources.size(), 0);
    for (int32_t slot = 0; slot < TextureCount(); ++slot) {
        if (table.loadHook) table.loadHook();
        LoadTexture(slot);
    }
}

void LoadTexture(int32_t slot) {
    if (!InTable(slot)) return;
    TextureTable& table = Table();
    uint32_t& name = table.names[slot];
    if (name != 0) {
        qgl::glDeleteTexture(name);
        name = 0;  // never leave a deleted name in the table
    }
    const std::string& source = table.sources[slot].source;
    switch (SlotKindOf(source)) {
        case SlotKind::RenderTarget: CreateRenderTexture(slot); break;
        case SlotKind::None: break;
        case SlotKind::Program: name = GenerateTexture(BytesOf(source).subspan(1)); break;
        case SlotKind::ImageFile: LoadTextureFile(SlotImagePath(source), name); break;
    }
}

void CreateRenderTexture(int32_t slot) {
    if (!InTable(slot)) return;
    uint32_t& name = Table().names[slot];
    name = qgl::glGenTexture();
    qgl::glBindTexture(qgl::GL_TEXTURE_2D, name);
    // The content is overwritten by the first screen copy; zeros keep runs reproducible.
    const std::vector<uint8_t> blank(size_t(kRenderTargetSize) * kRenderTargetSize * 3, 0);
    qgl::glTexImage2D(qgl::GL_TEXTURE_2D, 0, 3, kRenderTargetSize, kRenderTargetSize, 0, qgl::GL_RGB,
                      qgl::GL_UNSIGNED_BYTE, blank.data());
    qgl::glTexParameteri(qgl::GL_TEXTURE_2D, qgl::GL_TEXTURE_MAG_FILTER, qgl::GL_LINEAR);
    qgl::glTexParameteri(qgl::GL_TEXTURE_2D, qgl::GL_TEXTURE_MIN_FILTER, qgl::GL_LINEAR);
}

int32_t TextureCount() { return int32_t(Table().names.size()); }

uint32_t TextureNameAt(int32_t slot) { return InTable(slot) ? Table().names[slot] : 0; }

uint32_t RandomStateBeforeSlot(const std::vector<CountedText>& sources, int32_t slot) {
    uint64_t draws = 0;
    for (int32_t i = 0; i < slot && size_t(i) < sources.size(); ++i) {
        const std::span<const uint8_t> source = BytesOf(sources[i].bytes);
        if (SlotKindOf(source) == SlotKind::Program)
            draws += RandomDrawsOf(ParseTexProgram(source.subspan(1)));
    }
    return AdvanceRandomState(0, draws);
}

}  // namespace textures
