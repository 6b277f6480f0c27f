// qv model (--program PROG.bin | DEMO.acs|SOURCE.qvs --index N) [--obj OUT.obj]
//
// Builds one model as the player would and prints its record: "primitive P count N", then per
// vertex "nx ny nz x y z u v" (each %.9g). An OBJ model prints its mesh instead: the counts,
// then one line per group. --obj also writes the model as a Wavefront OBJ file.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/file_io.h"
#include "demo/demo_file.h"
#include "models/mdlmanager.h"
#include "models/objgen.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "tools/objconvert/obj_convert.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"

namespace tools {

extern const char kModelHelp[] =
    "usage: qv model (--program PROG.bin | DEMO.acs|SOURCE.qvs --index N) [--obj OUT.obj]\n"
    "Builds one model as the player builds it and prints its counts and bounds.\n"
    "  --program PROG.bin  an object program (a model source without its marker 0)\n"
    "  DEMO.acs --index N  model N of a demo file or source (program, OBJ or vertex file)\n"
    "  --obj OUT.obj       also write it as an OBJ file ('-': only that, to standard output)\n"
    "Exit status: 0 done, 1 errors, 2 wrong arguments.\n";
namespace {

using models::ModelRecord;
using models::ObjMesh;

struct ModelArgs {
    std::string program;  // --program PROG.bin
    std::string demo;     // DEMO.acs
    long index = -1;      // --index N
    std::string obj;      // --obj OUT.obj
};

// Returns an error text, or "" when the arguments are complete.
std::string ParseArgs(int argc, char** argv, ModelArgs& a) {
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        const bool takesValue = arg == "--program" || arg == "--index" || arg == "--obj";
        if (takesValue && i + 1 == argc) return arg + " needs a value";
        if (arg == "--program") {
            a.program = argv[++i];
        } else if (arg == "--index") {
            char* end = nullptr;
            a.index = std::strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || a.index < 0)
                return "--index needs a model number, 0 or more";
        } else if (arg == "--obj") {
            a.obj = argv[++i];
        } else if (arg.starts_with("--") || !a.demo.empty()) {
            return Unexpected(arg);
        } else {
            a.demo = arg;
        }
    }
    bool fromProgram = !a.program.empty() && a.demo.empty() && a.index < 0;
    bool fromDemo = a.program.empty() && !a.demo.empty() && a.index >= 0;
    return fromProgram || fromDemo ? "" : "give either --program PROG.bin or DEMO --index N";
}

