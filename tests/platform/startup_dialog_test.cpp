#include <gtest/gtest.h>

#include "platform/startup_dialog.h"

using namespace platform;

TEST(StartupChoice, DefaultsAreFullScreen800x600WithoutStart) {
    StartupChoice c;
    EXPECT_FALSE(c.start);
    EXPECT_EQ(c.width, 800);
    EXPECT_EQ(c.height, 600);
    EXPECT_TRUE(c.fullscreen);
    EXPECT_STREQ(kResolutions[kDefaultResolution].text, "800x600");
}

TEST(StartupChoice, ListIndexGivesTheSizeAndNoSelectionChangesNothing) {
    StartupChoice c;
    const char* texts[] = {"640x480", "800x600", "1024x768", "1280x1024"};
    for (int i = 0; i < kResolutionCount; ++i) {
        ChooseResolution(c, i);
        EXPECT_STREQ(kResolutions[i].text, texts[i]);
        EXPECT_EQ(std::to_string(c.width) + "x" + std::to_string(c.height), texts[i]);
    }
    ChooseResolution(c, -1);  // CB_ERR: nothing selected
    ChooseResolution(c, 4);
    EXPECT_EQ(c.width, 1280);
    EXPECT_EQ(c.height, 1024);
}

TEST(StartupChoice, WindowedBoxTogglesAndFullScreenExactlyWhenUnchecked) {
    StartupChoice c;
    bool checked = false;
    checked = ClickWindowed(c, checked);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(c.fullscreen);
    checked = ClickWindowed(c, checked);
    EXPECT_FALSE(checked);
    EXPECT_TRUE(c.fullscreen);
}

// FLTK reads '@' in a label as the start of a symbol name: a lone '@' would cut the title
// there ("R&D demo @ party" showed as "R&D demo"). "@@" draws one '@'.
TEST(StartupTitle, EveryCharacterReachesTheLabelAsItStands) {
    EXPECT_EQ(TitleLabel("R&D demo @ party 2003"), "R&D demo @@ party 2003");
    EXPECT_EQ(TitleLabel("@home"), "@@home");               // a leading symbol
    EXPECT_EQ(TitleLabel("mail@"), "mail@@");               // a trailing one
    EXPECT_EQ(TitleLabel("a@@b"), "a@@@@b");                // already doubled: both kept
    EXPECT_EQ(TitleLabel("&Start && go"), "&Start && go");  // no shortcut in a static text
    EXPECT_EQ(TitleLabel(""), "");
}

TEST(StartupTitle, WindowsBytesBecomeUtf8) {
    EXPECT_EQ(TitleLabel("Nacht \xDF @ \x80"), "Nacht \xC3\x9F @@ \xE2\x82\xAC");
}
