#include "demo/demo_file.h"

#include <cstdio>

#include "core/byte_reader.h"

namespace demo {
namespace {

// Reads the sections through one cursor; the first failure stops everything and says which
// section and item were being read.
struct SectionReader {
    core::ByteReader in;
    const std::string& fileName;
    DemoResult result;

    bool Fail(DemoStatus status, const std::string& what) {
        if (result.Ok()) result = {status, fileName + ": " + what};
        return false;
    }
    bool Truncated(const std::string& where) {
        return Fail(DemoStatus::Truncated, "file ends inside " + where);
    }

    static std::string Item(const char* noun, int32_t i, int32_t n) {
        return " (" + std::string(noun) + " " + std::to_string(i) + " of " + std::to_string(n) +
               ")";
    }

    bool ReadI32(int32_t& v, const std::string& where) { return in.ReadI32(v) || Truncated(where); }

    // int32 length n, then n bytes (none when n <= 0).
    bool ReadCounted(int32_t& storedLength, std::string& bytes, const std::string& where) {
        if (!ReadI32(storedLength, where)) return false;
        if (storedLength <= 0) return true;
        // Checked before the bytes are taken: a length beyond the end allocates nothing.
        return in.ReadText(size_t(storedLength), bytes) || Truncated(where);
    }

    bool ReadScript(Script& s, const std::string& where) {
        std::string code;
        if (!ReadCounted(s.length, code, where)) return false;
        s.code.assign(code.begin(), code.end());
        return true;
    }

    bool ReadTextTable(int32_t& count, std::vector<CountedText>& table, const char* tableName,
                       const char* noun) {
        if (!ReadI32(count, std::string("the ") + tableName + " count")) return false;
        // Items are appended as they are read, so a count far beyond the file's size never
        // allocates more than the file can hold.
        table.clear();
        for (int32_t i = 0; i < count; ++i) {
            CountedText& t = table.emplace_back();
            if (!ReadCounted(t.storedLength, t.bytes,
                             std::string("the ") + tableName + Item(noun, i, count)))
                return false;
        }
        return true;
    }

    bool ReadClip(Clip& c, const std::string& where) {
        bool ok = in.ReadU8(c.track) && in.ReadI32(c.start) && in.ReadI32(c.length) &&
                  in.ReadI32(c.scriptIndex) && in.ReadF32(c.translateX) &&
                  in.ReadF32(c.translateY) && in.ReadF32(c.translateZ) && in.ReadF32(c.rotateX) &&
                  in.ReadF32(c.rotateY) && in.ReadF32(c.rotateZ);
        return ok || Truncated(where);
    }

