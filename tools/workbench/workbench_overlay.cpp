#include "tools/workbench/workbench_overlay.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "timeline/timeline.h"
#include "tools/workbench/workbench.h"

namespace tools {
namespace {

// A row per track, tall enough for its label in the overlay's font (13 pixels).
constexpr float kRowHeight = 11;
constexpr float kLabelWidth = 24;
constexpr float kLabelSize = 13;

ImU32 TrackColour(int track) {
    return ImColor::HSV(float(track % 10) / 10.0f, track < 10 ? 0.55f : 0.35f, 0.85f);
}

// The strip; returns the time a click or drag asks for, or -1.
int32_t DrawStrip(const OverlayView& v, int32_t endMs) {
    const float width = std::max(ImGui::GetContentRegionAvail().x, 480.0f);
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const float height = kRowHeight * demo::kTrackCount;
    ImGui::InvisibleButton("strip", ImVec2(width, height));
    const StripAxis axis{origin.x + kLabelWidth, std::max(width - kLabelWidth, 1.0f), endMs};
    auto xOf = [&axis](int64_t ms) { return StripX(axis, ms); };
    // No background of its own: the window's already lies under the strip, and on a software
    // renderer every pixel blended twice is paid for in every frame.
    ImDrawList* draw = ImGui::GetWindowDrawList();
    if (v.loopAMs >= 0 && v.loopBMs > v.loopAMs)
        draw->AddRectFilled(ImVec2(xOf(v.loopAMs), origin.y),
                            ImVec2(xOf(v.loopBMs), origin.y + height), IM_COL32(80, 80, 160, 90));
    for (size_t i = 0; i < v.clips.size(); ++i) {
        const demo::Clip& c = v.clips[i];
        if (c.track >= demo::kTrackCount) continue;
        const float y = origin.y + kRowHeight * float(c.track);
        const bool running = v.currentClip[c.track] == int32_t(i) && timeline::Covers(c, v.timeMs);
        draw->AddRectFilled(ImVec2(xOf(c.start), y + 1),
                            ImVec2(std::max(xOf(int64_t(c.start) + c.length), xOf(c.start) + 2),
                                   y + kRowHeight - 1),
                            running ? IM_COL32(255, 255, 255, 255) : TrackColour(c.track));
    }
    for (int track = 0; track < demo::kTrackCount; track += 5) {
        char label[8];
        std::snprintf(label, sizeof label, "%d", track);
        // Centred on the track's row, in the full-size font (a smaller one blurs to nothing).
        draw->AddText(ImGui::GetFont(), kLabelSize,
                      ImVec2(origin.x + 2,
                             origin.y + kRowHeight * float(track) + (kRowHeight - kLabelSize) / 2),
                      IM_COL32(230, 230, 230, 255), label);
    }
    const float head = xOf(v.timeMs);
    draw->AddLine(ImVec2(head, origin.y), ImVec2(head, origin.y + height),
                  IM_COL32(255, 60, 60, 255), 2);
    if (!ImGui::IsItemActive()) return -1;
    return StripTimeAt(axis, ImGui::GetIO().MousePos.x);
}

void DrawRunningClips(const OverlayView& v) {
    if (!ImGui::BeginTable("clips", 5, ImGuiTableFlags_SizingFixedFit | ImGuiTableFlags_RowBg))
        return;
    ImGui::TableSetupColumn("track");
    ImGui::TableSetupColumn("clip");
    ImGui::TableSetupColumn("script");
    ImGui::TableSetupColumn("local ms");
    ImGui::TableSetupColumn("progress");
    ImGui::TableHeadersRow();
    for (int track = 0; track < demo::kTrackCount; ++track) {
        const int32_t index = v.currentClip[size_t(track)];
        if (index < 0 || size_t(index) >= v.clips.size()) continue;
        const demo::Clip& c = v.clips[size_t(index)];
        if (!timeline::Covers(c, v.timeMs)) continue;  // the track waits or its clip has ended
        const int64_t local = int64_t(v.timeMs) - c.start;
        const float progress = c.length > 0 ? float(double(local) / c.length) : 0.0f;
        ImGui::TableNextRow();
        ImGui::TableNextColumn();
        ImGui::Text("%d", track);
        ImGui::TableNextColumn();
        ImGui::Text("%d", int(index));
        ImGui::TableNextColumn();
        ImGui::Text("%d", int(c.scriptIndex));
        ImGui::TableNextColumn();
        ImGui::Text("%lld", static_cast<long long>(local));
        ImGui::TableNextColumn();
        ImGui::Text("%.3f", double(progress));
    }
    ImGui::EndTable();
}

}  // namespace

int32_t StripEndMs(std::span<const demo::Clip> clips) {
    int64_t end = 1000;
    for (const demo::Clip& c : clips) end = std::max(end, int64_t(c.start) + c.length);
    return int32_t(std::min<int64_t>(end, INT32_MAX));
}

float StripX(const StripAxis& a, int64_t ms) {
    return a.left + a.width * float(std::clamp<int64_t>(ms, 0, a.endMs)) / float(a.endMs);
}

int32_t StripTimeAt(const StripAxis& a, float x) {
    const double at = std::clamp(double(x - a.left) / double(a.width), 0.0, 1.0);
    return int32_t(std::lround(at * double(a.endMs)));
}

int32_t DrawOverlay(const OverlayView& v) {
    const ImGuiViewport* screen = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(ImVec2(screen->Pos.x + 8, screen->Pos.y + 8), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(std::min(screen->Size.x - 16, 520.0f), 0),
                             ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowBgAlpha(0.75f);
    int32_t seek = -1;
    if (ImGui::Begin("qv play", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
        ImGui::Text("%s  (%d ms)%s  speed %gx  %.0f fps", FormatClock(v.timeMs).c_str(),
                    int(v.timeMs), v.paused ? "  paused" : "", v.speed, v.framesPerSecond);
        if (!v.frameMs.empty())
            ImGui::PlotLines("frame ms", v.frameMs.data(), int(v.frameMs.size()), 0, nullptr, 0.0f,
                             50.0f, ImVec2(0, 40));
        seek = DrawStrip(v, StripEndMs(v.clips));
        if (ImGui::CollapsingHeader("running clips")) DrawRunningClips(v);
        if (!v.errors.empty()) {
            ImGui::PushStyleColor(ImGuiCol_Text, IM_COL32(255, 110, 110, 255));
            ImGui::TextWrapped("%s", v.errors.c_str());
            ImGui::PopStyleColor();
        }
    }
    ImGui::End();
    return seek;
}

}  // namespace tools
