// Test tracks encoded with LAME from signals built sample by sample.
#include "tests/support/mp3_fixture.h"

#include <lame/lame.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

TestSignal silentSignal(double seconds, int rate, int channels) {
    TestSignal signal;
    signal.rate = rate;
    signal.channels = channels;
    size_t frames = static_cast<size_t>(std::lround(seconds * rate));
    signal.left.assign(frames, 0.0f);
    if (channels == 2)
        signal.right.assign(frames, 0.0f);
    return signal;
}

void addClick(TestSignal& signal, double seconds, float level) {
    size_t frame = static_cast<size_t>(std::lround(seconds * signal.rate));
    if (frame >= signal.left.size())
        return;
    signal.left[frame] = level;
    if (signal.channels == 2)
        signal.right[frame] = level;
}

void addSine(TestSignal& signal, double frequency, double level, double from, double to,
             bool leftOnly) {
    const double pi = 3.14159265358979323846;
    size_t first = static_cast<size_t>(std::lround(from * signal.rate));
    size_t end = static_cast<size_t>(std::lround(to * signal.rate));
    for (size_t n = first; n < end && n < signal.left.size(); ++n) {
        float value = static_cast<float>(level * std::sin(2 * pi * frequency * n / signal.rate));
        signal.left[n] += value;
        if (signal.channels == 2 && !leftOnly)
            signal.right[n] += value;
    }
}

std::vector<unsigned char> encodeMp3(const TestSignal& signal, int kbps) {
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, signal.rate);
    lame_set_out_samplerate(lame, signal.rate);
    lame_set_num_channels(lame, signal.channels);
    lame_set_mode(lame, signal.channels == 2 ? JOINT_STEREO : MONO);
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw std::runtime_error("LAME refused the parameters");
    }
    const int frames = static_cast<int>(signal.left.size());
    std::vector<unsigned char> mp3(static_cast<size_t>(frames * 1.25 + 7200 + 16384));
    const float* right = signal.channels == 2 ? signal.right.data() : signal.left.data();
    int size = lame_encode_buffer_ieee_float(lame, signal.left.data(), right, frames, mp3.data(),
                                             static_cast<int>(mp3.size()));
    if (size < 0) {
        lame_close(lame);
        throw std::runtime_error("LAME failed to encode");
    }
    size += lame_encode_flush(lame, mp3.data() + size, static_cast<int>(mp3.size()) - size);
    mp3.resize(static_cast<size_t>(size));
    // The first frame LAME wrote is the place for the tag with the delay and padding.
    unsigned char tag[2880];
    size_t tagSize = lame_get_lametag_frame(lame, tag, sizeof tag);
    if (tagSize > 0 && tagSize <= sizeof tag && tagSize <= mp3.size())
        std::copy(tag, tag + tagSize, mp3.begin());
    lame_close(lame);
    return mp3;
}

std::string makeTemporaryDirectory() {
    char pattern[] = "/tmp/vantrel-test-XXXXXX";
    char* made = mkdtemp(pattern);
    if (made == nullptr)
        throw std::runtime_error("cannot make a temporary directory");
    return made;
}

void writeFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void writeFileText(const std::string& path, const std::string& text) {
    writeFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

void placeTrack(const std::string& dir, const std::vector<unsigned char>& bytes) {
    mkdir((dir + "/data").c_str(), 0755);
    mkdir((dir + "/data/music").c_str(), 0755);
    writeFileBytes(dir + "/data/music/track.mp3", bytes);
}