void MessageToStderr(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void PrintVertexList(const ModelRecord& m) {
    std::printf("primitive %d count %zu\n", m.primitive, m.vertices.size());
    for (const models::ModelVertex& v : m.vertices)
        std::printf("%s %s %s %s %s %s %s %s\n", ObjNumber(v.nx).c_str(), ObjNumber(v.ny).c_str(),
                    ObjNumber(v.nz).c_str(), ObjNumber(v.x).c_str(), ObjNumber(v.y).c_str(),
                    ObjNumber(v.z).c_str(), ObjNumber(v.u).c_str(), ObjNumber(v.v).c_str());
}

void PrintMesh(const ObjMesh& mesh) {
    std::printf("obj positions %zu normals %zu texcoords %zu groups %zu\n", mesh.positions.size(),
                mesh.normals.size(), mesh.texCoords.size(), mesh.groups.size());
    for (size_t g = 0; g < mesh.groups.size(); ++g) {
        const models::ModelGroup& group = mesh.groups[g];
        std::printf("group %zu material %d corners %zu name '%s'\n", g, group.material,
                    group.corners.size(), group.name.c_str());
    }
}

// The vertex list as OBJ: one v, vt and vn per vertex, and triangles: the player's OBJ loader
// draws every three corners as one, so a quad becomes two (a b c, a c d).
std::string VertexListAsObj(const ModelRecord& m) {
    std::string out = "# qv model: primitive " + std::to_string(m.primitive) + ", " +
                      std::to_string(m.vertices.size()) + " vertices\n";
    for (const auto& v : m.vertices)
        out += "v " + ObjNumber(v.x) + " " + ObjNumber(v.y) + " " + ObjNumber(v.z) + "\n";
    for (const auto& v : m.vertices) out += "vt " + ObjNumber(v.u) + " " + ObjNumber(v.v) + "\n";
    for (const auto& v : m.vertices)
        out += "vn " + ObjNumber(v.nx) + " " + ObjNumber(v.ny) + " " + ObjNumber(v.nz) + "\n";
    size_t corners = m.primitive == models::kPrimitiveQuads       ? 4
                     : m.primitive == models::kPrimitiveTriangles ? 3
                                                                  : 0;
    if (corners == 0) return out;
    out += "g model\n";
    auto triangle = [&out](size_t a, size_t b, size_t c) {
        out += "f";
        for (size_t k : {a, b, c}) out += " " + ObjCornerText(int64_t(k), int64_t(k), int64_t(k));
        out += "\n";
    };
    for (size_t first = 0; first + corners <= m.vertices.size(); first += corners) {
        triangle(first, first + 1, first + 2);
        if (corners == 4) triangle(first, first + 2, first + 3);
    }
    return out;
}

// The mesh as OBJ, readable again by the player's loader.
std::string MeshAsObj(const ObjMesh& mesh) { return StrictObjText(mesh, "# qv model: OBJ mesh\n"); }

// The model source: the program file (with the leading 0 the demo file stores added), or the
// demo file's source N. Sets the content root to the demo's folder for OBJ and vertex files.
bool ModelSource(const ModelArgs& a, std::string& source) {
    std::vector<uint8_t> bytes;
    const std::string& path = a.program.empty() ? a.demo : a.program;
    if (!(a.program.empty() ? ReadDemoInput("model", path, bytes)
                            : ReadInput("model", path, bytes)))
        return false;
    if (!a.program.empty()) {
        source.assign(1, char(demo::kModelProgram));
        source.append(bytes.begin(), bytes.end());
        return true;
    }
    demo::DemoFile demo;
    demo::DemoResult r = demo::ParseDemoFile(bytes, a.demo, demo);
    if (!r.Ok()) {
        std::fprintf(stderr, "qv model: %s\n",
                     r.message.empty() ? (a.demo + ": not a demo file (wrong magic)").c_str()
                                       : r.message.c_str());
        return false;
    }
    if (size_t(a.index) >= demo.modelSources.size()) {
        std::fprintf(stderr, "qv model: %s has no model %ld (it has %zu)\n", a.demo.c_str(),
                     a.index, demo.modelSources.size());
        return false;
    }
    platform::SetContentRootBeside(a.demo);
    source = demo.modelSources[size_t(a.index)].bytes;
    return true;
}

}  // namespace

int RunModel(int argc, char** argv) {
    ModelArgs a;
    if (const std::string error = ParseArgs(argc, argv, a); !error.empty())
        return UsageError("model", error, kModelHelp);
    platform::SetMessageSink(MessageToStderr);
    std::string source;
    if (!ModelSource(a, source)) return 1;
    ModelRecord record;
    std::string error;
    if (!models::LoadModel(source, record, error)) {
        std::fprintf(stderr, "qv model: %s\n", error.c_str());
        return 1;
    }
    bool isObj = !source.empty() && uint8_t(source[0]) == demo::kModelObj;
    if (a.obj == "-")  // the OBJ text is then the one stream on stdout
        return WriteOutput("model", "-", isObj ? MeshAsObj(record.mesh) : VertexListAsObj(record))
                   ? kExitOk
                   : kExitErrors;
    if (isObj) PrintMesh(record.mesh);
    else PrintVertexList(record);
    if (!a.obj.empty() &&
        !WriteOutput("model", a.obj, isObj ? MeshAsObj(record.mesh) : VertexListAsObj(record)))
        return kExitErrors;
    return kExitOk;
}

}  // namespace tools
