// The effect opcodes: textures, render-target and blur passes, sprite-field registers,
// drawing effects and meshes. Each pops exactly its operands (integers first, then floats,
// top of stack first) through the checked stack operations, so a missing operand gives the
// stack error even where the effect would draw nothing; only then is the effect called.
#include "demo/opcodes.h"
#include "gl/gl_layer.h"
#include "models/mdlmanager.h"
#include "models/objloader.h"
#include "scripter/effects.h"
#include "scripter/machine.h"
#include "scripter/passes.h"
#include "textures/texmanager.h"

namespace scripter::detail {

using namespace demo;  // the opcode table
namespace {

constexpr std::array<bool, 256> BuildEffectSet() {
    std::array<bool, 256> set{};
    auto range = [&set](int first, int last) {
        for (int op = first; op <= last; ++op) set[size_t(op)] = true;
    };
    range(TUNNEL, TUNNEL);
    range(BINDTEX, BLUR_DRAW);       // 38 .. 44
    range(P_COUNT, P_SPEEDZ);        // 55 .. 72
    range(MESH_ALL, MESH_MATERIAL);  // 74 .. 76
    range(RECT, CONE);               // 91 .. 96
    range(RAYS, RAYS);
    range(PATH, PATHPART);  // 150, 151
    return set;
}

constexpr std::array<bool, 256> kEffectOpcodes = BuildEffectSet();

// The operands of one instruction in the order the script pushed them: i[0] was pushed
// first, the last one was on top and popped first.
struct Operands {
    std::array<int32_t, 4> i{};
    std::array<float, 4> f{};
};

Operands PopOperands(const OpcodeInfo& info) {
    Operands o;
    for (int k = info.popInts - 1; k >= 0; --k) o.i[size_t(k)] = PopInt();
    for (int k = info.popFloats - 1; k >= 0; --k) o.f[size_t(k)] = PopFloat();
    return o;
}

// The sprite-field register an opcode from 55 to 72 sets (69 draws and sets none).
void SetParticleRegister(uint8_t op, const Operands& o) {
    effects::ParticleRegisters& p = effects::Particles();
    const int32_t v = o.i[0];
    const float x = o.f[0];
    switch (op) {
        case P_COUNT: p.count = v; break;
        case P_SEED: p.seed = v; break;
        case P_RANGE: p.range = v; break;
        case P_OFFX: p.offsetX = x; break;
        case P_OFFY: p.offsetY = x; break;
        case P_OFFZ: p.offsetZ = x; break;
        case P_SCALEX: p.scaleX = x; break;
        case P_SCALEY: p.scaleY = x; break;
        case P_SCALEZ: p.scaleZ = x; break;
        case P_RED: p.red = x; break;
        case P_GREEN: p.green = x; break;
        case P_BLUE: p.blue = x; break;
        case P_HALFW: p.halfWidth = x; break;
        case P_HALFH: p.halfHeight = x; break;
        case P_SPEEDX: p.speedX = v; break;
        case P_SPEEDY: p.speedY = v; break;
        case P_SPEEDZ: p.speedZ = v; break;
        default: break;
    }
}

void DrawModel(int32_t index) {
    const models::ModelRecord* record = models::ModelAt(index);
    if (!record) return;
    effects::DrawVertexList(
        record->primitive, int32_t(record->vertices.size()),
        std::span<const float>(reinterpret_cast<const float*>(record->vertices.data()),
                               record->vertices.size() * 8));
}

// The mesh opcodes: texBase, [group or material,] model; scale. A model index outside the
// table draws nothing.
void DrawMesh(uint8_t op, const Operands& o) {
    const int32_t model = op == MESH_ALL ? o.i[1] : o.i[2];
    const models::ModelRecord* record = models::ModelAt(model);
    if (!record) return;
    const float scale = o.f[0];
    if (op == MESH_ALL) models::DrawObjAll(record->mesh, o.i[0], scale);
    if (op == MESH_GROUP) models::DrawObjGroup(record->mesh, o.i[0], o.i[1], scale);
    if (op == MESH_MATERIAL) models::DrawObjMaterial(record->mesh, o.i[0], o.i[1], scale);
}

// A path index beyond the table draws nothing.
void DrawPathAt(int32_t index, float amount) {
    const std::vector<std::string>& paths = Machine().pathStrings;
    if (index < 0 || size_t(index) >= paths.size()) return;
    effects::DrawPath(paths[size_t(index)], amount);
}

// A texture index outside the table copies nothing; the pass still ends.
void EndTargetPassAt(int32_t index) {
    const bool inTable = index >= 0 && index < textures::TextureCount();
    passes::EndTargetPass(Machine().targetPassDepth, inTable, textures::TextureNameAt(index));
}

}  // namespace

bool IsEffectOpcode(uint8_t op) { return kEffectOpcodes[op]; }

void RunEffectOpcode(uint8_t op, const InvocationArgs& args) {
    const Operands o = PopOperands(kOpcodes[op]);
    if (Machine().fatal) return;
    const auto& i = o.i;
    const auto& f = o.f;
    switch (op) {
        case TUNNEL: effects::DrawTunnel(i[0], f[0], f[1], f[2], f[3]); break;
        case BINDTEX: gl::glBindTexture(gl::GL_TEXTURE_2D, textures::TextureNameAt(i[0])); break;
        case TARGET_BEGIN: passes::BeginTargetPass(Machine().targetPassDepth); break;
        case TARGET_END: EndTargetPassAt(i[0]); break;
        case MODEL: DrawModel(i[0]); break;
        case BLUR_BEGIN: passes::BeginBlurPass(); break;
        case BLUR_END: passes::EndBlurPass(Machine().targetPassDepth); break;
        case BLUR_DRAW: passes::DrawBlurOverlay(); break;
        case PARTICLES: effects::DrawParticles(effects::Particles(), args.time); break;
        case MESH_ALL:
        case MESH_GROUP:
        case MESH_MATERIAL: DrawMesh(op, o); break;
        case RECT: effects::DrawRect(f[3], f[0], f[1], f[2]); break;  // pushed y0 x1 y1 x0
        case BOX: effects::DrawBox(f[2], f[1], f[0]); break;          // pushed hz hy hx
        case RING: effects::DrawRing(i[0], f[1], f[0]); break;        // pushed rb ra
        case SPHERE: effects::DrawSphere(i[0], f[0]); break;
        case DISC: effects::DrawDisc(i[0], f[0]); break;
        case CONE: effects::DrawCone(i[0], f[0], f[1]); break;  // pushed h r
        case RAYS: effects::DrawRays(i[0], f[1], f[0]); break;  // pushed k r
        case PATH: DrawPathAt(i[0], 1.0f); break;
        case PATHPART: DrawPathAt(i[0], f[0]); break;
        default: SetParticleRegister(op, o); break;
    }
}

}  // namespace scripter::detail
