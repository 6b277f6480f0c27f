// qv obj FILE.obj -o data/NAME.obj [--materials a,b,c]
// Converts an OBJ file as modelling tools write it into the strict form the player's loader
// reads (tools/objconvert/obj_convert.h), and prints the material and group numbers a script
// uses to draw it.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/objconvert/obj_convert.h"
#include "tools/qv/cli.h"
#include "tools/qv/qv_commands.h"

namespace tools {

extern const char kObjHelp[] =
    "usage: qv obj FILE.obj -o OUT.obj [--materials a,b,c]\n"
    "Converts an OBJ file as modelling tools write it (Blender and others) into the form the\n"
    "player reads: faces triangulated, every corner with position, texture coordinate and\n"
    "normal, materials numbered, one group per object (\"o\") or group (\"g\") line.\n"
    "  -o OUT.obj         the converted file, for the demo's data/ folder ('-': standard output)\n"
    "  --materials a,b,c  number the materials as listed: a is usemtl 1 (material 0), b is 2,\n"
    "                     ... (default: in the order of first use)\n"
    "Prints the material and group numbers for MESH_MATERIAL and MESH_GROUP.\n"
    "Exit status: 0 done, 1 errors, 2 wrong arguments.\n";

namespace {

struct ObjArgs {
    std::string input, output;
    ObjConvertOptions options;
};

std::vector<std::string> SplitCommas(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(',', start);
        names.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos) return names;
        start = comma + 1;
    }
}

bool ParseArgs(int argc, char** argv, ObjArgs& a) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc) a.output = argv[++i];
        else if (arg == "--materials" && i + 1 < argc) a.options.materials = SplitCommas(argv[++i]);
        else if (a.input.empty() && !arg.starts_with("-")) a.input = arg;
        else {
            Complain("obj", "unexpected argument '" + arg + "'");
            return false;
        }
    }
    if (a.input.empty() || a.output.empty()) {
        Complain("obj", a.input.empty() ? "no OBJ file given" : "no output given (-o OUT.obj)");
        return false;
    }
    for (const std::string& name : a.options.materials)
        if (name.empty()) {
            Complain("obj", "--materials has an empty name");
            return false;
        }
    return true;
}

// What a script needs to draw the model: material and group numbers.
void PrintNumbers(FILE* to, const std::string& output, const ObjConversion& c) {
    size_t triangles = 0;
    for (const models::ModelGroup& g : c.mesh.groups) triangles += g.corners.size() / 3;
    std::fprintf(to, "%s: %zu triangles in %zu groups\n", output.c_str(), triangles,
                 c.mesh.groups.size());
    for (size_t m = 0; m < c.materials.size(); ++m)
        if (!c.materials[m].empty())
            std::fprintf(to, "material %zu (usemtl %zu): %s\n", m, m + 1, c.materials[m].c_str());
    for (size_t g = 0; g < c.mesh.groups.size(); ++g)
        std::fprintf(to, "group %zu:%s (material %d)\n", g, c.mesh.groups[g].name.c_str(),
                     c.mesh.groups[g].material);
}

}  // namespace

int RunObj(int argc, char** argv) {
    ObjArgs args;
    if (!ParseArgs(argc, argv, args)) {
        std::fputs(kObjHelp, stderr);
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    if (!ReadInput("obj", args.input, bytes)) return kExitErrors;
    ObjConversion converted;
    std::string error;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!ConvertObj(text, args.input, args.options, converted, error))
        return Complain("obj", error);
    for (const std::string& note : converted.notes)
        std::fprintf(stderr, "qv obj: %s\n", note.c_str());
    if (!WriteOutput("obj", args.output, converted.text)) return kExitErrors;
    PrintNumbers(args.output == "-" ? stderr : stdout, args.output, converted);
    return kExitOk;
}

}  // namespace tools
