// The sync tracker's wire protocol (GNU Rocket), the demo's side: the greetings, the
// messages the editor sends, and the two the demo sends. Pure: bytes in, records out. All
// integers on the wire are 32-bit big-endian; a track is the index of the demo's GET_TRACK
// request, in the order they were sent.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tools::sync {

inline constexpr char kClientGreeting[] = "hello, synctracker!";
inline constexpr char kServerGreeting[] = "hello, demo!";

enum class Command : uint8_t {
    SetKey = 0,      // track, row, value (IEEE bits), interpolation (one byte)
    DeleteKey = 1,   // track, row
    GetTrack = 2,    // demo -> editor: name length, name
    SetRow = 3,      // row: the editor seeks the demo; the demo reports its row
    Pause = 4,       // one byte: 1 pauses, 0 plays
    SaveTracks = 5,  // no payload
};

struct Message {
    Command command = Command::SetRow;
    uint32_t track = 0;
    int32_t row = 0;
    float value = 0;
    uint8_t interpolation = 0;
    bool pause = false;
};

enum class Decoded { Message, NeedMore, Malformed };

// Reads the message at the front of bytes into out and says how many bytes it took. A
// message naming a track beyond trackCount, a row beyond 2^31 - 1, an interpolation beyond 3
// or an unknown command is Malformed, with error saying what was wrong.
Decoded DecodeMessage(std::span<const uint8_t> bytes, size_t trackCount, Message& out, size_t& used,
                      std::string& error);

std::string EncodeGetTrack(const std::string& name);
std::string EncodeSetRow(int32_t row);

// The editor's side, for tests and tools that stand in for an editor.
std::string EncodeSetKey(uint32_t track, int32_t row, float value, uint8_t interpolation);
std::string EncodeDeleteKey(uint32_t track, int32_t row);
std::string EncodePause(bool pause);
std::string EncodeSaveTracks();

}  // namespace tools::sync
