// The cue tracks and rampBetween, stepped frame by frame against demoTime as
// the director steps them. Each test runs its own copy of a track's table.
#include <gtest/gtest.h>

#include "media/music.h"
#include "timeline/cue_tracks.h"

namespace {

CueTrack freshCopy(const CueTrack& track) {
    return CueTrack{track.times, track.count, 0, 0.0f, track.wraps};
}

// A frame at a stream position of ms milliseconds, as the clock reads it.
float streamTime(int ms) {
    return static_cast<float>(ms) * 0.001f;
}

float latchOf(float time) {
    return static_cast<float>(static_cast<double>(time) * 1000.0);
}

void stepAt(CueTrack& track, float time) {
    demoTime = time;
    advanceCueTrack(track);
}

} // namespace

TEST(RampBetween, FollowsTheRule) {
    struct Case {
        float start, end, t, expected;
    } cases[] = {
        {46, 50, 48, 0.5f}, {46, 50, 46, 0.0f},     {46, 50, 50, 1.0f},       {46, 50, 45.9f, 0.0f},
        {46, 50, 51, 1.0f}, {46, 50, 47, 0.25f},    {94, 96, 95, 0.5f},       {10, 10, 9.99f, 0.0f},
        {10, 10, 10, 1.0f}, {10, 10, 10.01f, 1.0f}, {121, 122, 121.5f, 0.5f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(rampBetween(c.start, c.end, c.t), c.expected)
            << "rampBetween(" << c.start << ", " << c.end << ", " << c.t << ")";
}

TEST(CueTables, HoldTheirCuesInOrder) {
    EXPECT_EQ(cueTrackA.count, 34);
    EXPECT_EQ(cueTrackB.count, 42);
    EXPECT_EQ(cueTrackC.count, 80);
    EXPECT_FALSE(cueTrackA.wraps);
    EXPECT_FALSE(cueTrackB.wraps);
    EXPECT_TRUE(cueTrackC.wraps);
    EXPECT_EQ(cueTrackA.times[0], 27.955999);
    EXPECT_EQ(cueTrackA.times[33], 37.360001);
    EXPECT_EQ(cueTrackB.times[0], 100.866997);
    EXPECT_EQ(cueTrackB.times[41], 121.114998);
    EXPECT_EQ(cueTrackC.times[0], 133.468002);
    EXPECT_EQ(cueTrackC.times[74], 162.701996);
    for (int i = 75; i < 80; ++i)
        EXPECT_EQ(cueTrackC.times[i], 0.0) << "entry " << i;
    for (const CueTrack* track : {&cueTrackA, &cueTrackB}) {
        for (int i = 1; i < track->count; ++i)
            EXPECT_LE(track->times[i - 1], track->times[i]) << "entry " << i;
    }
    for (int i = 1; i < 75; ++i)
        EXPECT_LE(cueTrackC.times[i - 1], cueTrackC.times[i]) << "entry " << i;
}

TEST(CueTrack, LatchesNothingBeforeItsFirstCue) {
    CueTrack track = freshCopy(cueTrackA);
    for (int ms : {0, 1000, 27955})
        stepAt(track, streamTime(ms));
    EXPECT_EQ(track.cursor, 0);
    EXPECT_EQ(track.latchedMs, 0.0f);
}

// The float of 27 980 ms lies above the double 27.98, so that frame passes
// the first of the three equal cues; the next two pass on the next two frames.
TEST(CueTrack, EqualCuesPassOnConsecutiveFramesEachWithItsOwnTime) {
    CueTrack track = freshCopy(cueTrackA);
    stepAt(track, streamTime(27960));
    EXPECT_EQ(track.cursor, 1);
    EXPECT_EQ(track.latchedMs, latchOf(streamTime(27960)));
    for (int frame = 0; frame < 3; ++frame) {
        float time = streamTime(27980 + frame);
        stepAt(track, time);
        EXPECT_EQ(track.cursor, 2 + frame);
        EXPECT_EQ(track.latchedMs, latchOf(time));
    }
    // The next cue, 28.003, still lies ahead.
    stepAt(track, streamTime(27990));
    EXPECT_EQ(track.cursor, 4);
    EXPECT_EQ(track.latchedMs, latchOf(streamTime(27982)));
}

TEST(CueTrack, ATimeJustBelowACueDoesNotPassIt) {
    CueTrack track = freshCopy(cueTrackA);
    stepAt(track, 27.955999f - 0.001f);
    EXPECT_EQ(track.cursor, 0);
    // The cue is compared with demoTime widened exactly to double precision.
    float justAbove = 27.956f;
    ASSERT_GT(static_cast<double>(justAbove), 27.955999);
    stepAt(track, justAbove);
    EXPECT_EQ(track.cursor, 1);
}

TEST(CueTrack, CatchesUpOneCuePerFrameAfterAForwardSeek) {
    CueTrack track = freshCopy(cueTrackA);
    // Sought to 30 s: the 30 cues up to 28.257999 pass one per frame.
    for (int frame = 0; frame < 30; ++frame) {
        float time = streamTime(30000 + 16 * frame);
        stepAt(track, time);
        EXPECT_EQ(track.cursor, frame + 1);
        EXPECT_EQ(track.latchedMs, latchOf(time));
    }
    float lastLatch = track.latchedMs;
    stepAt(track, streamTime(30480));
    EXPECT_EQ(track.cursor, 30) << "36.687 lies ahead";
    EXPECT_EQ(track.latchedMs, lastLatch);
}

TEST(CueTrack, NothingFiresAgainAfterABackwardSeek) {
    CueTrack track = freshCopy(cueTrackB);
    for (int frame = 0; frame < 10; ++frame)
        stepAt(track, streamTime(105000 + frame));
    EXPECT_EQ(track.cursor, 6) << "cues up to 104.976997 passed";
    float latched = track.latchedMs;
    for (int ms : {100000, 101000, 90000, 104000})
        stepAt(track, streamTime(ms));
    EXPECT_EQ(track.cursor, 6);
    EXPECT_EQ(track.latchedMs, latched);
}

TEST(CueTrack, AFinishedTrackStaysFinished) {
    CueTrack track = freshCopy(cueTrackB);
    for (int frame = 0; frame < 42; ++frame)
        stepAt(track, streamTime(125000 + frame));
    EXPECT_EQ(track.cursor, 42);
    EXPECT_EQ(track.latchedMs, latchOf(streamTime(125041)));
    for (int frame = 0; frame < 100; ++frame)
        stepAt(track, streamTime(130000 + frame));
    EXPECT_EQ(track.cursor, 42);
    EXPECT_EQ(track.latchedMs, latchOf(streamTime(125041)));
}

TEST(CueTrack, TheWrappingTrackPassesItsZerosThenCyclesEveryFrame) {
    CueTrack track = freshCopy(cueTrackC);
    // Sought past the last cue: 75 cues, then the five zeros, one per frame.
    int ms = 163000;
    for (int frame = 0; frame < 80; ++frame, ++ms) {
        stepAt(track, streamTime(ms));
        EXPECT_EQ(track.latchedMs, latchOf(streamTime(ms))) << "frame " << frame;
        EXPECT_EQ(track.cursor, frame == 79 ? 0 : frame + 1) << "frame " << frame;
    }
    // From then on, one cue passes in every frame and the track goes round.
    for (int frame = 0; frame < 200; ++frame, ++ms) {
        stepAt(track, streamTime(ms));
        EXPECT_EQ(track.cursor, (frame + 1) % 80) << "frame " << frame;
        EXPECT_EQ(track.latchedMs, latchOf(streamTime(ms)));
    }
}

TEST(CueTrack, TheWrappingTrackReachesItsZerosOnlyAfterItsLastCue) {
    CueTrack track = freshCopy(cueTrackC);
    for (int frame = 0; frame < 100; ++frame)
        stepAt(track, streamTime(140000 + frame));
    EXPECT_EQ(track.cursor, 18) << "the next cue is 140.781998";
    // A backward seek leaves it waiting at the same cue.
    stepAt(track, streamTime(135000));
    EXPECT_EQ(track.cursor, 18);
}
