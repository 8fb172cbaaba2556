// Decoding the memory image: gapless (frame 0 is the first encoded sample and
// the padding is gone), sample rates and mono converted to 44.1 kHz stereo,
// and anything that is not MPEG audio refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/fsound.h"
#include "platform/fsound_internal.h"
#include "tests/support/mp3_fixture.h"

static int64_t loudestFrame(const DecodedTrack& track) {
    int64_t best = 0;
    int bestLevel = -1;
    for (int64_t frame = 0; frame < track.frames; ++frame) {
        int level = std::abs(track.samples[frame * 2]) + std::abs(track.samples[frame * 2 + 1]);
        if (level > bestLevel) {
            bestLevel = level;
            best = frame;
        }
    }
    return best;
}

static DecodedTrack decode(const std::vector<unsigned char>& mp3) {
    DecodedTrack track;
    EXPECT_TRUE(decodeMpegAudio(mp3.data(), mp3.size(), track));
    return track;
}

struct FormatCase {
    int rate;
    int channels;
    int kbps;
};

class DecodeFormats : public ::testing::TestWithParam<FormatCase> {};

// A click 2.5 s into the source is at frame 110 250 of the decoded track,
// whatever the source's rate and channels; the track is exactly as long as
// the source, so neither the encoder's delay nor its padding was kept.
TEST_P(DecodeFormats, ClickLandsOnItsFrameAndTheLengthIsExact) {
    const FormatCase& format = GetParam();
    TestSignal signal = silentSignal(4.0, format.rate, format.channels);
    addClick(signal, 2.5);
    DecodedTrack track = decode(encodeMp3(signal, format.kbps));
    EXPECT_EQ(track.frames, 4 * 44100);
    EXPECT_NEAR(static_cast<double>(loudestFrame(track)), 2.5 * 44100, 2);
    EXPECT_EQ(track.samples.size(), static_cast<size_t>(track.frames) * 2);
}

INSTANTIATE_TEST_SUITE_P(Sources, DecodeFormats,
                         ::testing::Values(FormatCase{44100, 2, 192}, FormatCase{44100, 1, 128},
                                           FormatCase{48000, 2, 192}, FormatCase{22050, 2, 96},
                                           FormatCase{32000, 1, 64}),
                         [](const auto& info) {
                             return std::to_string(info.param.rate) + "Hz_" +
                                    std::to_string(info.param.channels) + "ch";
                         });

// Mono is heard in both channels alike.
TEST(Decode, MonoFillsBothChannels) {
    TestSignal signal = silentSignal(1.0, 44100, 1);
    addSine(signal, 1000, 0.5, 0.0, 1.0);
    DecodedTrack track = decode(encodeMp3(signal, 128));
    ASSERT_GT(track.frames, 0);
    int differing = 0;
    int64_t loud = 0;
    for (int64_t frame = 0; frame < track.frames; ++frame) {
        differing += track.samples[frame * 2] != track.samples[frame * 2 + 1];
        loud += std::abs(track.samples[frame * 2]) > 8000;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(loud, track.frames / 4);
}

TEST(Decode, RefusesWhatIsNotMpegAudio) {
    std::string text(20000, 'x');
    std::vector<unsigned char> zeros(20000, 0);
    std::vector<unsigned char> words(text.begin(), text.end());
    DecodedTrack track;
    EXPECT_FALSE(decodeMpegAudio(words.data(), words.size(), track));
    EXPECT_FALSE(decodeMpegAudio(zeros.data(), zeros.size(), track));
    EXPECT_FALSE(decodeMpegAudio(zeros.data(), 0, track));
    EXPECT_EQ(track.frames, 0);
}

// A track cut short plays what is there; the library takes only memory images.
TEST(Decode, StreamOpenTakesMemoryImagesAndKeepsWhatDecodes) {
    TestSignal signal = silentSignal(2.0);
    addClick(signal, 0.5);
    std::vector<unsigned char> mp3 = encodeMp3(signal);
    const char* bytes = reinterpret_cast<const char*>(mp3.data());
    int32_t half = static_cast<int32_t>(mp3.size() / 2);
    const uint32_t mode = FSOUND_NORMAL | FSOUND_LOADMEMORY | FSOUND_MPEGACCURATE;
    EXPECT_NE(FSOUND_Stream_Open(bytes, mode, 0, half), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(bytes, FSOUND_NORMAL, 0, half), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open(bytes, mode, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Stream_Open("not an mp3 at all, just words", mode, 0, 29), nullptr);
}
