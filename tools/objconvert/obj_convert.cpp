#include "tools/objconvert/obj_convert.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>

#include "core/quote.h"

namespace tools {
namespace {

using models::Vec2;
using models::Vec3;

constexpr int32_t kAbsent = -1;                   // a corner without texture coordinate or normal
constexpr size_t kMostClippedCorners = 64;        // larger polygons are fanned (clipping is cubic)
constexpr int32_t kMostNumberedMaterial = 65536;  // a larger "usemtl N" is taken as a name

struct SourceCorner {
    int32_t position = 0, texCoord = kAbsent, normal = kAbsent;  // 0-based
};

struct SourceFace {
    std::vector<SourceCorner> corners;
    size_t line = 0;
};

struct SourceGroup {
    std::string name;
    std::string material;  // "" when no "usemtl" came before
    size_t materialLine = 0;
    std::vector<SourceFace> faces;
};

// The file as read: lists, groups with their faces, and the lines kept as they are.
struct SourceObj {
    std::vector<Vec3> positions, normals;
    std::vector<Vec2> texCoords;
    std::vector<SourceGroup> groups;
    std::vector<std::string> libraries;  // "mtllib" lines
};

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\v\f", at);
        if (at == std::string_view::npos) return fields;
        const size_t end = std::min(line.find_first_of(" \t\v\f", at), line.size());
        fields.push_back(line.substr(at, end - at));
        at = end;
    }
}

// The fields after the keyword joined by single blanks: a name ("o", "g", "usemtl").
std::string RestOf(const std::vector<std::string_view>& fields) {
    std::string rest;
    for (size_t i = 1; i < fields.size(); ++i) rest += (i > 1 ? " " : "") + std::string(fields[i]);
    return rest;
}

struct Reader {
    const std::string& fileName;
    SourceObj obj;
    size_t lineNumber = 0;
    std::string error;
    std::string material;  // the current "usemtl" name
    size_t materialLine = 0;
    std::vector<std::string> notes;
    std::map<std::string, bool> noted;  // keywords already noted as left out

    explicit Reader(const std::string& file) : fileName(file) {}

    bool Fail(const std::string& problem) {
        error = fileName + ", line " + std::to_string(lineNumber) + ": " + problem;
        return false;
    }
    void Note(const std::string& text) {
        notes.push_back(fileName + ", line " + std::to_string(lineNumber) + ": " + text);
    }

