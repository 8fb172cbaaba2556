// LAME encoding of the track. No ID3 tag is written (it would hold nothing
// but an encoder comment); the information frame carries the delay, the
// padding and the exact length.
#include "mp3_output.h"

#include <lame/lame.h>

#include <cstdio>
#include <vector>

namespace {

struct Encoder {
    lame_global_flags* flags = lame_init();
    ~Encoder() {
        if (flags)
            lame_close(flags);
    }
};

bool fail(const std::string& path, const char* what) {
    std::fprintf(stderr, "vantrel-datagen: cannot write %s: %s\n", path.c_str(), what);
    return false;
}

} // namespace

bool writeMp3(const std::string& path, const Stereo& pcm) {
    Encoder encoder;
    lame_global_flags* gf = encoder.flags;
    if (!gf)
        return fail(path, "LAME cannot start");
    lame_set_in_samplerate(gf, sampleRate);
    lame_set_out_samplerate(gf, sampleRate);
    lame_set_num_channels(gf, 2);
    lame_set_mode(gf, JOINT_STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, 192);
    lame_set_quality(gf, 3);
    lame_set_bWriteVbrTag(gf, 1);
    lame_set_write_id3tag_automatic(gf, 0);
    if (lame_init_params(gf) < 0)
        return fail(path, "LAME rejects its settings");

    std::vector<unsigned char> mp3;
    const size_t chunk = 8192;
    std::vector<unsigned char> buffer(chunk * 5 / 4 + 7200);
    for (size_t start = 0; start < pcm.left.size(); start += chunk) {
        int count = (int)std::min(chunk, pcm.left.size() - start);
        int bytes = lame_encode_buffer_ieee_float(gf, &pcm.left[start], &pcm.right[start], count,
                                                  buffer.data(), (int)buffer.size());
        if (bytes < 0)
            return fail(path, "LAME failed while encoding");
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + bytes);
    }
    int bytes = lame_encode_flush(gf, buffer.data(), (int)buffer.size());
    if (bytes < 0)
        return fail(path, "LAME failed at the end");
    mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + bytes);
    // LAME began the stream with an empty frame of the right size; the
    // finished information frame replaces it.
    size_t tagBytes = lame_get_lametag_frame(gf, buffer.data(), buffer.size());
    if (tagBytes == 0 || tagBytes > mp3.size())
        return fail(path, "no LAME information frame");
    std::copy(buffer.begin(), buffer.begin() + tagBytes, mp3.begin());

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return fail(path, "cannot open the file");
    bool ok = std::fwrite(mp3.data(), 1, mp3.size(), file) == mp3.size();
    ok = std::fclose(file) == 0 && ok;
    return ok ? true : fail(path, "write failed");
}
