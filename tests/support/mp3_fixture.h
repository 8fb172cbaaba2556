// MP3 tracks made by the tests themselves: a known signal (silence, clicks at
// known times, sines at known frequencies and levels) encoded with LAME, with
// the LAME tag that tells a decoder the encoder's delay and padding.
#pragma once

#include <string>
#include <vector>

struct TestSignal {
    int rate = 44100;
    int channels = 2;
    std::vector<float> left; // -1 ... 1; the only channel of a mono signal
    std::vector<float> right;
};

TestSignal silentSignal(double seconds, int rate = 44100, int channels = 2);
// One sample of the given level at the frame nearest to seconds, in every channel.
void addClick(TestSignal& signal, double seconds, float level = 0.9f);
// A sine of the given peak level over [from, to) seconds; leftOnly leaves the right channel.
void addSine(TestSignal& signal, double frequency, double level, double from, double to,
             bool leftOnly = false);

// The signal as a constant-bit-rate MP3 with its LAME tag.
std::vector<unsigned char> encodeMp3(const TestSignal& signal, int kbps = 192);

// A fresh empty directory under /tmp.
std::string makeTemporaryDirectory();
void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);
void writeFileText(const std::string& path, const std::string& text);
// Writes bytes as dir/data/music/track.mp3, making the folders.
void placeTrack(const std::string& dir, const std::vector<unsigned char>& bytes);
