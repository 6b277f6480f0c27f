// The BMP decoder on arbitrary bytes: never a read or write outside a buffer.
#include "fuzz/decoder_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckDecoded(textures::DecodeBMP({data, size}, "data\\fuzz"));
    return 0;
}
