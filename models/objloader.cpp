#include "models/objloader.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "core/file_io.h"
#include "core/quote.h"
#include "gl/gl_layer.h"
#include "platform/paths.h"

namespace models {
namespace {

struct State {
    TextureNameTable textureTable = nullptr;  // the texture manager's names, for mesh drawing
};
State g_state;

// The largest index of one list that the faces use, and the line that used it; checked
// against the list's length once the whole file is read (a face may name an entry that a
// later line defines).
struct IndexUse {
    int32_t largest = -1;
    size_t line = 0;
};

struct ObjParser {
    const std::string& fileName;
    ObjMesh& mesh;
    size_t lineNumber = 0;
    std::string error;
    IndexUse positions, texCoords, normals;
    std::vector<ObjFaceLine>* faceLines = nullptr;

    ObjParser(const std::string& file, ObjMesh& m) : fileName(file), mesh(m) {}

    bool Fail(const std::string& problem) {
        error = fileName + ", line " + std::to_string(lineNumber) + ": " + problem;
        return false;
    }

    // A decimal number with "." as separator and an optional exponent, the whole field.
    bool ToFloat(std::string_view field, float& out) {
        if (field.empty())
            return Fail("empty number field (two blanks in a row or a missing value)");
        std::string_view digits = field;
        if (digits.front() == '+') digits.remove_prefix(1);
        size_t first = !digits.empty() && digits.front() == '-' && field.front() != '+' ? 1 : 0;
        bool startsLikeNumber =
            digits.size() > first && (std::isdigit(uint8_t(digits[first])) || digits[first] == '.');
        long double value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (!startsLikeNumber || ec != std::errc() || end != digits.data() + digits.size() ||
            !std::isfinite(value))
            return Fail(core::QuoteToken(field) + " is not a number");
        // Extended to float32 as the x87 store does with overflow masked: beyond the largest
        // float (plus half a step) the value becomes an infinity.
        constexpr long double kFloatOverflow = 0x1.ffffffp127L;
        if (std::fabs(value) >= kFloatOverflow) out = value > 0 ? INFINITY : -INFINITY;
        else out = float(value);
        return true;
    }

    // A decimal integer (optional sign), the whole field, within int32.
    bool ToInt(std::string_view field, const char* what, int32_t& out) {
        if (field.empty()) return Fail(std::string("empty ") + what + " field");
        std::string_view digits = field;
        if (digits.front() == '+' && digits.size() > 1 && digits[1] != '-') digits.remove_prefix(1);
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
        if (ec != std::errc() || end != digits.data() + digits.size())
            return Fail(std::string(what) + " " + core::QuoteToken(field) + " is not an integer");
        return true;
    }

    // "KEY a b c": the keyword up to its blank is dropped, then each wanted number is the text
    // up to the next blank; values beyond those wanted are ignored.
    template <size_t N>
    bool Numbers(std::string_view line, float (&out)[N]) {
        std::string s(line);
        s += ' ';
        s.erase(0, s.find(' ') + 1);
        for (float& v : out) {
            size_t blank = s.find(' ');
            if (blank == std::string::npos)
                return Fail("missing number (" + std::to_string(N) + " wanted)");
            if (!ToFloat(std::string_view(s).substr(0, blank), v)) return false;
            s.erase(0, blank + 1);
        }
        return true;
    }

    ModelGroup* CurrentGroup(const char* what) {
        if (mesh.groups.empty()) {
            Fail(std::string(what) + " line before the first group line (\"g name\")");
            return nullptr;
        }
        return &mesh.groups.back();
    }

    // "usemtl N[ anything]": material N - 1 (wrapping like 32-bit arithmetic).
    bool UseMaterial(std::string_view line) {
        ModelGroup* group = CurrentGroup("usemtl");
        if (!group) return false;
        std::string_view rest = line.substr(line.find(' ') + 1);
        rest = rest.substr(0, rest.find(' '));
        int32_t number = 0;
        if (!ToInt(rest, "material", number)) return false;
        group->material = int32_t(uint32_t(number) - 1u);
        return true;
    }

    // One index of a corner: 1-based in the file, at least 1, stored 0-based.
    bool Index(std::string_view field, const char* what, IndexUse& use, int32_t& out) {
        int32_t value = 0;
        if (!ToInt(field, what, value)) return false;
        if (value < 1)
            return Fail(
                std::string(what) + " " + std::to_string(value) +
                " is out of range (indexes count from 1; relative indexes are not supported)");
        out = value - 1;
        if (out > use.largest) use = IndexUse{out, lineNumber};
        return true;
    }

    // "f p/t/n p/t/n ...": every corner complete, corners separated by single blanks.
    bool Face(std::string_view line) {
        ModelGroup* group = CurrentGroup("face");
        if (!group) return false;
        std::string s(line.substr(2));
        s += ' ';
        const size_t cornersBefore = group->corners.size();
        while (!s.empty()) {
            size_t slash1 = s.find('/');
            size_t slash2 = slash1 == std::string::npos ? slash1 : s.find('/', slash1 + 1);
            size_t blank = slash2 == std::string::npos ? slash2 : s.find(' ', slash2 + 1);
            if (blank == std::string::npos)
                return Fail("face corner " +
                            core::QuoteToken(std::string_view(s).substr(0, s.find(' '))) +
                            " is not position/texture/normal");
            std::string_view view(s);
            ObjCorner c;
            if (!Index(view.substr(0, slash1), "position index", positions, c.position) ||
                !Index(view.substr(slash1 + 1, slash2 - slash1 - 1), "texture-coordinate index",
                       texCoords, c.texCoord) ||
                !Index(view.substr(slash2 + 1, blank - slash2 - 1), "normal index", normals,
                       c.normal))
                return false;
            group->corners.push_back(c);
            s.erase(0, blank + 1);
        }
        if (faceLines)
            faceLines->push_back({lineNumber, int32_t(mesh.groups.size() - 1),
                                  int32_t(group->corners.size() - cornersBefore)});
        return true;
    }

