#include "tools/sync/track_files.h"

#include <expat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "core/command_line.h"
#include "core/file_io.h"

namespace tools::sync {
namespace {

constexpr const char* kInterpolationNames[kInterpolationCount] = {"step", "linear", "smooth",
                                                                  "ramp"};

// The shortest decimal form that reads back as the same float.
std::string FloatText(float v) {
    char buf[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, double(v));
        if (std::strtof(buf, nullptr) == v) break;
    }
    return buf;
}

bool ParseRow(std::string_view text, int32_t& row) {
    return core::ParseNumber(text, row) && row >= 0;
}

bool ParseValue(std::string_view text, float& value) {
    double v = 0;
    if (!core::ParseDecimal(text, v) || !std::isfinite(v) ||
        std::fabs(v) > double(std::numeric_limits<float>::max()))
        return false;
    value = float(v);
    return true;
}

bool ParseInterpolation(std::string_view text, Interpolation& out) {
    for (int i = 0; i < kInterpolationCount; ++i)
        if (text == kInterpolationNames[i] || text == std::to_string(i)) {
            out = Interpolation(i);
            return true;
        }
    return false;
}

void NoteTrack(TracksFile& f, const std::string& name) {
    for (const std::string& n : f.trackNames)
        if (n == name) return;
    f.trackNames.push_back(name);
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
            ++end;
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

}  // namespace

std::string FormatTracksText(const Tracks& t) {
    std::string out =
        "; qv tracks: one key per line: track, row, value, interpolation "
        "(step, linear, smooth, ramp)\n";
    char tempo[64];
    std::snprintf(tempo, sizeof tempo, "bpm %.17g\nrows-per-beat %d\n", t.bpm, int(t.rowsPerBeat));
    out += tempo;
    for (const Track& track : t.tracks)
        for (const Key& k : track.keys)
            out += track.name + ' ' + std::to_string(k.row) + ' ' + FloatText(k.value) + ' ' +
                   kInterpolationNames[int(k.interpolation)] + '\n';
    return out;
}

bool ParseTracksText(std::string_view text, const std::string& fileName, TracksFile& out,
                     std::string& error) {
    out = {};
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        error = fileName + ":" + std::to_string(lineNumber) + ": error: " + what;
        return false;
    };
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (const size_t comment = line.find(';'); comment != std::string_view::npos)
            line = line.substr(0, comment);
        const std::vector<std::string_view> w = Words(line);
        if (w.empty()) continue;
        if (w[0] == "bpm") {
            double bpm = 0;
            if (w.size() != 2 || !core::ParseDecimal(w[1], bpm) || !(bpm > 0) || bpm > 1e6)
                return fail("expected 'bpm B' with B above 0");
            out.bpm = bpm;
            continue;
        }
        if (w[0] == "rows-per-beat") {
            int32_t r = 0;
            if (w.size() != 2 || !core::ParseNumber(w[1], r) || r < 1 || r > 1000000)
                return fail("expected 'rows-per-beat R' with R from 1 to 1000000");
            out.rowsPerBeat = r;
            continue;
        }
        if (w.size() != 4) return fail("expected 'TRACK ROW VALUE INTERPOLATION'");
        NamedKey k;
        k.track = std::string(w[0]);
        if (!ParseRow(w[1], k.key.row)) return fail("the row must be a whole number from 0 up");
        if (!ParseValue(w[2], k.key.value)) return fail("the value must be a finite number");
        if (!ParseInterpolation(w[3], k.key.interpolation))
            return fail("the interpolation is step, linear, smooth or ramp (or 0 to 3)");
        NoteTrack(out, k.track);
        out.keys.push_back(std::move(k));
    }
    return true;
}

namespace {

std::string XmlEscaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

struct XmlReader {
    TracksFile* out = nullptr;
    std::string fileName, error;
    std::string track;  // the open <track>'s name
    bool inTracks = false, inTrack = false;
    XML_Parser parser = nullptr;

    void Fail(const std::string& what) {
        if (error.empty())
            error = fileName + ":" + std::to_string(XML_GetCurrentLineNumber(parser)) +
                    ": error: " + what;
        XML_StopParser(parser, XML_FALSE);
    }
    static const char* Attribute(const char** attributes, const char* name) {
        for (int i = 0; attributes[i]; i += 2)
            if (std::string_view(attributes[i]) == name) return attributes[i + 1];
        return nullptr;
    }
    void Start(std::string_view element, const char** attributes) {
        if (element == "tracks") {
            inTracks = true;
        } else if (element == "track" && inTracks && !inTrack) {
            const char* name = Attribute(attributes, "name");
            if (!name) return Fail("a <track> without a name");
            track = name;
            inTrack = true;
            NoteTrack(*out, track);
        } else if (element == "key" && inTrack) {
            const char* row = Attribute(attributes, "row");
            const char* value = Attribute(attributes, "value");
            const char* interpolation = Attribute(attributes, "interpolation");
            NamedKey k{track, {}};
            if (!row || !ParseRow(row, k.key.row))
                return Fail("a <key> needs a row that is a whole number from 0 up");
            if (!value || !ParseValue(value, k.key.value))
                return Fail("a <key> needs a value that is a finite number");
            if (interpolation && !ParseInterpolation(interpolation, k.key.interpolation))
                return Fail("a <key>'s interpolation is 0 to 3");
            out->keys.push_back(std::move(k));
        }
        // Other elements and attributes (an editor's own settings) are not ours to read.
    }
    void End(std::string_view element) {
        if (element == "track") inTrack = false;
        if (element == "tracks") inTracks = false;
    }
};

}  // namespace

