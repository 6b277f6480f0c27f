// Texture programs as stored: the slot's bytes after the marker byte 2, parsed into operation
// records and encoded back.
//
// Byte format, little-endian, no padding: int32 operation count N; then N operations of
// opcode (u8), parameter count K (u8) and K parameters of int32 value, label length L (u8) and
// L label bytes. Labels are carried along and never used; bytes after the N-th operation are
// ignored.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/byte_reader.h"

namespace demo {

struct TexParam {  // traditional name: fParam
    int32_t value = 0;
    std::string label;
};

struct TexOperation {  // traditional name: fData
    uint8_t opcode = 0;
    std::vector<TexParam> params;  // as many as the stored parameter count
};

struct TexProgram {
    int32_t storedCount = 0;               // the operation count as stored
    std::vector<TexOperation> operations;  // the operations read completely
    bool complete = true;  // false when the bytes ended before the stored count was reached
};

// One operation at the cursor; false, with the cursor where it was, when the bytes end inside it.
bool ReadTexOperation(core::ByteReader& in, TexOperation& op);

// Reads a program. A program whose bytes end early keeps the operations read completely; a
// count of 0 or less gives none.
TexProgram ParseTexProgram(std::span<const uint8_t> bytes);

// Appends the stored form of one operation (at most 255 parameters and labels of at most 255
// bytes; the caller checks).
void AppendTexOperation(std::string& out, const TexOperation& op);

// The stored form of a list of operations (the inverse of ParseTexProgram).
std::vector<uint8_t> EncodeTexProgram(const std::vector<TexOperation>& operations);

}  // namespace demo
