#include <gtest/gtest.h>

#include "tools/video/video_jobs.h"

namespace tools {
namespace {

// Every frame in exactly one segment, in order, the sizes at most one frame apart.
void ExpectEvenCover(const std::vector<VideoSegment>& plan, int64_t frames, size_t pieces) {
    ASSERT_EQ(plan.size(), pieces);
    int64_t next = 0, smallest = frames, largest = 0;
    for (const VideoSegment& s : plan) {
        EXPECT_EQ(s.firstFrame, next);
        EXPECT_GT(s.frames, 0);
        next += s.frames;
        smallest = std::min(smallest, s.frames);
        largest = std::max(largest, s.frames);
    }
    EXPECT_EQ(next, frames);
    EXPECT_LE(largest - smallest, 1);
}

TEST(VideoJobs, SegmentsCoverEveryFrameOnceAndEvenly) {
    ExpectEvenCover(PlanSegments(5041, 2), 5041, 2);
    ExpectEvenCover(PlanSegments(83, 3), 83, 3);
    ExpectEvenCover(PlanSegments(100, 7), 100, 7);
    ExpectEvenCover(PlanSegments(1, 1), 1, 1);
}

TEST(VideoJobs, NoMoreSegmentsThanFramesAndNoneForNothing) {
    ExpectEvenCover(PlanSegments(3, 8), 3, 3);
    EXPECT_TRUE(PlanSegments(0, 4).empty());
    EXPECT_TRUE(PlanSegments(10, 0).empty());
}

}  // namespace
}  // namespace tools
