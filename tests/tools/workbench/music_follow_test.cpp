#include "tools/workbench/music_follow.h"

#include <gtest/gtest.h>

using namespace tools;

TEST(MusicFollow, PlaysFromThePlayheadOnlyWhilePlayingAtOneX) {
    Transport t;
    bool playing = false;
    EXPECT_EQ(FollowMusic(t, playing), MusicStep::PlayFromPlayhead);
    EXPECT_TRUE(playing);
    t.paused = true;
    EXPECT_EQ(FollowMusic(t, playing), MusicStep::Pause);
    EXPECT_FALSE(playing);
    EXPECT_EQ(FollowMusic(t, playing), MusicStep::None);  // already silent
    t.paused = false;
    t.speed = 2;
    EXPECT_EQ(FollowMusic(t, playing), MusicStep::None);
    t.speed = 1;
    EXPECT_EQ(FollowMusic(t, playing), MusicStep::PlayFromPlayhead);
}

TEST(MusicFollow, ASeekBackPastTheMusicsEndPlaysItAgain) {
    // The stream ended at 90 s while the transport played on; every jump restarts it from
    // the playhead, whatever the music did meanwhile.
    Transport t;
    t.frame = FrameAtOrBefore(120000, t.fps);
    bool playing = true;
    EXPECT_EQ(FollowMusic(t, playing), MusicStep::PlayFromPlayhead);
    Apply(t, Action::Home);
    EXPECT_EQ(FollowMusic(t, playing), MusicStep::PlayFromPlayhead);
    EXPECT_EQ(t.TimeMs(), 0);
}
