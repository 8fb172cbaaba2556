// The music and the show's clock: the one track plays from memory; once per
// frame its stream position becomes demoTime and its spectrum spectrumBands.
// The arrow keys seek it, and with it the whole show.
#pragma once

#include <cstdint>

extern float demoTime;           // seconds: stream milliseconds x 0.001f
extern float spectrumBands[32];  // the previous frame's spectrum, band 0 lowest

void startMusic();
void enableSpectrum();
void updateDemoTime();
void updateSpectrumBands();
void seekMusic(float deltaMs);

// Drives the clock by hand from now on: the stream time is the one given and
// the spectrum follows it; nothing is heard. The capture tool and the tests use it.
void setManualMusicTime(int32_t ms);
