// Sync tracks from outside: a tracks file (text or an editor's XML) and an editor's bytes on
// the wire. What reads is baked, and the bake's scripts read back their marks.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "tools/sync/bake.h"
#include "tools/sync/editor_protocol.h"
#include "tools/sync/track_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tools::sync;
    Tracks tracks = TracksForVariables(3, {"a", "b"});
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TracksFile file;
    std::string error;
    std::vector<std::string> warnings;
    if (ParseTracksFile(text, "fuzz.qvt", file, error)) ApplyTracksFile(file, tracks, warnings);

    // The same bytes from an editor, in two pieces, after its greeting.
    EditorProtocol editor;
    editor.Start();
    EditorEvents events;
    std::string reply;
    const std::string greeting = "hello, demo!";
    const std::span<const uint8_t> bytes(data, size);
    if (editor.Take({reinterpret_cast<const uint8_t*>(greeting.data()), greeting.size()}, tracks,
                    events, reply, error) &&
        editor.Take(bytes.first(size / 2), tracks, events, reply, error))
        editor.Take(bytes.subspan(size / 2), tracks, events, reply, error);

    for (const demo::Script& s : BakeScripts(tracks, true, 0)) {
        const auto mark = ReadBakeMark(s);
        if (!mark) __builtin_trap();  // every baked script carries its mark
    }
    demo::Script raw;
    raw.code.assign(data, data + size);
    raw.length = int32_t(size);
    (void)ReadBakeMark(raw);
    return 0;
}
