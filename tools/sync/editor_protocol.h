// The demo's side of a conversation with a sync tracker's editor, from the first byte: the
// greetings, one GET_TRACK per track, then the editor's messages applied to the tracks.
// Pure: the caller moves the bytes (platform/workbench/tcp_connection.h).
#pragma once
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/sync/sync_tracks.h"

namespace tools::sync {

// What the editor's messages asked of the demo.
struct EditorEvents {
    bool keysChanged = false;
    int32_t firstRowChanged = std::numeric_limits<int32_t>::max();  // the earliest row reached
    std::optional<int32_t> seekRow;                                 // the last SET_ROW
    std::optional<bool> pause;                                      // the last PAUSE
    bool save = false;
};

class EditorProtocol {
public:
    // A new connection: what to send first. The editor's keys will replace the tracks' keys.
    std::string Start();
    // Takes bytes from the editor: applies its messages to t, says what they asked in events
    // and appends what to send back to reply. False on a malformed conversation, with error
    // saying what was wrong: the connection must then be closed.
    bool Take(std::span<const uint8_t> bytes, Tracks& t, EditorEvents& events, std::string& reply,
              std::string& error);
    bool Greeted() const { return greeted_; }

private:
    bool greeted_ = false;
    std::vector<uint8_t> pending_;
};

}  // namespace tools::sync
