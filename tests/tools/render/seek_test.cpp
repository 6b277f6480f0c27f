// Exact seeking: the frames a run must draw, the skipper's record of texture use, and random
// demos rendered by seeking and by full replay, which must give the same bytes.
#include "tools/render/seek.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/demo_loader.h"
#include "app/engine.h"
#include "demo/tex_program.h"
#include "demo/texture_ops.h"
#include "platform/headless.h"
#include "scripter/passes.h"
#include "tests/support/run_qv.h"
#include "tests/support/script_builder.h"
#include "tools/workbench/reload_scope.h"
#include "tools/workbench/workbench.h"

using namespace testing_scripts;
using gl::FrameUse;
using tools::LoopFrame;

namespace {

std::vector<int32_t> TimesOf(const std::vector<LoopFrame>& frames) {
    std::vector<int32_t> times;
    times.reserve(frames.size());
    for (const LoopFrame& f : frames) times.push_back(f.time * (f.wanted ? -1 : 1));
    return times;
}

FrameUse Use(std::vector<FrameUse::Event> events, bool startsInBlock = false) {
    FrameUse use;
    use.events = std::move(events);
    use.startsInBlock = startsInBlock;
    return use;
}
constexpr FrameUse::Kind kS = FrameUse::Sample, kW = FrameUse::Write;

std::vector<bool> Draw(const std::vector<FrameUse>& uses, const std::vector<bool>& wanted) {
    std::vector<LoopFrame> frames;
    frames.reserve(wanted.size());
    for (bool w : wanted) frames.push_back({0, w});
    return tools::FramesToDraw(uses, frames);
}

}  // namespace

// Loop frame k at k * 1000 / fps; a wanted time replaces the loop frame at the same time and
// is added between loop frames otherwise (wanted times are shown negated).
TEST(Seek, LoopFramesFollowThePlayersLoop) {
    EXPECT_EQ(TimesOf(tools::LoopFrames(std::vector<int32_t>{0}, 60)), (std::vector<int32_t>{0}));
    EXPECT_EQ(TimesOf(tools::LoopFrames(std::vector<int32_t>{50}, 60)),
              (std::vector<int32_t>{0, 16, 33, -50}));
    EXPECT_EQ(TimesOf(tools::LoopFrames(std::vector<int32_t>{40, 70}, 60)),
              (std::vector<int32_t>{0, 16, 33, -40, 50, 66, -70}));
}

// A drawn frame needs the last earlier copy into each texture it samples, and that frame's
// own samples in turn; a copy a frame makes before sampling serves itself.
TEST(Seek, FramesToDrawFollowTextureCopiesBackwards) {
    // 0 and 1 copy into 5, 2 samples it: only the last copy matters.
    EXPECT_EQ(Draw({Use({{kW, 5}}), Use({{kW, 5}}), Use({{kS, 5}})}, {false, false, true}),
              (std::vector<bool>{false, true, true}));
    // Sampling after its own copy needs no earlier frame; sampling before it does.
    EXPECT_EQ(Draw({Use({{kW, 5}}), Use({{kW, 5}, {kS, 5}})}, {false, true}),
              (std::vector<bool>{false, true}));
    EXPECT_EQ(Draw({Use({{kW, 5}}), Use({{kS, 5}, {kW, 5}})}, {false, true}),
              (std::vector<bool>{true, true}));
    // A chain: 3 samples 6, which 2 copied while sampling 5, which 1 copied.
    EXPECT_EQ(Draw({Use({{kW, 5}}), Use({{kW, 5}}), Use({{kS, 5}, {kW, 6}}), Use({{kS, 6}})},
                   {false, false, false, true}),
              (std::vector<bool>{false, true, true, true}));
    // Copies into textures nobody samples later, and frames after the last wanted one, are
    // not drawn.
    EXPECT_EQ(Draw({Use({{kW, 7}}), Use({{kS, 5}}), Use({{kW, 5}})}, {false, true, false}),
              (std::vector<bool>{false, true, false}));
}

// A frame that starts inside an open block continues the previous frame's primitive and
// keeps its pixels: the previous frame is drawn too, and so on back.
TEST(Seek, AFrameStartingInsideABlockNeedsTheFrameBefore) {
    EXPECT_EQ(Draw({Use({}), Use({}, true), Use({}, true)}, {false, false, true}),
              (std::vector<bool>{true, true, true}));
    EXPECT_EQ(Draw({Use({}), Use({}), Use({}, true)}, {false, false, true}),
              (std::vector<bool>{false, true, true}));
}

namespace {

// A headless context behind the skipper, skipping and recording texture use (a seek's first
// pass); false when there is no headless OpenGL.
bool SkipAndRecord(std::string& error) {
    if (!platform::OpenHeadlessContext(16, 16, error)) return false;
    gl::UseSkipper();
    gl::RecordFrameUse(true);
    gl::SetSkipping(true);
    return true;
}

void EndSkipping() {
    gl::UseRecorder(nullptr);
    platform::CloseHeadlessContext();
}

}  // namespace