    bool Number(std::string_view field, float& out) {
        std::string_view digits = field;
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        double value = 0;
        auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
            return Fail(core::QuoteToken(field) + " is not a number");
        if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max())
            return Fail(core::QuoteToken(field) + " is not a finite number the player can read");
        out = float(value);
        return true;
    }

    // count numbers after the keyword; at least `required` of them, the rest 0, extras ignored.
    template <size_t N>
    bool Numbers(const std::vector<std::string_view>& fields, size_t required,
                 std::array<float, N>& out) {
        if (fields.size() - 1 < required)
            return Fail("\"" + std::string(fields[0]) + "\" needs " + std::to_string(required) +
                        " numbers, " + std::to_string(fields.size() - 1) + " given");
        out.fill(0);
        for (size_t i = 0; i < N && i + 1 < fields.size(); ++i)
            if (!Number(fields[i + 1], out[i])) return false;
        return true;
    }

    // A 1-based index, or a negative one counting back from the entries read so far.
    bool Index(std::string_view field, size_t count, const char* what, int32_t& out) {
        int64_t value = 0;
        auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (field.empty() || ec != std::errc() || end != field.data() + field.size())
            return Fail(std::string(what) + " " + core::QuoteToken(field) + " is not an integer");
        if (value == 0) return Fail(std::string(what) + " 0: indexes count from 1");
        const int64_t resolved = value > 0 ? value - 1 : int64_t(count) + value;
        if (resolved < 0)
            return Fail(std::string(what) + " " + std::to_string(value) + " reaches before the " +
                        "first entry (" + std::to_string(count) + " read so far)");
        if (resolved >= std::numeric_limits<int32_t>::max())
            return Fail(std::string(what) + " " + std::to_string(value) + " is too large");
        out = int32_t(resolved);
        return true;
    }

    // "p", "p/t", "p//n" or "p/t/n".
    bool Corner(std::string_view field, SourceCorner& c) {
        const size_t slash1 = field.find('/');
        const size_t slash2 = slash1 == field.npos ? field.npos : field.find('/', slash1 + 1);
        if (slash2 != field.npos && field.find('/', slash2 + 1) != field.npos)
            return Fail("face corner " + core::QuoteToken(field) + " has more than three parts");
        if (!Index(field.substr(0, slash1), obj.positions.size(), "position index", c.position))
            return false;
        if (slash1 == field.npos) return true;
        const std::string_view t = field.substr(slash1 + 1, slash2 - slash1 - 1);
        if (!t.empty() && !Index(t, obj.texCoords.size(), "texture-coordinate index", c.texCoord))
            return false;
        if (slash2 == field.npos) return true;
        return Index(field.substr(slash2 + 1), obj.normals.size(), "normal index", c.normal);
    }

    SourceGroup& CurrentGroup() {
        if (obj.groups.empty()) StartGroup("default");
        return obj.groups.back();
    }
    void StartGroup(std::string name) {
        obj.groups.push_back({std::move(name), material, materialLine, {}});
    }

    bool Face(const std::vector<std::string_view>& fields) {
        SourceFace face{{}, lineNumber};
        for (size_t i = 1; i < fields.size(); ++i) {
            SourceCorner c;
            if (!Corner(fields[i], c)) return false;
            face.corners.push_back(c);
        }
        if (face.corners.size() < 3) {
            Note("a face of " + std::to_string(face.corners.size()) +
                 " corners (not a polygon) is left out");
            return true;
        }
        CurrentGroup().faces.push_back(std::move(face));
        return true;
    }

    // A material change inside a group's faces starts a group of the same name: the player
    // gives each group one material.
    void UseMaterial(std::string name) {
        material = std::move(name);
        materialLine = lineNumber;
        if (obj.groups.empty()) return;
        if (obj.groups.back().faces.empty()) {
            obj.groups.back().material = material;
            obj.groups.back().materialLine = materialLine;
        } else {
            StartGroup(obj.groups.back().name);
        }
    }

    bool Line(std::string_view line) {
        line = line.substr(0, line.find('#'));
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.empty()) return true;
        const std::string_view key = fields[0];
        if (key == "v" || key == "vn") {
            std::array<float, 3> v{};
            if (!Numbers(fields, 3, v)) return false;
            (key == "v" ? obj.positions : obj.normals).push_back({v[0], v[1], v[2]});
        } else if (key == "vt") {
            std::array<float, 2> v{};
            if (!Numbers(fields, 1, v)) return false;
            obj.texCoords.push_back({v[0], v[1]});
        } else if (key == "f" || key == "fo") {
            return Face(fields);
        } else if (key == "o" || key == "g") {
            const std::string name = RestOf(fields);
            StartGroup(name.empty() ? "group" + std::to_string(obj.groups.size()) : name);
        } else if (key == "usemtl") {
            UseMaterial(RestOf(fields));
        } else if (key == "mtllib") {
            obj.libraries.push_back(std::string(line.substr(line.find("mtllib"))));
        } else if ((key == "l" || key == "p" || key == "curv" || key == "surf") &&
                   !noted[std::string(key)]) {
            noted[std::string(key)] = true;
            Note("\"" + std::string(key) + "\" lines are not drawn by the player and are left out");
        }
        return true;  // smoothing groups ("s"), parameter-space vertices and the like
    }

    // Positive indexes may name entries of later lines: checked once the file is read.
    bool CheckIndexes() {
        for (const SourceGroup& g : obj.groups)
            for (const SourceFace& f : g.faces)
                for (const SourceCorner& c : f.corners) {
                    lineNumber = f.line;
                    if (size_t(c.position) >= obj.positions.size())
                        return Fail(OutOfRange("position", c.position, obj.positions.size()));
                    if (c.texCoord != kAbsent && size_t(c.texCoord) >= obj.texCoords.size())
                        return Fail(
                            OutOfRange("texture-coordinate", c.texCoord, obj.texCoords.size()));
                    if (c.normal != kAbsent && size_t(c.normal) >= obj.normals.size())
                        return Fail(OutOfRange("normal", c.normal, obj.normals.size()));
                }
        return true;
    }
    static std::string OutOfRange(const char* what, int32_t index, size_t count) {
        return std::string(what) + " index " + std::to_string(int64_t(index) + 1) +
               " is beyond the " + std::to_string(count) + " entries of the file";
    }
};

