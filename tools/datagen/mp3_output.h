// MP3 encoding with LAME: 44.1 kHz stereo at 192 kbit/s, constant rate, with
// the encoder's information frame (the LAME tag) at the start of the file, so
// that a gapless decoder drops the encoder's delay and padding and the first
// decoded sample is the first sample given here.
#pragma once

#include <string>

#include "synth_dsp.h"

bool writeMp3(const std::string& path, const Stereo& pcm);