// The skipper follows the driver's rules for blocks: an invalid mode or a nested glBegin
// opens none, a bind inside a block is refused, a copy inside a block writes nothing.
TEST(Seek, TheSkipperRecordsTextureUseByTheDriversRules) {
    std::string error;
    if (!SkipAndRecord(error)) GTEST_SKIP() << error;
    gl::glBindTexture(gl::GL_TEXTURE_2D, 7);
    gl::glBegin(gl::GL_QUADS);
    gl::glBindTexture(gl::GL_TEXTURE_2D, 8);  // refused: 7 stays bound
    gl::glBegin(gl::GL_QUADS);                // refused: no second sample
    gl::glCopyTexImage2D(gl::GL_TEXTURE_2D, 0, gl::GL_RGB, 0, 0, 8, 8, 0);  // refused
    gl::glEnd();
    gl::glBegin(99);  // not a primitive: no block
    gl::glCopyTexImage2D(gl::GL_TEXTURE_2D, 0, gl::GL_RGB, 0, 0, 8, 8, 0);
    gl::glDeleteTexture(7);
    gl::glBegin(gl::GL_LINES);  // left open
    FrameUse first = gl::TakeFrameUse();
    ASSERT_EQ(first.events.size(), 3u);
    EXPECT_EQ(first.events[0].kind, kS);
    EXPECT_EQ(first.events[0].texture, 7u);
    EXPECT_EQ(first.events[1].kind, kW);
    EXPECT_EQ(first.events[1].texture, 7u);
    EXPECT_EQ(first.events[2].texture, 0u) << "deleting the bound texture binds 0";
    EXPECT_FALSE(first.startsInBlock);
    EXPECT_TRUE(first.endsInBlock);
    gl::glEnd();
    FrameUse second = gl::TakeFrameUse();
    EXPECT_TRUE(second.startsInBlock);
    EXPECT_FALSE(second.endsInBlock);
    EndSkipping();
}

// A frame's record holds what the dependency walk needs: a texture sampled again before the
// next copy adds nothing and is kept once; after a copy it counts again.
TEST(Seek, TheSkipperKeepsOneSamplePerTextureBetweenCopies) {
    std::string error;
    if (!SkipAndRecord(error)) GTEST_SKIP() << error;
    auto block = [](uint32_t texture) {
        gl::glBindTexture(gl::GL_TEXTURE_2D, texture);
        gl::glBegin(gl::GL_QUADS);
        gl::glEnd();
    };
    block(7), block(3), block(7), block(7);
    gl::glCopyTexImage2D(gl::GL_TEXTURE_2D, 0, gl::GL_RGB, 0, 0, 8, 8, 0);
    block(7), block(7);
    const FrameUse use = gl::TakeFrameUse();
    std::vector<std::pair<FrameUse::Kind, uint32_t>> events;
    for (const FrameUse::Event& e : use.events) events.emplace_back(e.kind, e.texture);
    EXPECT_EQ(events, (std::vector<std::pair<FrameUse::Kind, uint32_t>>{
                          {kS, 7}, {kS, 3}, {kW, 7}, {kS, 7}}));
    EndSkipping();
}

// Unless a seek asks for it, the skipper keeps no record, however long the run: a drawn export
// of ten minutes once held hundreds of megabytes of it.
TEST(Seek, TheSkipperKeepsNoRecordUnlessAsked) {
    std::string error;
    if (!platform::OpenHeadlessContext(16, 16, error)) GTEST_SKIP() << error;
    gl::UseSkipper();
    for (int frame = 0; frame < 3; ++frame) {
        gl::SetSkipping(frame % 2 == 1);
        for (uint32_t i = 0; i < 1000; ++i) {
            gl::glBindTexture(gl::GL_TEXTURE_2D, 0);
            gl::glBegin(gl::GL_QUADS);
            gl::glEnd();
            gl::glCopyTexImage2D(gl::GL_TEXTURE_2D, 0, gl::GL_RGB, 0, 0, 8, 8, 0);
        }
        gl::glBegin(gl::GL_QUADS);
        const FrameUse use = gl::TakeFrameUse();
        EXPECT_TRUE(use.events.empty()) << use.events.size() << " events in frame " << frame;
        EXPECT_TRUE(use.endsInBlock) << "the block state is still told";
        gl::glEnd();
    }
    gl::UseRecorder(nullptr);
    platform::CloseHeadlessContext();
}

