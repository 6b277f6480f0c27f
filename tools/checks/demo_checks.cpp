#include "tools/checks/demo_checks.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/byte_reader.h"
#include "core/quote.h"
#include "core/text.h"
#include "demo/object_ops.h"
#include "demo/opcodes.h"
#include "demo/tex_program.h"
#include "demo/texture_ops.h"
#include "models/mdlmanager.h"
#include "models/objloader.h"
#include "platform/paths.h"
#include "scripter/verifier.h"
#include "textures/image_loaders.h"
#include "tools/source/demo_source.h"
#include "tools/sync/bake.h"

namespace tools {
namespace {

namespace fs = std::filesystem;

// A demo-file name resolved as the player resolves it, without a leading "./".
std::string ResolvedPath(const std::string& demoName) {
    std::string path = platform::ResolvePath(demoName);
    if (path.starts_with("./")) path.erase(0, 2);
    return path;
}

// The ImageMagick command that rewrites a top-down file upright for the player. ImageMagick
// reads either file upright and writes BMPs bottom-up, so a BMP needs no flip; its TGAs store
// the top row first under a bottom-left header, so a TGA does.
std::string FlipCommand(textures::ImageKind kind, const std::string& shown) {
    return kind == textures::ImageKind::BMP ? "convert " + shown + " " + shown
                                            : "convert " + shown + " -flip " + shown;
}

// For a name the player's loaders skip: the name they would read, when there is one.
std::string RenameHint(const std::string& demoName) {
    std::string lower = demoName;
    for (char& c : lower) c = char(std::tolower(uint8_t(c)));
    if (!lower.ends_with(".jpeg")) return "";
    const std::string renamed = demoName.substr(0, demoName.size() - 5) + ".jpg";
    return "; rename it to " + core::QuoteToken(platform::DisplayPath(ResolvedPath(renamed)));
}

struct Checker {
    const demo::DemoFile& d;
    std::vector<CheckFinding> out;

    void Add(Place p, Severity s, std::string text) { out.push_back({p, s, std::move(text)}); }
    void Error(Place p, std::string text) { Add(p, Severity::Error, std::move(text)); }
    void Warn(Place p, std::string text) { Add(p, Severity::Warning, std::move(text)); }

    // A file the demo names: an error when it does not exist, with where it was looked for
    // and the nearest name there. True when it exists.
    bool FileExists(Place p, const char* what, const std::string& demoName) {
        const std::string path = ResolvedPath(demoName);
        std::error_code ec;
        if (fs::is_regular_file(path, ec)) return true;
        const fs::path resolved(path);
        const std::string folder =
            resolved.has_parent_path() ? resolved.parent_path().string() : std::string(".");
        std::string text = std::string(what) + " " + core::QuoteToken(platform::DisplayPath(path)) +
                           " not found in " + core::QuoteToken(platform::DisplayPath(folder));
        const std::string nearest = NearestName(folder, resolved.filename().string());
        if (!nearest.empty()) text += " (nearest: " + core::QuoteToken(nearest) + ")";
        Error(p, text);
        return false;
    }

    // --- image and OBJ files, as the player's loaders read them --------------------------

    // An image file of a texture slot, run through the player's own decoder: what the loader
    // refuses is an error with its reason; a file stored top-down loads upside down.
    void ImageFile(Place p, const std::string& demoName) {
        const textures::ImageKind kind = textures::ImageKindOf(demoName);
        const std::string shown = core::QuoteToken(platform::DisplayPath(ResolvedPath(demoName)));
        if (kind == textures::ImageKind::None)
            return Error(p, "image file " + shown + " is not loaded: the player reads only " +
                                "names ending in .bmp, .jpg or .tga" + RenameHint(demoName));
        if (!FileExists(p, "image file", demoName)) return;
        const textures::DecodeResult decoded = textures::DecodeImageFile(demoName, kind);
        if (!decoded.ok)
            return Error(p, "image file " + shown + " does not load: " + decoded.reason);
        if (decoded.storedTopDown)
            Warn(p, "image file " + shown +
                        " is stored top-down: the player shows it upside down; flip it with "
                        "ImageMagick: " +
                        FlipCommand(kind, shown));
    }

