#include "tools/render/frame_names.h"

#include <cctype>

namespace tools {

bool IsFramePattern(const std::string& text) { return text.find('%') != std::string::npos; }

bool ParseFramePattern(const std::string& text, FramePattern& out, std::string& error) {
    out = FramePattern{};
    bool haveNumber = false;
    std::string* part = &out.head;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *part += text[i];
            continue;
        }
        size_t j = i + 1;
        if (j < text.size() && text[j] == '%') {
            *part += '%';
            i = j;
            continue;
        }
        bool zeros = j < text.size() && text[j] == '0';
        if (zeros) ++j;
        int digits = 0;
        while (j < text.size() && std::isdigit(uint8_t(text[j])) && digits <= 32)
            digits = digits * 10 + (text[j++] - '0');
        if (j >= text.size() || text[j] != 'd' || digits > 32) {
            error = "the pattern '" + text +
                    "' may hold only %d, %0Nd or %Nd (N up to 32) for the frame number, and %% "
                    "for a '%'";
            return false;
        }
        if (haveNumber) {
            error = "the pattern '" + text + "' holds more than one frame number";
            return false;
        }
        haveNumber = true;
        out.zeros = zeros;
        out.digits = digits;
        part = &out.tail;
        i = j;
    }
    if (!haveNumber) {
        error = "the pattern '" + text + "' holds no frame number (%d or %05d)";
        return false;
    }
    return true;
}

std::string FramePatternName(const FramePattern& pattern, int64_t index) {
    std::string number = std::to_string(index);
    if (int(number.size()) < pattern.digits)
        number.insert(0, size_t(pattern.digits) - number.size(), pattern.zeros ? '0' : ' ');
    return pattern.head + number + pattern.tail;
}

}  // namespace tools
