#include "tools/workbench/workbench_overlay.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <vector>

using namespace tools;

TEST(OverlayStrip, AClickSeeksToTheTimeDrawnUnderThePointer) {
    const StripAxis axis{40, 456, 60000};
    for (int32_t ms : {0, 1, 999, 17000, 30000, 59999, 60000})
        EXPECT_NEAR(StripTimeAt(axis, StripX(axis, ms)), ms, 60000 / 456 / 2 + 1) << ms;
    EXPECT_FLOAT_EQ(StripX(axis, 0), 40);
    EXPECT_FLOAT_EQ(StripX(axis, 60000), 40 + 456);
    EXPECT_EQ(StripTimeAt(axis, 40 + 228), 30000);
    // Outside the axis: its ends.
    EXPECT_EQ(StripTimeAt(axis, 0), 0);
    EXPECT_EQ(StripTimeAt(axis, 5000), 60000);
    EXPECT_FLOAT_EQ(StripX(axis, -5), 40);
    EXPECT_FLOAT_EQ(StripX(axis, 90000), 40 + 456);
}

namespace {

// Dear ImGui without a window: one frame of the overlay with the mouse at (x, y), held down
// or not. Returns what DrawOverlay asks for.
struct HeadlessImGui {
    HeadlessImGui() {
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(800, 600);
        io.DeltaTime = 1.0f / 60;
        unsigned char* pixels = nullptr;
        int w = 0, h = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    }
    ~HeadlessImGui() { ImGui::DestroyContext(); }
    int32_t Frame(const OverlayView& v, float x, float y, bool down) {
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = ImVec2(x, y);
        io.MouseDown[0] = down;
        ImGui::NewFrame();
        const int32_t seek = DrawOverlay(v);
        ImGui::Render();
        return seek;
    }
    // Moves there, presses and releases: the seek the press asked for.
    int32_t Click(const OverlayView& v, float x, float y) {
        Frame(v, x, y, false);
        const int32_t seek = Frame(v, x, y, true);
        Frame(v, x, y, false);
        return seek;
    }
};

}  // namespace

TEST(OverlayStrip, ClicksOnTheDrawnStripSeekAlongIt) {
    HeadlessImGui gui;
    std::vector<demo::Clip> clips(1);
    clips[0].track = 0;
    clips[0].start = 0;
    clips[0].length = 20000;
    OverlayView v;
    v.clips = clips;
    v.currentClip.fill(-1);
    // Find the strip's rows by clicking down the middle of the window.
    float stripY = -1;
    for (float y = 0; y < 600 && stripY < 0; y += 3)
        if (gui.Click(v, 300, y) >= 0) stripY = y;
    ASSERT_GE(stripY, 0) << "no strip to click";
    // Across it the times grow with x, from 0 at its left end to the strip's end at its right.
    int32_t last = -1;
    for (float x = 0; x < 800; x += 40) {
        const int32_t t = gui.Click(v, x, stripY);
        if (t < 0) continue;
        EXPECT_GE(t, last) << x;
        last = t;
    }
    EXPECT_GT(last, 0);
    // A drag goes on seeking past either end of the strip, held at its ends.
    gui.Frame(v, 300, stripY, false);
    gui.Frame(v, 300, stripY, true);
    EXPECT_EQ(gui.Frame(v, 799, stripY + 50, true), StripEndMs(clips));
    EXPECT_EQ(gui.Frame(v, 0, stripY, true), 0);
    gui.Frame(v, 0, stripY, false);
    // Nothing is asked for without a press.
    EXPECT_EQ(gui.Frame(v, 300, stripY, false), -1);
}
