#include "tools/workbench/reload_scope.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <set>
#include <vector>

#include "demo/opcodes.h"

namespace tools {
namespace {

constexpr int32_t kNever = std::numeric_limits<int32_t>::max();

bool SameText(const demo::CountedText& a, const demo::CountedText& b) {
    return a.storedLength == b.storedLength && a.bytes == b.bytes;
}

bool SameTexts(const std::vector<demo::CountedText>& a, const std::vector<demo::CountedText>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), SameText);
}

bool SameClip(const demo::Clip& a, const demo::Clip& b) {
    return a.track == b.track && a.start == b.start && a.length == b.length &&
           a.scriptIndex == b.scriptIndex && a.translateX == b.translateX &&
           a.translateY == b.translateY && a.translateZ == b.translateZ && a.rotateX == b.rotateX &&
           a.rotateY == b.rotateY && a.rotateZ == b.rotateZ;
}

// The scripts a script may CALL: the index a PUSHI right before it names; anyIndex when a
// CALL takes a computed one.
struct Calls {
    std::set<int32_t> indices;
    bool anyIndex = false;
};

Calls CallsOf(const demo::Script& s) {
    Calls calls;
    size_t previous = std::string::npos;
    for (size_t at = 0; at < s.code.size(); at += size_t(demo::InstructionLength(s.code[at]))) {
        if (s.code[at] == demo::CALL) {
            if (previous != std::string::npos && s.code[previous] == demo::PUSHI &&
                previous + 5 <= s.code.size()) {
                int32_t index;
                std::memcpy(&index, &s.code[previous + 1], 4);
                calls.indices.insert(index);
            } else {
                calls.anyIndex = true;
            }
        }
        previous = at;
    }
    return calls;
}

// The scripts of after whose run may differ from before's.
std::vector<bool> ChangedScripts(const demo::DemoFile& before, const demo::DemoFile& after) {
    std::vector<bool> changed(after.scripts.size());
    bool any = false;
    for (size_t i = 0; i < after.scripts.size(); ++i) {
        changed[i] = i >= before.scripts.size() ||
                     before.scripts[i].code != after.scripts[i].code ||
                     before.scripts[i].length != after.scripts[i].length;
        any = any || changed[i];
    }
    // A script that was removed may have been called (by an index now out of the table).
    any = any || before.scripts.size() != after.scripts.size();
    std::vector<Calls> calls;
    for (const demo::Script& s : after.scripts) calls.push_back(CallsOf(s));
    for (bool grew = any; grew;) {
        grew = false;
        for (size_t i = 0; i < after.scripts.size(); ++i) {
            if (changed[i]) continue;
            bool reaches = calls[i].anyIndex;
            for (int32_t k : calls[i].indices)
                reaches = reaches || k < 0 || size_t(k) >= changed.size() || changed[size_t(k)];
            if (reaches) changed[i] = grew = true;
        }
    }
    return changed;
}

int32_t EarliestStartOnTrack(const demo::DemoFile& d, int track) {
    int32_t earliest = kNever;
    for (const demo::Clip& c : d.clips)
        if (c.track == track) earliest = std::min(earliest, c.start);
    return earliest;
}

}  // namespace

ReloadScope CompareForReload(const demo::DemoFile& before, const demo::DemoFile& after) {
    ReloadScope scope;
    scope.sameContent = SameTexts(before.textureSources, after.textureSources) &&
                        SameTexts(before.modelSources, after.modelSources) &&
                        SameTexts(before.pathStrings, after.pathStrings) &&
                        before.intVarCount == after.intVarCount &&
                        before.floatVarCount == after.floatVarCount &&
                        SameText(before.musicFile, after.musicFile);
    int32_t first = kNever;
    // Clips: a change anywhere on a track reaches back to its first clip, old or new.
    std::set<int> tracks;
    for (size_t i = 0; i < std::max(before.clips.size(), after.clips.size()); ++i) {
        const bool inBefore = i < before.clips.size(), inAfter = i < after.clips.size();
        if (inBefore && inAfter && SameClip(before.clips[i], after.clips[i])) continue;
        if (inBefore) tracks.insert(before.clips[i].track);
        if (inAfter) tracks.insert(after.clips[i].track);
    }
    for (int track : tracks)
        first = std::min(
            {first, EarliestStartOnTrack(before, track), EarliestStartOnTrack(after, track)});
    const std::vector<bool> changed = ChangedScripts(before, after);
    for (const demo::Clip& c : after.clips)
        if (c.scriptIndex >= 0 && size_t(c.scriptIndex) < changed.size() &&
            changed[size_t(c.scriptIndex)])
            first = std::min(first, c.start);
    // A clip whose script index was out of the table before and now names a script: its
    // clip changed or the table grew; both are covered above.
    scope.firstChangedMs = std::max(first, 0);
    return scope;
}

}  // namespace tools
