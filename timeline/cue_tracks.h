// Cue tracks and ramps: rampBetween turns demoTime into a 0-to-1 fade value;
// a CueTrack latches demoTime x 1000 each time the show passes its next cue.
#pragma once

#include <cstdint>

struct CueTrack {
    const double* times;
    int32_t count;
    int32_t cursor;
    float latchedMs;
    bool wraps;
};

extern CueTrack cueTrackA; // the opening field's phase
extern CueTrack cueTrackB; // the orbit camera's angle (x 3)
extern CueTrack cueTrackC; // the greeting field's phase

float rampBetween(float start, float end, float t);
void advanceCueTrack(CueTrack& track);
