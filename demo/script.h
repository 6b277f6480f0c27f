// The Script record: one compiled byte program of the script table.
#pragma once
#include <cstdint>
#include <vector>

namespace demo {

struct Script {
    int32_t length = 0;         // as stored; 0 or less means no code
    std::vector<uint8_t> code;  // max(length, 0) bytes
};

}  // namespace demo