    bool ReadAll(DemoFile& d) {
        std::string magic;
        // A file that ends inside the magic is a short file like any other (the reader's own
        // message naming the file), not the "wrong magic" box.
        if (!in.ReadText(10, magic)) return Truncated("the magic");
        if (magic != kDemoMagic) return Fail(DemoStatus::BadMagic, "wrong magic");

        if (!ReadI32(d.scriptCount, "the script count")) return false;
        d.scripts.clear();
        for (int32_t i = 0; i < d.scriptCount; ++i)
            if (!ReadScript(d.scripts.emplace_back(),
                            "the script table" + Item("script", i, d.scriptCount)))
                return false;

        if (!ReadI32(d.clipCount, "the clip count")) return false;
        d.clips.clear();
        for (int32_t i = 0; i < d.clipCount; ++i)
            if (!ReadClip(d.clips.emplace_back(), "the clip table" + Item("clip", i, d.clipCount)))
                return false;

        for (int k = 0; k < kTrackCount; ++k)
            for (uint8_t& b : d.trackRecords[k])
                if (!in.ReadU8(b))
                    return Truncated("the track records" + Item("track", k, kTrackCount));

        if (!ReadTextTable(d.textureCount, d.textureSources, "texture sources", "texture") ||
            !ReadTextTable(d.pathCount, d.pathStrings, "path strings", "path") ||
            !ReadI32(d.intVarCount, "the variable counts") ||
            !ReadI32(d.floatVarCount, "the variable counts") ||
            !ReadCounted(d.musicFile.storedLength, d.musicFile.bytes, "the music file name") ||
            !ReadTextTable(d.modelCount, d.modelSources, "model sources", "model") ||
            !ReadScript(d.trailingScript, "the trailing script"))
            return false;

        in.ReadText(in.Remaining(), d.bytesAfterEnd);
        return true;
    }
};

void AppendCounted(std::string& out, int32_t storedLength, const std::string& bytes) {
    core::AppendI32(out, storedLength);
    if (storedLength > 0) out.append(bytes, 0, std::min(bytes.size(), size_t(storedLength)));
    // A record whose bytes are shorter than its length cannot come from the reader; pad so
    // the written file still parses.
    if (storedLength > 0 && bytes.size() < size_t(storedLength))
        out.append(size_t(storedLength) - bytes.size(), '\0');
}

void AppendTextTable(std::string& out, int32_t count, const std::vector<CountedText>& table) {
    core::AppendI32(out, count);
    for (int32_t i = 0; i < count; ++i) {
        const CountedText empty;
        const CountedText& t = size_t(i) < table.size() ? table[i] : empty;
        AppendCounted(out, t.storedLength, t.bytes);
    }
}

void AppendScript(std::string& out, const Script& s) {
    AppendCounted(out, s.length, std::string(s.code.begin(), s.code.end()));
}

}  // namespace

DemoResult ParseTitle(std::span<const uint8_t> bytes, const std::string& fileName,
                      std::string& title, size_t& sectionsOffset) {
    title.clear();
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == kTitleEnd) {
            title.assign(reinterpret_cast<const char*>(bytes.data()), i);
            sectionsOffset = i + 1;
            return {};
        }
    }
    return {DemoStatus::Truncated, fileName + ": file ends inside the title (no byte 26)"};
}

DemoResult ParseDemoSections(std::span<const uint8_t> bytes, size_t sectionsOffset,
                             const std::string& fileName, DemoFile& demo) {
    SectionReader r{core::ByteReader(bytes), fileName, {}};
    r.in.pos = std::min(sectionsOffset, bytes.size());
    r.ReadAll(demo);
    return r.result;
}

DemoResult ParseDemoFile(std::span<const uint8_t> bytes, const std::string& fileName,
                         DemoFile& demo) {
    size_t offset = 0;
    DemoResult r = ParseTitle(bytes, fileName, demo.title, offset);
    if (!r.Ok()) return r;
    return ParseDemoSections(bytes, offset, fileName, demo);
}

std::string WriteDemoFile(const DemoFile& d) {
    std::string out = d.title;
    out.push_back(char(kTitleEnd));
    out += kDemoMagic;
    core::AppendI32(out, d.scriptCount);
    for (int32_t i = 0; i < d.scriptCount; ++i)
        AppendScript(out, size_t(i) < d.scripts.size() ? d.scripts[i] : Script{});
    core::AppendI32(out, d.clipCount);
    for (int32_t i = 0; i < d.clipCount; ++i) {
        const Clip c = size_t(i) < d.clips.size() ? d.clips[i] : Clip{};
        out.push_back(char(c.track));
        for (int32_t v : {c.start, c.length, c.scriptIndex}) core::AppendI32(out, v);
        for (float f : {c.translateX, c.translateY, c.translateZ, c.rotateX, c.rotateY, c.rotateZ})
            core::AppendF32(out, f);
    }
    for (const auto& track : d.trackRecords) out.append(track.begin(), track.end());
    AppendTextTable(out, d.textureCount, d.textureSources);
    AppendTextTable(out, d.pathCount, d.pathStrings);
    core::AppendI32(out, d.intVarCount);
    core::AppendI32(out, d.floatVarCount);
    AppendCounted(out, d.musicFile.storedLength, d.musicFile.bytes);
    AppendTextTable(out, d.modelCount, d.modelSources);
    AppendScript(out, d.trailingScript);
    out += d.bytesAfterEnd;
    return out;
}

}  // namespace demo
