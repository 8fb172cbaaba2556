// The composition: a piece in D minor at 160 beats a minute, in seven
// sections that change where the show's scenes change, with a percussive hit
// on every cue time of the show.
#pragma once

#include "music_events.h"

constexpr double trackSeconds = 178.0;

Score composeScore();