// The longest run is refused before it is built: a run's frames are counted as LoopFrames
// makes them.
TEST(Seek, RunFrameCountIsTheSizeOfTheRun) {
    for (int32_t fps : {1, 7, 60, 1000})
        for (int32_t time : {0, 1, 49, 50, 999, 1000, 12345}) {
            SCOPED_TRACE(std::to_string(time) + " ms at " + std::to_string(fps) + " fps");
            EXPECT_EQ(tools::RunFrameCount(time, fps),
                      int64_t(tools::LoopFrames(std::span(&time, 1), fps).size()));
        }
    EXPECT_EQ(tools::RunFrameCount(2'000'000'000, 1000), 2'000'000'001);
}

namespace {

// One random instruction with random operands from the opcode table. The plain menu draws
// and changes state; the wild one adds passes and blocks, which may leave the screen black.
Bytes RandomInstruction(std::mt19937& rng, bool wild) {
    using namespace demo;
    static const uint8_t kPlain[] = {
        COLOR3,    COLOR4,  TRANSLATE, ROTATE, PUSHMATRIX, POPMATRIX, BOX,       SPHERE,
        RECT,      RING,    DISC,      RAYS,   TUNNEL,     ENABLE,    DISABLE,   LINEWIDTH,
        PARTICLES, P_COUNT, P_RANGE,   P_RED,  P_HALFW,    P_HALFH,   CLIPXFORM,
    };
    static const uint8_t kWild[] = {BINDTEX,    BLEND,    BEGIN,        END,
                                    VERTEX,     TEXCOORD, TARGET_BEGIN, TARGET_END,
                                    BLUR_BEGIN, BLUR_END, BLUR_DRAW};
    std::uniform_int_distribution<size_t> pickPlain(0, std::size(kPlain) - 1);
    std::uniform_int_distribution<size_t> pickWild(0, std::size(kWild) - 1);
    const uint8_t op = wild && rng() % 2 ? kWild[pickWild(rng)] : kPlain[pickPlain(rng)];
    std::uniform_real_distribution<float> real(-2.0f, 2.0f);
    Bytes code;
    const OpcodeInfo& info = kOpcodes[op];
    for (int i = 0; i < info.popInts; ++i) {
        // Slots and counts stay small; the modes and capabilities come from a short list
        // that includes values OpenGL refuses.
        static const int32_t kInts[] = {-1, 0, 1, 2, 3, 7, 9, 10, 12, 0x0BE2, 0x0B71, 0x0DE1};
        std::uniform_int_distribution<size_t> ints(0, std::size(kInts) - 1);
        const Bytes push = PushI(kInts[ints(rng)]);
        code.insert(code.end(), push.begin(), push.end());
    }
    for (int i = 0; i < info.popFloats; ++i) {
        // Some operands move with time, so that frames differ.
        const Bytes push = i == 0 && rng() % 3 == 0
                               ? Join({Do(LOCALTIME), Do(ITOF), PushF(0.001f), Do(MULF)})
                               : PushF(real(rng));
        code.insert(code.end(), push.begin(), push.end());
    }
    code.push_back(op);
    return code;
}

Bytes RandomInstructions(std::mt19937& rng, int most, bool wild = false) {
    Bytes code;
    const int n = int(rng() % uint32_t(most + 1));
    for (int i = 0; i < n; ++i) {
        const Bytes instruction = RandomInstruction(rng, wild);
        code.insert(code.end(), instruction.begin(), instruction.end());
    }
    return code;
}

// A full-screen rectangle in a colour of its own, textured or plain.
Bytes ScreenRect(float red, bool textured) {
    using namespace demo;
    return Join({PushI(0x0DE1), Do(textured ? ENABLE : DISABLE), PushF(red), PushF(0.5f), PushF(1),
                 Do(COLOR3), PushF(-3), PushF(-3), PushF(3), PushF(3), Do(RECT)});
}

// Three tracks: one does anything (passes and blocks included), one copies into a render
// target (or the blur texture) until a random time, one samples it until the end; the last two
// with random drawing and state changes around.
demo::DemoFile RandomDemo(uint32_t seed) {
    using namespace demo;
    std::mt19937 rng(seed);
    const int32_t slot = int32_t(rng() % 2);
    const bool blur = rng() % 3 == 0;
    const Bytes writer =
        Join({blur ? Do(BLUR_BEGIN) : Do(TARGET_BEGIN), RandomInstructions(rng, 4),
              ScreenRect(float(rng() % 100) / 100, false), RandomInstructions(rng, 4),
              blur ? Do(BLUR_END) : Join({PushI(slot), Do(TARGET_END)})});
    const Bytes reader =
        Join({RandomInstructions(rng, 3), PushI(slot), Do(BINDTEX), ScreenRect(1, true),
              blur ? Do(BLUR_DRAW) : Bytes{}, RandomInstructions(rng, 3)});
    std::vector<demo::Script> scripts = {MakeScript(RandomInstructions(rng, 12, true)),
                                         MakeScript(writer), MakeScript(reader)};
    std::vector<demo::Clip> clips = {
        MakeClip(0, int32_t(rng() % 400), 3000, 0),
        MakeClip(1, int32_t(rng() % 400), 200 + int32_t(rng() % 1500), 1),
        MakeClip(2, 0, 3000, 2),
    };
    demo::DemoFile d = testing_qv::DemoWith(std::move(scripts), std::move(clips));
    AddRenderTargets(d);
    return d;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

namespace {

// Renders the demo at the times of --frames by seeking and by full replay; both must succeed
// and write the same files.
void ExpectSeekEqualsReplay(const demo::DemoFile& d, const std::string& frames, int32_t first,
                            int32_t last, int32_t step, const std::string& what) {
    const std::string demo = testing_qv::WriteDemo(d);
    const std::filesystem::path dir = std::filesystem::path(demo).parent_path();
    const std::string common =
        "render " + demo + " --frames " + frames + " --size 256x256 --fps 50 -o ";
    testing_qv::QvResult seek = testing_qv::RunQv(common + (dir / "seek").string());
    testing_qv::QvResult replay =
        testing_qv::RunQv(common + (dir / "replay").string() + " --replay");
    ASSERT_EQ(seek.status, 0) << what << "\n" << seek.err;
    ASSERT_EQ(replay.status, 0) << what << "\n" << replay.err;
    EXPECT_EQ(seek.err, replay.err) << what;
    for (int32_t t = first; t <= last; t += step) {
        const std::string name =
            "frame_" + std::string(8 - std::to_string(t).size(), '0') + std::to_string(t) + ".png";
        const std::string picture = ReadFile(dir / "seek" / name);
        EXPECT_FALSE(picture.empty()) << what << ", " << name;
        EXPECT_EQ(picture, ReadFile(dir / "replay" / name)) << what << ", " << name;
    }
    std::filesystem::remove_all(dir);
}

}  // namespace

// A primitive opened in one frame and closed in the next: the second frame's clear is refused
// inside the block, so its picture holds the first frame's pixels and the whole primitive.
TEST(Seek, APrimitiveAcrossTwoFramesComesOutAsInTheReplay) {
    using namespace demo;
    const Bytes open = Join({ScreenRect(0.3f, false), PushF(0), PushF(1), PushF(0), Do(COLOR3),
                             PushI(7), Do(BEGIN), PushF(-1), PushF(-1), PushF(-4), Do(VERTEX),
                             PushF(1), PushF(-1), PushF(-4), Do(VERTEX)});
    const Bytes close = Join({PushF(1), PushF(1), PushF(-4), Do(VERTEX), PushF(-1), PushF(1),
                              PushF(-4), Do(VERTEX), Do(END)});
    demo::DemoFile d = testing_qv::DemoWith({MakeScript(open), MakeScript(close)},
                                            {MakeClip(0, 980, 0, 0), MakeClip(1, 1000, 0, 1)});
    ExpectSeekEqualsReplay(d, "1000:1000:100", 1000, 1000, 100, "open block");
}

// The current colour is legal inside a block, so a block that a seek skips still sets it
// for the driver: a later frame that draws without setting a colour comes out as in the
// replay (green, not the first colour, white). The block stays open over several frames.
TEST(Seek, AColourSetInsideASkippedBlockReachesTheDriver) {
    using namespace demo;
    const Bytes open = Join({PushI(7), Do(BEGIN), PushF(0.2f), PushF(0.9f), PushF(0.4f), Do(COLOR3),
                             PushF(0), PushF(0), PushF(-5), Do(VERTEX)});
    const Bytes draw =
        Join({PushI(0x0DE1), Do(DISABLE), PushF(-3), PushF(3), PushF(3), PushF(-3), Do(RECT)});
    demo::DemoFile d = testing_qv::DemoWith(
        {MakeScript(open), MakeScript(Do(END)), MakeScript(draw)},
        {MakeClip(0, 100, 100, 0), MakeClip(0, 400, 100, 1), MakeClip(1, 600, 5000, 2)});
    ExpectSeekEqualsReplay(d, "900:900:100", 900, 900, 100, "a colour set in a skipped block");
}

// A video that starts late seeks to its first frame: the copies into textures before it,
// which its frames sample, are drawn, so the decoded frames equal the full replay's. The
// random demos' copies (256 x 256, so the picture must hold them) all end before --from.
TEST(Seek, AVideoThatStartsLateHasTheFullReplaysFrames) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        const std::string demo = testing_qv::WriteDemo(RandomDemo(seed));
        const std::filesystem::path dir = std::filesystem::path(demo).parent_path();
        std::string frames[2];
        for (int replay = 0; replay < 2; ++replay) {
            const std::string video = (dir / (replay ? "replay.mkv" : "seek.mkv")).string();
            testing_qv::QvResult r =
                testing_qv::RunQv("render " + demo + " --video " + video +
                                  " --lossless --from 2200 --to 2300 --size 256x256 --fps 50" +
                                  (replay ? " --replay" : ""));
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string raw = video + ".rgb";
            ASSERT_EQ(
                std::system(
                    ("ffmpeg -v error -i " + video + " -f rawvideo -pix_fmt rgb24 " + raw).c_str()),
                0);
            frames[replay] = ReadFile(raw);
        }
        EXPECT_EQ(frames[0].size(), 6u * 256 * 256 * 3);
        EXPECT_TRUE(frames[0] == frames[1]) << "the seek's frames differ from the replay's";
        std::filesystem::remove_all(dir);
    }
}

// Random demos of passes, blocks, state changes and moving operands around a texture copied
// in earlier frames: the frames written by seeking and by the full replay are the same files.
TEST(Seek, RandomDemosGiveTheFullReplaysPictures) {
    for (uint32_t seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE(seed);
        ExpectSeekEqualsReplay(RandomDemo(seed), "700:2500:600", 700, 2500, 600,
                               "seed " + std::to_string(seed));
    }
}

// A seek goes back to a checkpoint on the context its first pass ran on. A capability that
// pass switched on after the checkpoint (depth clamping, which no frame had named before) is
// off again for the frames drawn from there: the copy at 500 ms leaves the far rectangle
// clipped, as in the replay, though clamping is on from 1000 ms.
TEST(Seek, ACapabilityNamedAfterTheCheckpointIsOffAgainWhenTheSeekGoesBack) {
    using namespace demo;
    constexpr int32_t kDepthClamp = 0x864F, kDepthTest = 0x0B71;
    const Bytes writer = Join(
        {Do(TARGET_BEGIN),  PushI(kDepthTest), Do(DISABLE), PushI(0x0DE1), Do(DISABLE), PushF(1),
         PushF(1),          PushF(0),          Do(COLOR3),  PushF(0),      PushF(0),    PushF(-150),
         Do(TRANSLATE),     PushF(-50),        PushF(-50),  PushF(50),     PushF(50),   Do(RECT),
         PushI(kDepthTest), Do(ENABLE),        PushI(0),    Do(TARGET_END)});
    const Bytes clamp = Join({PushI(kDepthClamp), Do(ENABLE)});
    const Bytes reader = Join(
        {PushF(0), PushF(0), PushF(-2), Do(TRANSLATE), PushI(0), Do(BINDTEX), ScreenRect(1, true)});
    demo::DemoFile d = testing_qv::DemoWith(
        {MakeScript(writer), MakeScript(clamp), MakeScript(reader)},
        {MakeClip(0, 0, 500, 0), MakeClip(1, 1000, 100, 1), MakeClip(2, 1500, 3000, 2)});
    AddRenderTargets(d);
    ExpectSeekEqualsReplay(d, "2000:2000:100", 2000, 2000, 100, "depth clamp named late");
}

namespace {

// A render target written by every frame before 500 ms (track 1) and sampled from 1500 ms on
// (track 2), with the given clips around: a seek to 2000 ms draws the last copy alone (its
// rectangle samples a texture no copy writes), from a checkpoint, and then puts the state
// after 1980 ms back.
demo::DemoFile CopiedEarly(std::vector<demo::Clip> clips, std::vector<demo::Script> scripts) {
    using namespace demo;
    const Bytes writer =
        Join({Do(TARGET_BEGIN), PushI(2),    Do(BINDTEX),   PushI(0x0DE1), Do(DISABLE),
              PushF(0.9f),      PushF(0.6f), PushF(0.2f),   Do(COLOR3),    PushF(0),
              PushF(0),         PushF(-3),   Do(TRANSLATE), PushF(-2),     PushF(-2),
              PushF(2),         PushF(2),    Do(RECT),      PushI(0),      Do(TARGET_END)});
    const Bytes reader = Join({PushF(-1), PushF(0), PushF(-4), Do(TRANSLATE), PushI(0), Do(BINDTEX),
                               ScreenRect(1, true)});
    scripts.insert(scripts.begin(), {MakeScript(writer), MakeScript(reader)});
    clips.insert(clips.begin(), {MakeClip(1, 0, 500, 0), MakeClip(2, 1500, 3000, 1)});
    demo::DemoFile d = testing_qv::DemoWith(std::move(scripts), std::move(clips));
    d.intVarCount = 1;
    AddRenderTargets(d);
    return d;
}

}  // namespace

// After the copies a seek needs are drawn from a checkpoint, the run goes on from the state
// after the last frame before the wanted one, not from the copy's: a frame counter shows it
// (drawn first, in front of the sampled target).
TEST(Seek, AfterTheCopiesTheRunGoesOnFromTheLastFramesState) {
    using namespace demo;
    const Bytes counter =
        Join({LoadI(0),   PushI(1),    Do(ADDI),      StoreI(0), PushI(0x0DE1), Do(DISABLE),
              LoadI(0),   Do(ITOF),    PushF(0.004f), Do(MULF),  PushF(0.3f),   PushF(0.3f),
              Do(COLOR3), PushF(0.5f), PushF(0),      PushF(-3), Do(TRANSLATE), PushF(0),
              PushF(-1),  PushF(1),    PushF(1),      Do(RECT)});
    ExpectSeekEqualsReplay(CopiedEarly({MakeClip(0, 0, 5000, 2)}, {MakeScript(counter)}),
                           "2000:2000:100", 2000, 2000, 100, "frame counter");
}

// The run goes back to a checkpoint while the first pass's last frame has left a block open.
// A light switched on by the first frame after that checkpoint, before any block of that
// frame closes, must reach the driver: after a restore the skipper knows no block is open.
TEST(Seek, AfterGoingBackNoBlockIsOpen) {
    using namespace demo;
    constexpr int32_t kFrameMs = 20;  // 50 fps
    const int32_t checkpointMs =
        (tools::kCheckpointEveryMs + kFrameMs - 1) / kFrameMs * kFrameMs;  // the second one
    const Bytes light = Join({PushI(0x0B50), Do(ENABLE)});                 // in that frame alone
    const Bytes open = Join({PushI(7), Do(BEGIN)});
    ExpectSeekEqualsReplay(CopiedEarly({MakeClip(0, checkpointMs, kFrameMs / 2, 2),
                                        MakeClip(4, 1980, kFrameMs / 2, 3)},
                                       {MakeScript(light), MakeScript(open)}),
                           "2000:2000:100", 2000, 2000, 100, "a block open at the end");
}

// While skipping, the skipper passes on only the last colour, normal and texture coordinate
// before the next state call. Colour material copies the colour into the material until it is
// switched off, so the colour set while it is on must reach the driver before that: the lit
// sphere at 1000 ms keeps the green material of the skipped frames, not the white set after.
TEST(Seek, AColourThatColourMaterialKeepsReachesTheDriverBeforeItIsSwitchedOff) {
    using namespace demo;
    constexpr int32_t kLighting = 0x0B50, kLight0 = 0x4000, kColorMaterial = 0x0B57;
    const Bytes keep =
        Join({PushI(kLighting), Do(ENABLE), PushI(kLight0), Do(ENABLE), PushI(kColorMaterial),
              Do(ENABLE), PushF(0.1f), PushF(0.8f), PushF(0.3f), Do(COLOR3), PushI(kColorMaterial),
              Do(DISABLE), PushF(1), PushF(1), PushF(1), Do(COLOR3)});
    const Bytes sphere = Join({PushI(0x0DE1), Do(DISABLE), PushF(0), PushF(0), PushF(-4),
                               Do(TRANSLATE), PushI(16), PushF(1), Do(SPHERE)});
    demo::DemoFile d = testing_qv::DemoWith({MakeScript(keep), MakeScript(sphere)},
                                            {MakeClip(0, 0, 100, 0), MakeClip(1, 0, 5000, 1)});
    ExpectSeekEqualsReplay(d, "1000:1000:100", 1000, 1000, 100, "colour material");
}

// A checkpoint holds the current colour the frame before it set last, though the skipper was
// still holding it back: the copy drawn right after the checkpoint uses that colour.
TEST(Seek, ACheckpointHoldsTheColourItsFrameSetLast) {
    using namespace demo;
    constexpr int32_t kFrameMs = 20;  // 50 fps
    const int32_t checkpointMs = (tools::kCheckpointEveryMs + kFrameMs - 1) / kFrameMs * kFrameMs;
    const Bytes writer = Join({Do(TARGET_BEGIN), PushI(2), Do(BINDTEX), PushI(0x0DE1), Do(DISABLE),
                               PushF(0), PushF(0), PushF(-3), Do(TRANSLATE), PushF(-2), PushF(-2),
                               PushF(2), PushF(2), Do(RECT), PushI(0), Do(TARGET_END)});
    const Bytes reader = Join({PushF(-1), PushF(0), PushF(-4), Do(TRANSLATE), PushI(0), Do(BINDTEX),
                               ScreenRect(1, true)});
    const Bytes setter = Join(
        {Do(LOCALTIME), Do(ITOF), PushF(0.003f), Do(MULF), PushF(0.5f), PushF(0.5f), Do(COLOR3)});
    demo::DemoFile d = testing_qv::DemoWith(
        {MakeScript(writer), MakeScript(reader), MakeScript(setter)},
        {MakeClip(0, 0, checkpointMs, 0), MakeClip(1, 1500, 3000, 1), MakeClip(2, 0, 5000, 2)});
    AddRenderTargets(d);
    ExpectSeekEqualsReplay(d, "2000:2000:100", 2000, 2000, 100, "colour at the checkpoint");
}

// Inside a block the driver refuses state changes. A skipped frame's block never reaches the
// driver, so the skipper drops them for it: lighting switched on inside a block stays off.
TEST(Seek, AStateChangeInsideASkippedBlockIsRefusedAsTheDriverWould) {
    using namespace demo;
    const Bytes refused = Join({PushI(7), Do(BEGIN), PushI(0x0B50), Do(ENABLE), Do(END)});
    const Bytes draw = Join({PushI(0x0DE1), Do(DISABLE), PushF(0.9f), PushF(0.6f), PushF(0.2f),
                             Do(COLOR3), PushF(0), PushF(0), PushF(-3), Do(TRANSLATE), PushF(-1),
                             PushF(-1), PushF(1), PushF(1), Do(RECT)});
    demo::DemoFile d = testing_qv::DemoWith({MakeScript(refused), MakeScript(draw)},
                                            {MakeClip(0, 0, 100, 0), MakeClip(1, 0, 5000, 1)});
    ExpectSeekEqualsReplay(d, "1000:1000:100", 1000, 1000, 100, "a state change in a block");
}

namespace {

constexpr int32_t kSide = 64, kFps = 50;

app::OpenDemoFile OpenDemo(const demo::DemoFile& d) {
    const std::string bytes = demo::WriteDemoFile(d);
    app::OpenDemoFile file;
    EXPECT_TRUE(app::ReadTitleFrom("demo.acs", {bytes.begin(), bytes.end()}, file));
    return file;
}

// The frame at time drawn on the driver, as the workbench shows it after a run.
std::vector<uint8_t> DrawAndRead(int32_t time) {
    std::vector<uint8_t> pixels(size_t(kSide) * kSide * 4);
    app::DrawFrame(time);
    gl::TakeFrameUse();
    EXPECT_TRUE(gl::ReadPixelsRGBA(kSide, kSide, pixels.data()));
    gl::SwapBuffers();
    return pixels;
}

// A random demo with state that only the frames before tell: a frame counter (an integer
// variable) and a track of two overlapping clips, whose choice depends on where the run came
// from. Both draw in front of everything (no depth test) and leave the transform as it was.
demo::DemoFile WithHistory(demo::DemoFile d) {
    using namespace demo;
    auto inFront = [](Bytes colour, float x) {
        return Join({Do(PUSHMATRIX), PushI(0x0B71), Do(DISABLE), PushI(0x0DE1), Do(DISABLE),
                     std::move(colour), Do(COLOR3), PushF(x), PushF(0), PushF(-3), Do(TRANSLATE),
                     PushF(0), PushF(-1), PushF(1), PushF(1), Do(RECT), PushI(0x0B71), Do(ENABLE),
                     Do(POPMATRIX)});
    };
    const Bytes counter =
        Join({LoadI(0), PushI(1), Do(ADDI), StoreI(0),
              inFront(Join({LoadI(0), Do(ITOF), PushF(0.01f), Do(MULF), PushF(0.3f), PushF(0.3f)}),
                      0.5f)});
    auto square = [&](float red) {
        return inFront(Join({PushF(red), PushF(0.9f), PushF(0.1f)}), -1.5f);
    };
    const int32_t first = int32_t(d.scripts.size());
    d.scripts.push_back(MakeScript(counter));
    d.scripts.push_back(MakeScript(square(0.2f)));
    d.scripts.push_back(MakeScript(square(0.8f)));
    d.clips.push_back(MakeClip(3, 0, 5000, first));
    d.clips.push_back(MakeClip(4, 200, 1000, first + 1));
    d.clips.push_back(MakeClip(4, 800, 1800, first + 2));
    d.scriptCount = int32_t(d.scripts.size());
    d.clipCount = int32_t(d.clips.size());
    d.intVarCount = std::max(d.intVarCount, 1);
    return d;
}

// The picture of a run to time on a context of its own.
std::vector<uint8_t> FreshPicture(const app::OpenDemoFile& file, int32_t time) {
    std::string error;
    EXPECT_TRUE(platform::OpenHeadlessContext(kSide, kSide, error)) << error;
    bool failed = false;
    tools::RunUpTo(file, kSide, kSide, time, kFps, failed);
    std::vector<uint8_t> pixels = DrawAndRead(time);
    gl::UseRecorder(nullptr);
    platform::CloseHeadlessContext();
    return pixels;
}

}  // namespace

// The workbench's runs on one context: after a first run, seeks forwards and backwards come
// from the kept checkpoints, with frames played in between (which copy into the textures
// again); each picture is the one a run on a fresh context gives.
TEST(KeptRun, SeeksBothWaysOnOneContextGiveTheFreshRunsPictures) {
    std::string error;
    if (!platform::OpenHeadlessContext(kSide, kSide, error)) GTEST_SKIP() << error;
    platform::CloseHeadlessContext();
    const int32_t times[] = {0, 1500, 600, 2400, 100, 1520, 2980, 0, 900, 1000};
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const app::OpenDemoFile file = OpenDemo(WithHistory(RandomDemo(seed)));
        std::vector<std::vector<uint8_t>> fresh;
        for (int32_t t : times) fresh.push_back(FreshPicture(file, t));

        ASSERT_TRUE(platform::OpenHeadlessContext(kSide, kSide, error)) << error;
        tools::KeptRun kept;
        bool failed = false;
        tools::RunUpTo(file, kSide, kSide, times[0], kFps, failed, nullptr, &kept);
        ASSERT_TRUE(kept.valid) << "seed " << seed;
        EXPECT_EQ(DrawAndRead(times[0]), fresh[0]) << "seed " << seed << ", first run";
        for (size_t i = 1; i < std::size(times); ++i) {
            // Played on a little from the last picture: copies write the textures again.
            for (int32_t k = 1; k <= 4; ++k) DrawAndRead(times[i - 1] + k * 1000 / kFps);
            bool served = false;
            tools::SeekKept(kept, times[i], nullptr, served);
            ASSERT_TRUE(served) << "seed " << seed << " at " << times[i];
            EXPECT_EQ(DrawAndRead(times[i]), fresh[i]) << "seed " << seed << " at " << times[i];
        }
        gl::UseRecorder(nullptr);
        platform::CloseHeadlessContext();
    }
}