    // Faces of an OBJ model that the drawing does not see as the file's triangles: the first
    // face line of each group that has other than three corners.
    void ObjFaces(Place p, const std::string& name) {
        models::ObjMesh mesh;
        std::string error;
        std::vector<models::ObjFaceLine> faces;
        if (!models::LoadObj(mesh, name, error, &faces)) return;
        std::vector<bool> warned(mesh.groups.size());
        for (const models::ObjFaceLine& f : faces) {
            if (f.corners == 3 || warned[size_t(f.group)]) continue;
            warned[size_t(f.group)] = true;
            Warn(p, "OBJ file " +
                        core::QuoteToken(platform::DisplayPath(ResolvedPath("data\\" + name))) +
                        ", line " + std::to_string(f.line) + ": a face of " +
                        std::to_string(f.corners) + " corners in group " + std::to_string(f.group) +
                        "; the player draws a group's corners three at a time, so this group "
                        "draws broken triangles (qv obj triangulates the file)");
        }
    }

    void TextureProgram(int32_t slot, const std::string& source) {
        core::ByteReader in(core::AsBytes(source));
        in.pos = 1;  // the marker
        int32_t count = 0;
        if (!in.ReadI32(count))
            return Error({Table::Texture, slot, 0}, "program ends in its count");
        for (int32_t i = 0; i < count; ++i) {
            const Place at{Table::Texture, slot, int64_t(in.pos)};
            demo::TexOperation op;
            if (!demo::ReadTexOperation(in, op))
                return Error(at, "the program ends inside operation " + std::to_string(i) + " of " +
                                     std::to_string(count));
            if (op.opcode >= demo::kTexOpCount) {
                Warn(at, "texture operation " + std::to_string(op.opcode) + " does nothing");
                continue;
            }
            const demo::TexOpInfo& info = demo::kTexOps[op.opcode];
            const std::string name(info.name);
            if (op.params.size() < info.required) {
                std::string names;
                for (int k = 0; k < info.required; ++k)
                    names += (k ? ", " : "") + std::string(info.params[size_t(k)].name);
                Error(at, name + " needs " + std::to_string(info.required) + " parameters (" +
                              names + "); " + std::to_string(op.params.size()) +
                              " given, so the player skips it");
                continue;
            }
            for (int k = 0; k < info.required; ++k) {
                const demo::TexParamInfo& p = info.params[size_t(k)];
                const int32_t v = op.params[size_t(k)].value;
                if (p.kind == demo::ParamKind::Unused || (v >= p.min && v <= p.max)) continue;
                Error(at, name + " " + std::string(p.name) + " " + std::to_string(v) +
                              " is outside " + std::to_string(p.min) + " to " +
                              std::to_string(p.max));
            }
        }
    }

    void ObjectProgram(int32_t model, const std::string& source) {
        for (size_t pc = 1; pc < source.size();) {
            const Place at{Table::Model, model, int64_t(pc)};
            const uint8_t op = uint8_t(source[pc]);
            if (op == demo::kSelectAll) {
                ++pc;
                continue;
            }
            if (op == demo::kSelectBox) {
                if (source.size() - pc - 1 < demo::kSelectBoxBodyBytes)
                    return Error(at, "SelectBox is cut off by the end of the program");
                pc += 1 + demo::kSelectBoxBodyBytes;
                continue;
            }
            const bool hasParam = pc + 1 < source.size();
            const uint8_t param = hasParam ? uint8_t(source[pc + 1]) : 0;
            pc += 2;
            if (op >= demo::kObjectOpCount) {
                Warn(at, "object operation " + std::to_string(op) + " does nothing");
                continue;
            }
            const demo::ObjectOpInfo& info = demo::kObjectOps[op];
            if (info.parameter.empty() || (param >= info.min && param <= info.max)) continue;
            Error(at, std::string(info.name) + " " + std::string(info.parameter) + " " +
                          std::to_string(param) + " is outside " + std::to_string(info.min) +
                          " to " + std::to_string(info.max));
        }
    }