    bool Line(std::string_view line) {
        if (line.starts_with("v ")) {
            float v[3];
            if (!Numbers(line, v)) return false;
            mesh.positions.push_back({v[0], v[1], v[2]});
        } else if (line.starts_with("vt ")) {
            float v[2];
            if (!Numbers(line, v)) return false;
            mesh.texCoords.push_back({v[0], v[1]});
        } else if (line.starts_with("vn ")) {
            float v[3];
            if (!Numbers(line, v)) return false;
            mesh.normals.push_back({v[0], v[1], v[2]});
        } else if (line.starts_with("g ")) {
            ModelGroup group;
            group.name = std::string(line.substr(1));
            mesh.groups.push_back(std::move(group));
        } else if (line.starts_with("usemtl ")) {
            return UseMaterial(line);
        } else if (line.starts_with("f ")) {
            return Face(line);
        }
        return true;  // comments, object names, smoothing groups, mtllib, blank lines
    }

    bool CheckIndexes() {
        auto check = [&](const IndexUse& use, int32_t count, const char* what, const char* list) {
            if (use.largest < count) return true;
            lineNumber = use.line;
            return Fail(std::string(what) + " " + std::to_string(int64_t(use.largest) + 1) +
                        " is beyond the " + std::to_string(count) + " " + list + " of the file");
        };
        return check(positions, int32_t(mesh.positions.size()), "position index", "positions") &&
               check(texCoords, int32_t(mesh.texCoords.size()), "texture-coordinate index",
                     "texture coordinates") &&
               check(normals, int32_t(mesh.normals.size()), "normal index", "normals");
    }
};

}  // namespace

bool ParseObj(std::string_view text, const std::string& fileName, ObjMesh& mesh, std::string& error,
              std::vector<ObjFaceLine>* faceLines) {
    ObjParser parser(fileName, mesh);
    parser.faceLines = faceLines;
    size_t start = 0;
    while (start < text.size()) {
        // A line ends at LF, CR LF or a lone CR; the end characters are not part of it.
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        ++parser.lineNumber;
        if (!parser.Line(text.substr(start, end - start))) {
            error = parser.error;
            return false;
        }
        bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
        start = end + (crlf ? 2 : 1);
    }
    if (!parser.CheckIndexes()) {
        error = parser.error;
        return false;
    }
    return true;
}

bool LoadObj(ObjMesh& mesh, const std::string& name, std::string& error,
             std::vector<ObjFaceLine>* faceLines) {
    std::string path = platform::ResolvePath("data\\" + name);
    std::string text;
    if (!core::ReadWholeFile(path, text, &error)) return false;
    return ParseObj(text, platform::DisplayPath(path), mesh, error, faceLines);
}

void SetMeshTextureTable(TextureNameTable table) { g_state.textureTable = table; }

void DrawObjGroup(const ObjMesh& mesh, int32_t textureBase, int32_t group, float scale) {
    if (group < 0 || size_t(group) >= mesh.groups.size()) return;
    const ModelGroup& g = mesh.groups[size_t(group)];
    int64_t slot = int64_t(textureBase) + g.material;
    std::span<const uint32_t> names =
        g_state.textureTable ? g_state.textureTable() : std::span<const uint32_t>();
    if (slot >= 0 && uint64_t(slot) < names.size())
        gl::glBindTexture(gl::GL_TEXTURE_2D, names[size_t(slot)]);
    gl::glBegin(gl::GL_TRIANGLES);
    for (const ObjCorner& c : g.corners) {
        // A loaded mesh never fails this; a mesh put together by other means cannot make the
        // drawing read outside its lists.
        if (uint32_t(c.position) >= mesh.positions.size() ||
            uint32_t(c.normal) >= mesh.normals.size() ||
            uint32_t(c.texCoord) >= mesh.texCoords.size())
            continue;
        const Vec3& n = mesh.normals[size_t(c.normal)];
        const Vec2& t = mesh.texCoords[size_t(c.texCoord)];
        const Vec3& p = mesh.positions[size_t(c.position)];
        gl::glNormal3f(n.x, n.y, n.z);
        gl::glTexCoord2f(t.u, t.v);
        gl::glVertex3f(p.x * scale, p.y * scale, p.z * scale);
    }
    gl::glEnd();
}

void DrawObjAll(const ObjMesh& mesh, int32_t textureBase, float scale) {
    for (size_t g = 0; g < mesh.groups.size(); ++g)
        DrawObjGroup(mesh, textureBase, int32_t(g), scale);
}

void DrawObjMaterial(const ObjMesh& mesh, int32_t textureBase, int32_t material, float scale) {
    for (size_t g = 0; g < mesh.groups.size(); ++g)
        if (mesh.groups[g].material == material) DrawObjGroup(mesh, textureBase, int32_t(g), scale);
}

}  // namespace models
