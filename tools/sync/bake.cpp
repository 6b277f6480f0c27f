#include "tools/sync/bake.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "demo/opcodes.h"

namespace tools::sync {
namespace {

using demo::Op;

constexpr char kMarkPrefix[] = "qv-sync ";
constexpr int32_t kMaxInt32 = std::numeric_limits<int32_t>::max();

// Bytecode with labels: PUSHI of a label (or of the distance between two) is written once
// the labels are placed.
class Emitter {
public:
    void Add(Op op) { code_.push_back(op); }
    void PushInt(int32_t v) {
        Add(demo::PUSHI);
        uint8_t b[4];
        std::memcpy(b, &v, 4);
        code_.insert(code_.end(), b, b + 4);
    }
    void PushFloat(float f) {
        Add(demo::PUSHF);
        uint8_t b[4];
        std::memcpy(b, &f, 4);
        code_.insert(code_.end(), b, b + 4);
    }
    void Store(int floatIndex) {
        Add(demo::STOREF);
        code_.push_back(uint8_t(floatIndex));
    }
    int NewLabel() {
        labels_.push_back(0);
        return int(labels_.size()) - 1;
    }
    void Place(int label) { labels_[size_t(label)] = code_.size(); }
    // PUSHI to - from (from < 0: PUSHI to).
    void PushLabel(int to, int from = -1) {
        fixups_.push_back({code_.size() + 1, to, from});
        PushInt(0);
    }
    void Bytes(const std::string& s) { code_.insert(code_.end(), s.begin(), s.end()); }
    demo::Script Finish() {
        for (const Fixup& f : fixups_) {
            const int64_t v = int64_t(labels_[size_t(f.to)]) -
                              (f.from < 0 ? 0 : int64_t(labels_[size_t(f.from)]));
            const int32_t v32 = int32_t(v);
            std::memcpy(&code_[f.at], &v32, 4);
        }
        demo::Script s;
        s.length = int32_t(code_.size());
        s.code = std::move(code_);
        return s;
    }

private:
    struct Fixup {
        size_t at;
        int to, from;
    };
    std::vector<uint8_t> code_;
    std::vector<size_t> labels_;
    std::vector<Fixup> fixups_;
};

// Ends the script: a jump past its end (which ends it normally), then the mark.
void EndWithMark(Emitter& e, int end, const std::string& mark) {
    e.PushLabel(end);
    e.Add(demo::JMP);
    e.Bytes(kMarkPrefix + mark);
    e.Place(end);
}

// Pushes 1 when TIME >= boundary (> 0), else 0. With s = t - t mod b (0 exactly when t < b,
// at least b otherwise): round(s / (s + 0.5)). Only equality tests exist for integers, and
// those would change the compare registers other scripts may rely on.
void PushReached(Emitter& e, int32_t boundary) {
    auto pushS = [&] {
        e.Add(demo::TIME);
        e.Add(demo::TIME);
        e.PushInt(boundary);
        e.Add(demo::MODI);
        e.Add(demo::SUBI);
        e.Add(demo::ITOF);
    };
    pushS();
    pushS();
    e.PushFloat(0.5f);
    e.Add(demo::ADDF);
    e.Add(demo::DIVF);
    e.Add(demo::FTOI);
}

// A span of time with one formula: a constant, or the interpolation from key k to k + 1.
struct Region {
    int32_t startMs = 0;
    float constant = 0;
    int key = -1;  // >= 0: interpolate from keys[key] to keys[key + 1]
};

// u = (row - row_k) / (row_k+1 - row_k) with row = TIME * rows per ms.
void PushProgress(Emitter& e, float rowsPerMs, const Key& a, const Key& b) {
    e.Add(demo::TIME);
    e.Add(demo::ITOF);
    e.PushFloat(rowsPerMs);
    e.Add(demo::MULF);
    e.PushFloat(float(a.row));
    e.Add(demo::SUBF);
    e.PushFloat(float(1.0 / (double(b.row) - double(a.row))));
    e.Add(demo::MULF);
}

void EmitRegion(Emitter& e, const Track& track, float rowsPerMs, const Region& r, int end) {
    if (r.key < 0 || track.keys[size_t(r.key)].interpolation == Interpolation::Step) {
        e.PushFloat(r.key < 0 ? r.constant : track.keys[size_t(r.key)].value);
    } else {
        const Key& a = track.keys[size_t(r.key)];
        const Key& b = track.keys[size_t(r.key) + 1];
        switch (a.interpolation) {
            case Interpolation::Linear: PushProgress(e, rowsPerMs, a, b); break;
            case Interpolation::Smooth:  // u * u * (3 - 2u)
                PushProgress(e, rowsPerMs, a, b);
                PushProgress(e, rowsPerMs, a, b);
                e.Add(demo::MULF);
                e.PushFloat(3);
                PushProgress(e, rowsPerMs, a, b);
                e.PushFloat(2);
                e.Add(demo::MULF);
                e.Add(demo::SUBF);
                e.Add(demo::MULF);
                break;
            case Interpolation::Ramp:  // u * u
                PushProgress(e, rowsPerMs, a, b);
                PushProgress(e, rowsPerMs, a, b);
                e.Add(demo::MULF);
                break;
            case Interpolation::Step: break;
        }
        e.PushFloat(b.value - a.value);
        e.Add(demo::MULF);
        e.PushFloat(a.value);
        e.Add(demo::ADDF);
    }
    e.Store(track.floatIndex);
    e.PushLabel(end);
    e.Add(demo::JMP);
}

// Regions [lo, hi]: a binary search on the time, one counted jump per level.
void EmitSearch(Emitter& e, const Track& track, float rowsPerMs, const std::vector<Region>& regions,
                size_t lo, size_t hi, int end) {
    if (lo == hi) return EmitRegion(e, track, rowsPerMs, regions[lo], end);
    const size_t mid = (lo + hi) / 2;
    const int before = e.NewLabel(), after = e.NewLabel();
    e.PushLabel(before);
    PushReached(e, regions[mid + 1].startMs);
    e.PushLabel(after, before);
    e.Add(demo::MULI);
    e.Add(demo::ADDI);
    e.Add(demo::JMP);
    e.Place(before);
    EmitSearch(e, track, rowsPerMs, regions, lo, mid, end);
    e.Place(after);
    EmitSearch(e, track, rowsPerMs, regions, mid + 1, hi, end);
}

// Before the first key its value, between keys their interpolation, after the last its
// value; regions that no millisecond falls in are left out.
std::vector<Region> RegionsOf(const Tracks& t, const Track& track) {
    std::vector<Region> all;
    all.push_back({0, track.keys.front().value, -1});
    for (size_t k = 0; k < track.keys.size(); ++k) {
        const bool last = k + 1 == track.keys.size();
        all.push_back(
            {FirstMsOfRow(t, track.keys[k].row), track.keys[k].value, last ? -1 : int(k)});
    }
    // Keys whose rows start in the same millisecond leave the earlier regions empty.
    std::vector<Region> kept;
    for (size_t i = 0; i < all.size(); ++i)
        if (i + 1 == all.size() || all[i].startMs < all[i + 1].startMs) kept.push_back(all[i]);
    return kept;
}

demo::Script TrackScript(const Tracks& t, const Track& track) {
    Emitter e;
    const int end = e.NewLabel();
    if (!track.keys.empty()) {
        const std::vector<Region> regions = RegionsOf(t, track);
        EmitSearch(e, track, float(RowsPerMs(t)), regions, 0, regions.size() - 1, end);
    }
    EndWithMark(e, end, "track " + track.name);
    return e.Finish();
}

}  // namespace

std::vector<demo::Script> BakeScripts(const Tracks& t, bool everyTrack, int32_t masterIndex) {
    std::vector<demo::Script> scripts(1);
    Emitter master;
    const int end = master.NewLabel();
    std::string names;
    for (const Track& track : t.tracks) {
        if (!everyTrack && track.keys.empty()) continue;
        master.PushInt(masterIndex + int32_t(scripts.size()));
        master.Add(demo::CALL);
        names += ' ' + track.name;
        scripts.push_back(TrackScript(t, track));
    }
    EndWithMark(master, end, "tracks" + names);
    scripts[0] = master.Finish();
    return scripts;
}

}  // namespace tools::sync