    // Builds every model as the player does; returns each OBJ mesh's group count (-1 for
    // the others) for the script checks.
    std::vector<int32_t> Models() {
        std::vector<int32_t> groups;
        for (size_t i = 0; i < d.modelSources.size(); ++i) {
            const std::string& source = d.modelSources[i].bytes;
            const Place item{Table::Model, int32_t(i), -1};
            groups.push_back(-1);
            if (source.empty()) continue;
            const uint8_t kind = uint8_t(source[0]);
            if (kind == demo::kModelProgram) ObjectProgram(int32_t(i), source);
            else if (kind == demo::kModelObj) {
                if (!FileExists(item, "OBJ file", "data\\" + source.substr(1))) continue;
            } else if (!FileExists(item, "vertex file", source)) {
                continue;
            }
            models::ModelRecord record;
            std::string error;
            if (!models::LoadModel(source, record, error)) Error(item, error);
            else if (kind == demo::kModelObj) {
                groups.back() = int32_t(record.mesh.groups.size());
                ObjFaces(item, source.substr(1));
            }
        }
        return groups;
    }

    void Textures() {
        for (size_t i = 0; i < d.textureSources.size(); ++i) {
            const std::string& source = d.textureSources[i].bytes;
            if (source.empty() || uint8_t(source[0]) == demo::kTextureNone) continue;
            if (uint8_t(source[0]) == demo::kTextureProgram) TextureProgram(int32_t(i), source);
            else ImageFile({Table::Texture, int32_t(i), -1}, "data\\" + source);
        }
    }

    void Scripts(std::vector<int32_t> meshGroups) {
        scripter::TableSizes sizes;
        sizes.intVars = d.intVarCount;
        sizes.floatVars = d.floatVarCount;
        sizes.textures = int32_t(d.textureSources.size());
        sizes.models = int32_t(d.modelSources.size());
        sizes.paths = int32_t(d.pathStrings.size());
        sizes.meshGroups = std::move(meshGroups);
        scripter::TableUse use;
        for (const scripter::Finding& f : scripter::VerifyScripts(d.scripts, sizes, &use))
            Error({Table::Script, f.script, f.offset}, f.text);
        if (!use.anyTexture)
            for (size_t i = 0; i < d.textureSources.size(); ++i)
                if (!use.textures.count(int32_t(i)) && int32_t(i) < use.meshTexturesFrom)
                    Warn({Table::Texture, int32_t(i), -1},
                         "texture " + std::to_string(i) + " is never used by any script");
        if (!use.anyModel)
            for (size_t i = 0; i < d.modelSources.size(); ++i)
                if (!use.models.count(int32_t(i)))
                    Warn({Table::Model, int32_t(i), -1},
                         "model " + std::to_string(i) + " is never used by any script");
    }

    // PUSHMATRIX and POPMATRIX of each script, in the order they are written. The transform
    // is not reset between clips, so what a script leaves on the matrix stack reaches the tracks
    // after it (and a push without its pop grows the stack every frame). A script CALLed by
    // its index (PUSHI k, CALL) may leave a transform for its caller to pop, as a shared pose
    // does: its balance counts in its callers instead.
    void MatrixBalance() {
        const size_t n = d.scripts.size();
        std::vector<int> net(n, 0);
        std::vector<bool> called(n, false);
        for (size_t i = 0; i < n; ++i)
            EachInstruction(d.scripts[i], [&](int64_t, uint8_t op, int64_t callee) {
                net[i] += (op == demo::PUSHMATRIX) - (op == demo::POPMATRIX);
                if (callee >= 0 && size_t(callee) < n) called[size_t(callee)] = true;
            });
        for (size_t i = 0; i < n; ++i) {
            if (called[i]) continue;
            std::vector<std::pair<int64_t, bool>> pushes;  // what is not undone yet: offset, CALL
            EachInstruction(d.scripts[i], [&](int64_t pc, uint8_t op, int64_t callee) {
                int change = (op == demo::PUSHMATRIX) - (op == demo::POPMATRIX);
                if (callee >= 0 && size_t(callee) < n) change = net[size_t(callee)];
                for (; change > 0; --change) pushes.emplace_back(pc, op == demo::CALL);
                for (; change < 0; ++change) {
                    if (!pushes.empty()) {
                        pushes.pop_back();
                        continue;
                    }
                    Warn({Table::Script, int32_t(i), pc},
                         "POPMATRIX without a PUSHMATRIX before it in this script: it takes the "
                         "transform saved by another script, not one of its own");
                    break;
                }
            });
            for (auto [at, call] : pushes)
                Warn({Table::Script, int32_t(i), at},
                     std::string(call ? "the script this CALL runs leaves a PUSHMATRIX"
                                      : "PUSHMATRIX") +
                         " without a POPMATRIX after it in this script: the transform is not reset "
                         "between clips, so the tracks after it inherit this script's, and the "
                         "matrix stack grows every frame");
        }
    }