std::string FormatTracksXml(const Tracks& t) {
    std::string out = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<tracks>\n";
    for (const Track& track : t.tracks) {
        out += "\t<track name=\"" + XmlEscaped(track.name) + "\">\n";
        for (const Key& k : track.keys)
            out += "\t\t<key row=\"" + std::to_string(k.row) + "\" value=\"" + FloatText(k.value) +
                   "\" interpolation=\"" + std::to_string(int(k.interpolation)) + "\"/>\n";
        out += "\t</track>\n";
    }
    return out + "</tracks>\n";
}

bool ParseTracksXml(std::string_view text, const std::string& fileName, TracksFile& out,
                    std::string& error) {
    out = {};
    XmlReader r;
    r.out = &out;
    r.fileName = fileName;
    r.parser = XML_ParserCreate(nullptr);
    if (!r.parser) {
        error = fileName + ": out of memory";
        return false;
    }
    XML_SetUserData(r.parser, &r);
    XML_SetElementHandler(
        r.parser,
        [](void* data, const XML_Char* element, const XML_Char** attributes) {
            static_cast<XmlReader*>(data)->Start(element, attributes);
        },
        [](void* data, const XML_Char* element) { static_cast<XmlReader*>(data)->End(element); });
    const bool parsed =
        text.size() <= size_t(std::numeric_limits<int>::max()) &&
        XML_Parse(r.parser, text.data(), int(text.size()), XML_TRUE) == XML_STATUS_OK;
    if (!parsed && r.error.empty())
        r.error = fileName + ":" + std::to_string(XML_GetCurrentLineNumber(r.parser)) +
                  ": error: not well-formed XML: " + XML_ErrorString(XML_GetErrorCode(r.parser));
    XML_ParserFree(r.parser);
    error = r.error;
    return error.empty();
}

bool ParseTracksFile(std::string_view text, const std::string& fileName, TracksFile& out,
                     std::string& error) {
    size_t first = text.find_first_not_of(" \t\r\n");
    if (text.starts_with("\xEF\xBB\xBF")) first = text.find_first_not_of(" \t\r\n", 3);
    if (first != std::string_view::npos && text[first] == '<')
        return ParseTracksXml(text, fileName, out, error);
    return ParseTracksText(text, fileName, out, error);
}

void ApplyTracksFile(const TracksFile& file, Tracks& t, std::vector<std::string>& warnings) {
    if (file.bpm) t.bpm = *file.bpm;
    if (file.rowsPerBeat) t.rowsPerBeat = *file.rowsPerBeat;
    for (const std::string& name : file.trackNames)
        if (!FindTrack(t, name))
            warnings.push_back("track '" + name +
                               "' is no float variable of the demo; its keys are left out");
    for (const NamedKey& k : file.keys)
        if (Track* track = FindTrack(t, k.track)) SetKey(*track, k.key);
}

bool LoadTracksFile(const std::string& path, Tracks& t, std::vector<std::string>& warnings,
                    std::string& error) {
    std::string text, why;
    if (!core::ReadWholeFile(path, text, &why)) {
        error = why;
        return false;
    }
    TracksFile file;
    if (!ParseTracksFile(text, path, file, error)) return false;
    ApplyTracksFile(file, t, warnings);
    return true;
}

bool TracksForSource(const std::string& sourcePath, const std::string& file, int32_t floatCount,
                     const std::vector<std::string>& names, std::optional<double> bpm, Tracks& out,
                     std::string& fileUsed, std::vector<std::string>& warnings,
                     std::string& error) {
    out = TracksForVariables(floatCount, names);
    if (bpm) out.bpm = *bpm;
    fileUsed = file;
    std::error_code ec;
    if (fileUsed.empty() && sourcePath != "-" &&
        std::filesystem::is_regular_file(TracksPathFor(sourcePath), ec))
        fileUsed = TracksPathFor(sourcePath);
    return fileUsed.empty() || LoadTracksFile(fileUsed, out, warnings, error);
}

std::string TracksPathFor(const std::string& sourcePath) {
    return std::filesystem::path(sourcePath).replace_extension(".qvt").string();
}

std::string TracksXmlPathFor(const std::string& sourcePath) {
    return std::filesystem::path(sourcePath).replace_extension(".rocket.xml").string();
}

}  // namespace tools::sync