bool ReadSource(std::string_view text, Reader& reader) {
    std::string joined;  // a line ending in a backslash continues on the next
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        ++reader.lineNumber;
        std::string_view line = text.substr(start, end - start);
        const bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
        start = end + (crlf ? 2 : 1);
        if (!line.empty() && line.back() == '\\') {
            joined.append(line.substr(0, line.size() - 1)).push_back(' ');
            continue;
        }
        joined.append(line);
        if (!reader.Line(joined)) return false;
        joined.clear();
    }
    return (joined.empty() || reader.Line(joined)) && reader.CheckIndexes();
}

// --- geometry ----------------------------------------------------------------------------

Vec3 Minus(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(Vec3 a, Vec3 b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }

// Newell's normal of a polygon: its direction follows the winding, also for concave and
// slightly warped polygons.
Vec3 NewellNormal(const std::vector<Vec3>& p) {
    double x = 0, y = 0, z = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Vec3 a = p[i], b = p[(i + 1) % p.size()];
        x += (double(a.y) - b.y) * (double(a.z) + b.z);
        y += (double(a.z) - b.z) * (double(a.x) + b.x);
        z += (double(a.x) - b.x) * (double(a.y) + b.y);
    }
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length)) return {0, 0, 1};  // no area: any direction
    return {float(x / length), float(y / length), float(z / length)};
}

bool IsConvex(const std::vector<Vec3>& p, Vec3 normal) {
    for (size_t i = 0; i < p.size(); ++i) {
        const Vec3 a = p[i], b = p[(i + 1) % p.size()], c = p[(i + 2) % p.size()];
        if (Dot(Cross(Minus(b, a), Minus(c, b)), normal) < 0) return false;
    }
    return true;
}

using Triangle = std::array<size_t, 3>;

std::vector<Triangle> Fan(size_t corners) {
    std::vector<Triangle> out;
    for (size_t k = 1; k + 1 < corners; ++k) out.push_back({0, k, k + 1});
    return out;
}

// Ear clipping in the plane the polygon faces most: each ear is a convex corner whose
// triangle holds no other corner. Winding is kept.
std::vector<Triangle> ClipEars(const std::vector<Vec3>& p, Vec3 normal) {
    const int drop =
        std::fabs(normal.x) >= std::fabs(normal.y) && std::fabs(normal.x) >= std::fabs(normal.z) ? 0
        : std::fabs(normal.y) >= std::fabs(normal.z)                                             ? 1
                                                     : 2;
    const double facing = drop == 0 ? normal.x : drop == 1 ? normal.y : normal.z;
    auto uv = [&](size_t i) {
        const Vec3 v = p[i];
        return drop == 0   ? std::array<double, 2>{v.y, v.z}
               : drop == 1 ? std::array<double, 2>{v.z, v.x}
                           : std::array<double, 2>{v.x, v.y};
    };
    auto turn = [&](size_t a, size_t b, size_t c) {  // > 0: left turn seen from the normal
        const auto A = uv(a), B = uv(b), C = uv(c);
        const double z = (B[0] - A[0]) * (C[1] - A[1]) - (B[1] - A[1]) * (C[0] - A[0]);
        return facing < 0 ? -z : z;
    };
    std::vector<size_t> ring(p.size());
    for (size_t i = 0; i < ring.size(); ++i) ring[i] = i;
    std::vector<Triangle> out;
    while (ring.size() > 3) {
        const size_t m = ring.size();
        bool clipped = false;
        for (size_t k = 0; k < m && !clipped; ++k) {
            const size_t a = ring[(k + m - 1) % m], b = ring[k], c = ring[(k + 1) % m];
            if (turn(a, b, c) <= 0) continue;
            bool holdsCorner = false;
            for (size_t j : ring)
                if (j != a && j != b && j != c && turn(a, b, j) >= 0 && turn(b, c, j) >= 0 &&
                    turn(c, a, j) >= 0)
                    holdsCorner = true;
            if (holdsCorner) continue;
            out.push_back({a, b, c});
            ring.erase(ring.begin() + std::ptrdiff_t(k));
            clipped = true;
        }
        if (!clipped) {  // degenerate (self-touching or without area): fan the rest
            for (size_t k = 1; k + 1 < ring.size(); ++k)
                out.push_back({ring[0], ring[k], ring[k + 1]});
            return out;
        }
    }
    out.push_back({ring[0], ring[1], ring[2]});
    return out;
}

