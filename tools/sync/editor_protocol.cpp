#include "tools/sync/editor_protocol.h"

#include <algorithm>
#include <cstring>

#include "tools/sync/rocket_protocol.h"

namespace tools::sync {
namespace {

void NoteEdit(EditorEvents& e, int32_t fromRow) {
    e.keysChanged = true;
    e.firstRowChanged = std::min(e.firstRowChanged, fromRow);
}

void Apply(const Message& m, Tracks& t, EditorEvents& e) {
    switch (m.command) {
        case Command::SetKey:
            NoteEdit(e,
                     SetKey(t.tracks[m.track], {m.row, m.value, Interpolation(m.interpolation)}));
            break;
        case Command::DeleteKey: NoteEdit(e, DeleteKey(t.tracks[m.track], m.row)); break;
        case Command::SetRow: e.seekRow = m.row; break;
        case Command::Pause: e.pause = m.pause; break;
        case Command::SaveTracks: e.save = true; break;
        case Command::GetTrack: break;
    }
}

}  // namespace

std::string EditorProtocol::Start() {
    greeted_ = false;
    pending_.clear();
    return kClientGreeting;
}

bool EditorProtocol::Take(std::span<const uint8_t> bytes, Tracks& t, EditorEvents& events,
                          std::string& reply, std::string& error) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    size_t at = 0;
    if (!greeted_) {
        const size_t size = std::strlen(kServerGreeting);
        if (pending_.size() < size) return true;
        if (std::memcmp(pending_.data(), kServerGreeting, size) != 0) {
            error = "it did not answer as a sync tracker does ('hello, demo!')";
            return false;
        }
        greeted_ = true;
        at = size;
        // The editor holds the keys: what the demo had goes, and the editor sends its own.
        for (Track& track : t.tracks) {
            if (!track.keys.empty()) NoteEdit(events, 0);
            track.keys.clear();
            reply += EncodeGetTrack(track.name);
        }
    }
    for (;;) {
        Message m;
        size_t used = 0;
        const Decoded d =
            DecodeMessage(std::span(pending_).subspan(at), t.tracks.size(), m, used, error);
        if (d == Decoded::Malformed) return false;
        if (d == Decoded::NeedMore) break;
        Apply(m, t, events);
        at += used;
    }
    pending_.erase(pending_.begin(), pending_.begin() + long(at));
    return true;
}

}  // namespace tools::sync
