// Placeholder until this module lands.
#include "media/music.h"
float demoTime;
float spectrumBands[32];
void startMusic() {}
void enableSpectrum() {}
void updateDemoTime() {}
void updateSpectrumBands() {}
void seekMusic(float) {}
void setManualMusicTime(int32_t) {}
