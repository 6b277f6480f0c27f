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