    // Calls visit(offset, opcode, callee) for each instruction of the script in written
    // order; callee is the script a CALL right after a PUSHI names, else -1.
    template <typename Visit>
    static void EachInstruction(const demo::Script& script, Visit visit) {
        const size_t end = std::min(size_t(std::max(script.length, 0)), script.code.size());
        int64_t pushed = -1;  // the value of the PUSHI just before, if any
        for (size_t pc = 0; pc < end;) {
            const uint8_t op = script.code[pc];
            const size_t length = size_t(demo::InstructionLength(op));
            if (pc + length > end) break;  // cut off: the player stops there
            visit(int64_t(pc), op, op == demo::CALL ? pushed : -1);
            pushed =
                op == demo::PUSHI ? int64_t(int32_t(demo::InlineBits(&script.code[pc + 1]))) : -1;
            pc += length;
        }
    }

    // A bake sets its variables for the frame before any other script reads them: its clip
    // is on track 0 and covers every frame from 0 on.
    void BakedTracks() {
        for (size_t i = 0; i < d.scripts.size(); ++i) {
            const std::optional<sync::BakeMark> mark = sync::ReadBakeMark(d.scripts[i]);
            if (!mark || !mark->master) continue;
            bool runs = false;
            for (size_t k = 0; k < d.clips.size(); ++k) {
                const demo::Clip& c = d.clips[k];
                if (c.scriptIndex != int32_t(i)) continue;
                runs = true;
                if (c.track != 0 || c.start > 0 || c.length != sync::kBakeClipLength)
                    Warn({Table::Clip, int32_t(k), kClipTrack},
                         "this clip runs the baked sync tracks (script " + std::to_string(i) +
                             "), but not from track 0 over all time: the scripts on the "
                             "tracks before it, and the frames outside it, see other "
                             "values than the tracker showed");
            }
            if (!runs)
                Warn({Table::Script, int32_t(i), -1},
                     "the baked sync tracks of this script never run: no clip names it");
        }
    }

    void Clips() {
        for (size_t i = 0; i < d.clips.size(); ++i) {
            const demo::Clip& c = d.clips[i];
            if (c.track >= demo::kTrackCount)
                Error({Table::Clip, int32_t(i), kClipTrack},
                      "track " + std::to_string(c.track) + " never runs: the tracks are 0 to " +
                          std::to_string(demo::kTrackCount - 1));
            if (c.scriptIndex < 0 || size_t(c.scriptIndex) >= d.scripts.size())
                Error({Table::Clip, int32_t(i), kClipScript},
                      "script " + std::to_string(c.scriptIndex) + " outside the " +
                          std::to_string(d.scripts.size()) + " scripts");
        }
    }
};

}  // namespace

std::string NearestName(const std::string& folder, const std::string& name) {
    constexpr size_t kLongestFileName = 255;  // a longer name matches nothing; no slow compare
    if (name.size() > kLongestFileName) return "";
    std::error_code ec;
    std::string best;
    int bestDistance = int(name.size() / 2) + 1;  // farther than that is no hint
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        const int distance = core::EditDistanceIgnoringCase(name, candidate);
        if (distance < bestDistance ||
            (distance == bestDistance && !best.empty() && candidate < best)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

std::vector<CheckFinding> CheckDemo(const demo::DemoFile& demo) {
    Checker c{demo, {}};
    c.Textures();
    std::vector<int32_t> groups = c.Models();
    c.Scripts(std::move(groups));
    c.Clips();
    c.BakedTracks();
    c.MatrixBalance();
    if (!demo.musicFile.bytes.empty())
        c.FileExists({Table::Music, 0, -1}, "music file", demo.musicFile.bytes);
    return std::move(c.out);
}

}  // namespace tools
