#include "core/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const std::string& message) {
    const auto md = core::Sha256(message.data(), message.size());
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t b : md) s += {kDigits[b >> 4], kDigits[b & 15]};
    return s;
}

}  // namespace

// The standard test vectors, plus lengths on both sides of the one- and two-block tails.
TEST(Sha256, MatchesTheStandardVectors) {
    EXPECT_EQ(Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Hex(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Hex(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
    EXPECT_EQ(Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}