// An edit from frame 10 on: the uses from frame 10 go, and every checkpoint after frame 10
// (the one before frame 10 holds only what frames 0 to 9 did); the first always stays.
TEST(KeptRun, ForgettingFromAFrameKeepsWhatTheFramesBeforeIt) {
    tools::KeptRun kept;
    kept.uses.resize(40);
    for (size_t frame : {0, 5, 10, 15, 30}) kept.checkpoints.push_back({frame, {}});
    tools::ForgetKeptFrom(kept, 10);
    EXPECT_EQ(kept.uses.size(), 10u);
    ASSERT_EQ(kept.checkpoints.size(), 3u);
    EXPECT_EQ(kept.checkpoints.back().frame, 10u);
    tools::ForgetKeptFrom(kept, 0);
    EXPECT_TRUE(kept.uses.empty());
    ASSERT_EQ(kept.checkpoints.size(), 1u);
    EXPECT_EQ(kept.checkpoints[0].frame, 0u);
}

// A copy into a texture whose start-up pixels were not kept (an image slot written by
// TARGET_END) cannot be put back: the kept run declines, and the caller runs afresh.
TEST(KeptRun, ACopyIntoATextureWithoutStartupPixelsIsNotServed) {
    std::string error;
    if (!platform::OpenHeadlessContext(kSide, kSide, error)) GTEST_SKIP() << error;
    bool failed = false;
    tools::KeptRun kept;
    const app::OpenDemoFile file = OpenDemo(CopiedEarly({}, {}));
    tools::RunUpTo(file, kSide, kSide, 1000, kFps, failed, nullptr, &kept);
    ASSERT_TRUE(kept.valid);
    kept.startupImages.clear();  // as if the written targets had no start-up pixels
    ASSERT_FALSE(scripter::passes::SavePasses().written.empty()) << "the copies before 500 ms";
    bool served = true;
    tools::SeekKept(kept, 200, nullptr, served);
    EXPECT_FALSE(served);
    gl::UseRecorder(nullptr);
    platform::CloseHeadlessContext();
}