// --- the strict mesh -----------------------------------------------------------------------

// Material numbers: as listed, or all-numeric names kept ("usemtl 3" stays material 2), or in
// the order of first use. A face without a material gets 0.
bool NumberMaterials(const SourceObj& obj, const ObjConvertOptions& options,
                     const std::string& fileName, std::map<std::string, int32_t>& numbers,
                     std::vector<std::string>& names, std::string& error) {
    std::vector<std::string> used;
    bool allNumeric = true;
    for (const SourceGroup& g : obj.groups) {
        if (g.faces.empty() || g.material.empty() || numbers.count(g.material)) continue;
        numbers[g.material] = int32_t(used.size());
        used.push_back(g.material);
        int32_t n = 0;
        auto [end, ec] =
            std::from_chars(g.material.data(), g.material.data() + g.material.size(), n);
        allNumeric = allNumeric && ec == std::errc() &&
                     end == g.material.data() + g.material.size() && n >= 1 &&
                     n <= kMostNumberedMaterial;
    }
    names = used;
    if (!options.materials.empty()) {
        names = options.materials;
        for (const SourceGroup& g : obj.groups) {
            if (g.faces.empty() || g.material.empty()) continue;
            auto listed = std::find(names.begin(), names.end(), g.material);
            if (listed == names.end()) {
                error = fileName + ", line " + std::to_string(g.materialLine) + ": material " +
                        core::QuoteToken(g.material) + " is not among the --materials";
                return false;
            }
            numbers[g.material] = int32_t(listed - names.begin());
        }
    } else if (allNumeric && !used.empty()) {
        names.clear();
        for (const std::string& name : used) {
            const int32_t n = std::stoi(name);
            if (names.size() < size_t(n)) names.resize(size_t(n));
            names[size_t(n - 1)] = name;
            numbers[name] = n - 1;
        }
    }
    return true;
}

struct MeshBuilder {
    const SourceObj& obj;
    models::ObjMesh mesh;
    int32_t zeroTexCoord = kAbsent;
    std::map<std::array<float, 3>, int32_t> normalIndex;

    const std::string& fileName;
    std::vector<std::string>& notes;

    MeshBuilder(const SourceObj& source, const std::string& file, std::vector<std::string>& n)
        : obj(source), fileName(file), notes(n) {}

    int32_t ZeroTexCoord() {
        if (zeroTexCoord == kAbsent) {
            zeroTexCoord = int32_t(mesh.texCoords.size());
            mesh.texCoords.push_back({0, 0});
        }
        return zeroTexCoord;
    }
    int32_t FaceNormal(Vec3 n) {
        auto [it, added] = normalIndex.try_emplace({n.x, n.y, n.z}, int32_t(mesh.normals.size()));
        if (added) mesh.normals.push_back(n);
        return it->second;
    }

    std::vector<Triangle> Triangulate(size_t line, const std::vector<Vec3>& points, Vec3 normal) {
        if (points.size() == 3 || IsConvex(points, normal)) return Fan(points.size());
        if (points.size() <= kMostClippedCorners) return ClipEars(points, normal);
        notes.push_back(fileName + ", line " + std::to_string(line) + ": a concave polygon of " +
                        std::to_string(points.size()) + " corners is fanned (more than " +
                        std::to_string(kMostClippedCorners) +
                        " corners are not clipped), so it may cover more than its area");
        return Fan(points.size());
    }

