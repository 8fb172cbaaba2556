// Cue tracks and ramps.
//
// Three fixed tables of cue moments in the music. Each frame the director
// steps every track once against demoTime; a track passes at most one cue per
// step and latches demoTime x 1000, which the scenes use as a phase that jumps
// at every cue. Nothing rewinds a track: after a backward seek the cues
// already passed stay passed. Needs demoTime (media/music.h) and nothing else.
#include "timeline/cue_tracks.h"

#include "media/music.h"

// The opening field's cues: a burst just before 28.3 s and four stray ones.
static const double openingCues[34] = {
    27.955999, 27.98,     27.98,     27.98,     28.003,    28.003,    28.025999, 28.025999, 28.049,
    28.049,    28.072001, 28.072001, 28.072001, 28.096001, 28.096001, 28.118999, 28.118999, 28.142,
    28.142,    28.142,    28.165001, 28.165001, 28.188999, 28.188999, 28.212,    28.212,    28.212,
    28.235001, 28.235001, 28.257999, 36.687,    36.779999, 36.918999, 37.360001,
};

// The orbit camera's cues, ending in a run of fast ones before the blackout.
static const double orbitCues[42] = {
    100.866997, 101.238998, 101.516998, 101.610001, 103.838997, 104.976997, 105.163002,
    105.278999, 107.228996, 107.415001, 109.110001, 109.482002, 110.759003, 111.362,
    112.105003, 112.476997, 113.801003, 113.847,    113.917,    115.100998, 115.681,
    117.352997, 118.862,    119.791,    119.837997, 119.884003, 119.931,    119.976997,
    120.046997, 120.093002, 120.139999, 120.185997, 120.232002, 120.278999, 120.324997,
    120.394997, 120.441002, 120.487999, 120.533997, 120.581001, 120.626999, 121.114998,
};

// The greeting field's cues. The five closing zeros pass on the five frames
// after the last real cue; then the track wraps and, while demoTime lies past
// every cue, passes one cue in every frame for the rest of the show.
static const double greetingCues[80] = {
    133.468002, 133.654007, 134.024994, 134.791,    134.977005, 135.417999, 135.511002, 136.091995,
    136.276993, 136.927994, 137.507996, 137.600998, 137.694,    138.134995, 138.436996, 139.272995,
    139.459,    139.667999, 140.781998, 141.524994, 141.710999, 142.082001, 142.268005, 143.033997,
    143.498993, 143.591995, 143.684998, 145.264008, 145.449005, 145.634995, 146.772995, 147.516006,
    147.701996, 148.095993, 148.259003, 148.932007, 149.490005, 149.606003, 149.699005, 150.162994,
    150.442001, 151.184998, 151.462997, 151.649002, 152.020996, 152.764008, 152.973007, 153.134995,
    153.529999, 153.716003, 154.087006, 154.272995, 155.039001, 155.503998, 155.595993, 155.688995,
    156.130005, 156.432007, 157.268005, 157.639999, 158.035004, 158.778,    158.962997, 159.126007,
    159.520996, 159.729996, 160.100998, 160.287003, 161.029999, 161.494003, 161.587006, 161.679993,
    161.934998, 162.143997, 162.701996, 0,          0,          0,          0,          0,
};

CueTrack cueTrackA{openingCues, 34, 0, 0.0f, false};
CueTrack cueTrackB{orbitCues, 42, 0, 0.0f, false};
CueTrack cueTrackC{greetingCues, 80, 0, 0.0f, true};

float rampBetween(float start, float end, float t) {
    if (t < start)
        return 0.0f;
    if (t < end)
        return static_cast<float>((static_cast<double>(t) - start) /
                                  (static_cast<double>(end) - start));
    return 1.0f;
}

void advanceCueTrack(CueTrack& track) {
    // A finished track that does not wrap stays finished.
    if (track.cursor >= track.count)
        return;
    double now = demoTime;
    if (now < track.times[track.cursor])
        return;
    track.cursor += 1;
    track.latchedMs = static_cast<float>(now * 1000.0);
    if (track.wraps && track.cursor >= track.count)
        track.cursor = 0;
}
