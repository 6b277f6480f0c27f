#include <gtest/gtest.h>

#include "core/text.h"

using core::Cp1252ToUtf8;

TEST(Cp1252, AsciiStaysAndLatin1BecomesTwoBytes) {
    EXPECT_EQ(Cp1252ToUtf8("demoplayer \xDF"), "demoplayer \xC3\x9F");
    EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Cp1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
}

TEST(Cp1252, TheWindowsPunctuationRangeAndItsUnassignedBytes) {
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");                    // euro sign
    EXPECT_EQ(Cp1252ToUtf8("\x93x\x94"), "\xE2\x80\x9Cx\xE2\x80\x9D");  // curly quotes
    EXPECT_EQ(Cp1252ToUtf8("\x9F"), "\xC5\xB8");                        // Y with diaeresis
    EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
}

TEST(Cp1252, DisplayTextKeepsUtf8AndConvertsEverythingElse) {
    EXPECT_TRUE(core::IsValidUtf8("plain"));
    EXPECT_TRUE(core::IsValidUtf8("\xC3\x9F\xE2\x82\xAC\xF0\x9F\x8E\xB5"));
    EXPECT_FALSE(core::IsValidUtf8("\xDF"));          // a lone cp1252 sharp s
    EXPECT_FALSE(core::IsValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(core::IsValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(core::IsValidUtf8("\xE2\x82"));      // cut short
    EXPECT_EQ(core::DisplayText("data\\r\xF6"
                                "ck.jpg"),
              "data\\r\xC3\xB6"
              "ck.jpg");
    EXPECT_EQ(core::DisplayText("r\xC3\xB6"
                                "ck"),
              "r\xC3\xB6"
              "ck");
}

TEST(Cp1252, EveryDefinedByteRoundTripsAndTheC1ControlsHaveNoByte) {
    for (int b = 0; b < 256; ++b) {
        char32_t cp = core::Cp1252CodePoint(uint8_t(b));
        if (core::Cp1252Defined(uint8_t(b))) EXPECT_EQ(core::Cp1252Byte(cp), b) << b;
        else EXPECT_EQ(core::Cp1252Byte(cp), -1) << b;
    }
    EXPECT_EQ(core::Cp1252Byte(0x20AC), 0x80);
    EXPECT_EQ(core::Cp1252Byte(0x0100), -1);  // A with macron: not in the page
}

TEST(Cp1252, LatinLettersFoldToTheirSmallLetter) {
    using core::FoldLatinCase;
    EXPECT_EQ(FoldLatinCase('A'), U'a');
    EXPECT_EQ(FoldLatinCase('z'), U'z');
    EXPECT_EQ(FoldLatinCase('@'), U'@');
    EXPECT_EQ(FoldLatinCase(0xC4), 0xE4u);    // Ä
    EXPECT_EQ(FoldLatinCase(0xDE), 0xFEu);    // Þ
    EXPECT_EQ(FoldLatinCase(0xD7), 0xD7u);    // multiplication sign
    EXPECT_EQ(FoldLatinCase(0xDF), 0xDFu);    // sharp s
    EXPECT_EQ(FoldLatinCase(0x160), 0x161u);  // Š
    EXPECT_EQ(FoldLatinCase(0x152), 0x153u);  // Œ
    EXPECT_EQ(FoldLatinCase(0x17D), 0x17Eu);  // Ž
    EXPECT_EQ(FoldLatinCase(0x178), 0xFFu);   // Ÿ
    // Every small letter of the page is its own fold.
    for (int b = 0; b < 256; ++b) {
        char32_t folded = FoldLatinCase(core::Cp1252CodePoint(uint8_t(b)));
        EXPECT_EQ(FoldLatinCase(folded), folded) << b;
    }
}
