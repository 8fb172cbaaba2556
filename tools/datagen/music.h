// The show's music: composed, synthesised and encoded to MP3 here.
#pragma once

#include <string>

#include "synth_dsp.h"

// The finished mix, 44.1 kHz stereo, below full scale.
Stereo renderMusicTrack();
bool writeMusicTrack(const std::string& path);