namespace {

// An edit an author might make to a random demo: the frame counter counting in steps of 2
// (state every later frame carries), a clip moved or lengthened, or a clip added; the
// content stays.
demo::DemoFile RandomEdit(demo::DemoFile d, std::mt19937& rng) {
    using namespace demo;
    switch (rng() % 4) {
        case 0: {
            Script& counter = d.scripts[d.scripts.size() - 3];  // LOADI 0, PUSHI 1, ADDI, ...
            EXPECT_EQ(counter.code[2], PUSHI);
            counter.code[3] = 2;
            break;
        }
        case 1: d.clips[d.clips.size() - 1].start += int32_t(rng() % 900) - 450; break;
        case 2: d.clips[d.clips.size() - 2].length += int32_t(rng() % 900); break;
        default:
            d.clips.push_back(
                MakeClip(5, int32_t(rng() % 2500), 300, int32_t(d.scripts.size() - 2)));
            d.clipCount = int32_t(d.clips.size());
    }
    return d;
}

}  // namespace

// A reload that changed only scripts and clips: the loaded run takes the new tables, forgets
// what it kept of the frames from the first one the edit changes, and seeks on; each picture
// is the one a fresh run of the edited demo gives.
TEST(KeptRun, AnEditOfScriptsAndClipsGoesOnFromTheCheckpointsBeforeIt) {
    std::string error;
    if (!platform::OpenHeadlessContext(kSide, kSide, error)) GTEST_SKIP() << error;
    platform::CloseHeadlessContext();
    std::mt19937 rng(77);
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        const demo::DemoFile before = WithHistory(RandomDemo(seed));
        const demo::DemoFile after = RandomEdit(before, rng);
        const tools::ReloadScope scope = tools::CompareForReload(before, after);
        ASSERT_TRUE(scope.sameContent);
        const int32_t seekTo = int32_t(rng() % 3000) / 20 * 20;
        const std::vector<uint8_t> fresh = FreshPicture(OpenDemo(after), seekTo);

        ASSERT_TRUE(platform::OpenHeadlessContext(kSide, kSide, error)) << error;
        tools::KeptRun kept;
        bool failed = false;
        tools::RunUpTo(OpenDemo(before), kSide, kSide, 2900, kFps, failed, nullptr, &kept);
        DrawAndRead(2900);
        demo::DemoFile edited = after;
        app::ReplaceScriptsAndClips(std::move(edited.scripts), std::move(edited.clips));
        const int32_t from = scope.firstChangedMs;
        tools::ForgetKeptFrom(kept, size_t(tools::FrameAtOrAfter(from, kFps)));
        bool served = false;
        tools::SeekKept(kept, seekTo, nullptr, served);
        ASSERT_TRUE(served);
        EXPECT_EQ(DrawAndRead(seekTo), fresh)
            << "seed " << seed << ": changed from " << from << " ms, seek to " << seekTo;
        gl::UseRecorder(nullptr);
        platform::CloseHeadlessContext();
    }
}
