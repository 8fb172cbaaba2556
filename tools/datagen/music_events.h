// The score as the synthesiser reads it: one record per note or hit.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

enum Voice {
    kickVoice,  // deep kick with a click
    snareVoice, // tone and noise
    clapVoice,  // three quick bursts and a tail
    closedHatVoice,
    openHatVoice,
    crashVoice,
    tomVoice,     // pitched by the event
    stabVoice,    // a brassy chord hit
    stutterVoice, // a 20 ms slice of snare and chord, retriggered
    bassVoice,
    padVoice, // a slow chord
    leadVoice,
    pluckVoice, // short FM pluck for arpeggios
    bellVoice,
    pianoVoice,  // electric piano for the closing
    pulseVoice,  // the opening's soft heartbeat
    riserVoice,  // noise sweeping up to a downbeat
    swellVoice,  // a reversed cymbal
    impactVoice, // sub drop and a burst at a scene change
    voiceCount
};

struct NoteEvent {
    double time;   // seconds from the start of the track
    double length; // held notes and sweeps; drums ignore it
    Voice voice;
    float pitch; // MIDI note number; chords are built on it
    float velocity;
    float pan;       // -1 left .. 1 right
    int8_t chord[4]; // intervals above pitch for stabs and pads
    int chordSize;
    bool onCue;    // placed on a cue time: never moved
    uint32_t seed; // the voice's own noise
};

using Score = std::vector<NoteEvent>;

inline double noteFrequency(double midi) {
    return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0);
}
