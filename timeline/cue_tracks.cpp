// Placeholder until this module lands.
#include "timeline/cue_tracks.h"
CueTrack cueTrackA, cueTrackB, cueTrackC;
float rampBetween(float, float, float) { return 0; }
void advanceCueTrack(CueTrack&) {}
