// Cue tracks and ramps.
//
// Three fixed tables of cue moments in the music. Each frame the director
// steps every track once against demoTime; a track passes at most one cue per
// step and latches demoTime x 1000, which the scenes use as a phase that jumps
// at every cue. Nothing rewinds a track: after a backward seek the cues
// already passed stay passed. Needs demoTime (media/music.h) and nothing else.
#include "timeline/cue_tracks.h"

#include "media/music.h"
#include "timeline/cue_tables.h"

CueTrack cueTrackA{openingCueTimes, 34, 0, 0.0f, false};
CueTrack cueTrackB{orbitCueTimes, 42, 0, 0.0f, false};
CueTrack cueTrackC{greetingCueTimes, 80, 0, 0.0f, true};

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