    void Face(const SourceFace& face, models::ModelGroup& group) {
        std::vector<Vec3> points;
        for (const SourceCorner& c : face.corners)
            points.push_back(obj.positions[size_t(c.position)]);
        const Vec3 normal = NewellNormal(points);
        for (const Triangle& t : Triangulate(face.line, points, normal))
            for (size_t k : t) {
                const SourceCorner& c = face.corners[k];
                group.corners.push_back({c.position,
                                         c.texCoord != kAbsent ? c.texCoord : ZeroTexCoord(),
                                         c.normal != kAbsent ? c.normal : FaceNormal(normal)});
            }
    }
};

}  // namespace

bool ConvertObj(std::string_view text, const std::string& fileName,
                const ObjConvertOptions& options, ObjConversion& out, std::string& error) {
    Reader reader(fileName);
    if (!ReadSource(text, reader)) {
        error = reader.error;
        return false;
    }
    const SourceObj& obj = reader.obj;
    std::map<std::string, int32_t> numbers;
    if (!NumberMaterials(obj, options, fileName, numbers, out.materials, error)) return false;
    MeshBuilder b(obj, fileName, reader.notes);
    b.mesh.positions = obj.positions;
    b.mesh.texCoords = obj.texCoords;
    b.mesh.normals = obj.normals;
    size_t triangles = 0;
    for (const SourceGroup& g : obj.groups) {
        if (g.faces.empty()) continue;  // would only shift the numbers of the groups after it
        models::ModelGroup group;
        group.name = " " + g.name;
        group.material = g.material.empty() ? 0 : numbers[g.material];
        for (const SourceFace& f : g.faces) b.Face(f, group);
        triangles += group.corners.size() / 3;
        b.mesh.groups.push_back(std::move(group));
    }
    std::string header = "# qv obj: " + fileName + ", " + std::to_string(triangles) +
                         " triangles in " + std::to_string(b.mesh.groups.size()) + " groups\n";
    for (const std::string& library : obj.libraries) header += library + "\n";
    out.text = StrictObjText(b.mesh, header);
    out.mesh = std::move(b.mesh);
    out.notes = std::move(reader.notes);
    return true;
}

std::string ObjNumber(float value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.9g", double(value));
    return buf;
}

std::string ObjCornerText(int64_t position, int64_t texCoord, int64_t normal) {
    return std::to_string(position + 1) + "/" + std::to_string(texCoord + 1) + "/" +
           std::to_string(normal + 1);
}

std::string StrictObjText(const models::ObjMesh& mesh, std::string_view header) {
    std::string out(header);
    for (const auto& p : mesh.positions)
        out += "v " + ObjNumber(p.x) + " " + ObjNumber(p.y) + " " + ObjNumber(p.z) + "\n";
    for (const auto& t : mesh.texCoords)
        out += "vt " + ObjNumber(t.u) + " " + ObjNumber(t.v) + "\n";
    for (const auto& n : mesh.normals)
        out += "vn " + ObjNumber(n.x) + " " + ObjNumber(n.y) + " " + ObjNumber(n.z) + "\n";
    for (size_t g = 0; g < mesh.groups.size(); ++g) {
        const models::ModelGroup& group = mesh.groups[g];
        const bool named =
            group.name.size() > 1 && group.name.find_first_not_of(' ') != std::string::npos;
        out += named ? "g" + group.name + "\n" : "g group" + std::to_string(g) + "\n";
        out += "usemtl " + std::to_string(int64_t(group.material) + 1) + "\n";
        for (size_t first = 0; first + 3 <= group.corners.size(); first += 3) {
            out += "f";
            for (size_t k = first; k < first + 3; ++k) {
                const models::ObjCorner& c = group.corners[k];
                out += " " + ObjCornerText(c.position, c.texCoord, c.normal);
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace tools
