// The instruments: each renders one event into a stereo buffer, starting at
// the event's own sample, from nothing but the event (its seed included).
#pragma once

#include "music_events.h"
#include "synth_dsp.h"

void renderVoice(Stereo& out, const NoteEvent& event);
