#include "tools/sync/rocket_protocol.h"

#include <cstring>

namespace tools::sync {
namespace {

uint32_t ReadBig32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void AppendBig32(std::string& out, uint32_t v) {
    out += char(v >> 24);
    out += char(v >> 16);
    out += char(v >> 8);
    out += char(v);
}

// Bytes after the command byte.
size_t PayloadBytes(Command c) {
    switch (c) {
        case Command::SetKey: return 13;
        case Command::DeleteKey: return 8;
        case Command::SetRow: return 4;
        case Command::Pause: return 1;
        default: return 0;
    }
}

}  // namespace

Decoded DecodeMessage(std::span<const uint8_t> bytes, size_t trackCount, Message& out, size_t& used,
                      std::string& error) {
    used = 0;
    if (bytes.empty()) return Decoded::NeedMore;
    const uint8_t command = bytes[0];
    if (command > uint8_t(Command::SaveTracks) || command == uint8_t(Command::GetTrack)) {
        error = "unknown command " + std::to_string(command) + " from the editor";
        return Decoded::Malformed;
    }
    out = {};
    out.command = Command(command);
    const size_t payload = PayloadBytes(out.command);
    if (bytes.size() < 1 + payload) return Decoded::NeedMore;
    const uint8_t* p = bytes.data() + 1;
    auto row = [&](const uint8_t* at) {
        const uint32_t r = ReadBig32(at);
        out.row = int32_t(r);
        if (r > 0x7FFFFFFFu) error = "row " + std::to_string(r) + " is out of range";
        return r <= 0x7FFFFFFFu;
    };
    auto track = [&](const uint8_t* at) {
        out.track = ReadBig32(at);
        if (out.track >= trackCount)
            error = "track " + std::to_string(out.track) + " was never asked for (" +
                    std::to_string(trackCount) + " tracks)";
        return out.track < trackCount;
    };
    switch (out.command) {
        case Command::SetKey: {
            if (!track(p) || !row(p + 4)) return Decoded::Malformed;
            const uint32_t bits = ReadBig32(p + 8);
            std::memcpy(&out.value, &bits, 4);
            out.interpolation = p[12];
            if (out.interpolation > 3) {
                error = "interpolation " + std::to_string(out.interpolation) + " is not 0 to 3";
                return Decoded::Malformed;
            }
            break;
        }
        case Command::DeleteKey:
            if (!track(p) || !row(p + 4)) return Decoded::Malformed;
            break;
        case Command::SetRow:
            if (!row(p)) return Decoded::Malformed;
            break;
        case Command::Pause: out.pause = p[0] != 0; break;
        default: break;
    }
    used = 1 + payload;
    return Decoded::Message;
}

std::string EncodeGetTrack(const std::string& name) {
    std::string out(1, char(Command::GetTrack));
    AppendBig32(out, uint32_t(name.size()));
    return out + name;
}

std::string EncodeSetRow(int32_t row) {
    std::string out(1, char(Command::SetRow));
    AppendBig32(out, uint32_t(row));
    return out;
}

std::string EncodeSetKey(uint32_t track, int32_t row, float value, uint8_t interpolation) {
    std::string out(1, char(Command::SetKey));
    AppendBig32(out, track);
    AppendBig32(out, uint32_t(row));
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    AppendBig32(out, bits);
    return out + char(interpolation);
}

std::string EncodeDeleteKey(uint32_t track, int32_t row) {
    std::string out(1, char(Command::DeleteKey));
    AppendBig32(out, track);
    AppendBig32(out, uint32_t(row));
    return out;
}

std::string EncodePause(bool pause) { return std::string(1, char(Command::Pause)) + char(pause); }

std::string EncodeSaveTracks() { return std::string(1, char(Command::SaveTracks)); }

}  // namespace tools::sync