namespace tools::sync {
namespace {

bool TrackInUse(const demo::DemoFile& d, int track) {
    return std::any_of(d.clips.begin(), d.clips.end(),
                       [track](const demo::Clip& c) { return c.track == track; });
}

}  // namespace

bool InsertBake(demo::DemoFile& d, const Tracks& t, bool everyTrack, BakePlace& place,
                std::string& error) {
    int firstFree = 0;
    while (firstFree < demo::kTrackCount && TrackInUse(d, firstFree)) ++firstFree;
    if (firstFree == demo::kTrackCount) {
        error = "all 20 tracks hold clips: the baked tracks need one of their own";
        return false;
    }
    const size_t masterIndex = d.scripts.size();
    if (masterIndex + t.tracks.size() + 1 > size_t(kMaxInt32) ||
        d.clips.size() + 1 > size_t(kMaxInt32)) {
        error = "the demo holds too many scripts or clips for the baked tracks";
        return false;
    }
    for (demo::Clip& c : d.clips)
        if (c.track < firstFree) ++c.track;
    for (demo::Script& s : BakeScripts(t, everyTrack, int32_t(masterIndex)))
        d.scripts.push_back(std::move(s));
    demo::Clip clip;
    clip.track = 0;
    clip.start = 0;
    clip.length = kBakeClipLength;
    clip.scriptIndex = int32_t(masterIndex);
    d.clips.push_back(clip);
    d.scriptCount = int32_t(d.scripts.size());
    d.clipCount = int32_t(d.clips.size());
    place = {int32_t(masterIndex), int32_t(d.clips.size() - 1), firstFree};
    return true;
}

std::vector<std::string> OverwrittenTracks(const demo::DemoFile& d, const Tracks& t) {
    std::vector<std::string> lines;
    for (const Track& track : t.tracks) {
        if (track.keys.empty()) continue;
        for (size_t i = 0; i < d.scripts.size(); ++i) {
            const demo::Script& s = d.scripts[i];
            if (ReadBakeMark(s)) continue;
            bool stores = false;
            for (size_t at = 0; at < s.code.size() && !stores;
                 at += size_t(demo::InstructionLength(s.code[at])))
                stores = s.code[at] == demo::STOREF && at + 1 < s.code.size() &&
                         s.code[at + 1] == track.floatIndex;
            if (!stores) continue;
            lines.push_back("track '" + track.name + "' is keyed, but script " + std::to_string(i) +
                            " stores into float variable " + std::to_string(track.floatIndex) +
                            " too: from there on in each frame the script's value replaces the "
                            "key's");
            break;
        }
    }
    return lines;
}

std::optional<BakeMark> ReadBakeMark(const demo::Script& script) {
    const std::vector<uint8_t>& code = script.code;
    const std::string_view text(reinterpret_cast<const char*>(code.data()), code.size());
    const size_t at = text.rfind(kMarkPrefix);
    // The mark follows PUSHI <the code's length> JMP.
    if (at == std::string_view::npos || at < 6 || code[at - 1] != demo::JMP ||
        code[at - 6] != demo::PUSHI)
        return std::nullopt;
    int32_t target;
    std::memcpy(&target, &code[at - 5], 4);
    if (target != int32_t(code.size())) return std::nullopt;
    BakeMark mark;
    mark.markAt = at;
    std::string_view rest = text.substr(at + std::strlen(kMarkPrefix));
    std::vector<std::string> words;
    while (!rest.empty()) {
        const size_t space = rest.find(' ');
        words.emplace_back(rest.substr(0, space));
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    }
    if (words.empty() || (words[0] != "tracks" && words[0] != "track")) return std::nullopt;
    mark.master = words[0] == "tracks";
    mark.names.assign(words.begin() + 1, words.end());
    if (!mark.master && mark.names.size() != 1) return std::nullopt;
    return mark;
}

}  // namespace tools::sync
