// The score, section by section. Each section has its own bar grid at the
// common tempo; the grids of the orbit and greeting sections are set so that
// the cue hits there fall on their sixteenths (within the show's own timing
// spread of about 20 ms). Grid notes that would land within half a
// sixteenth of a cue hit are moved onto it, so hits and groove never flam.
//
//   0-44    the opening: a heartbeat pulse and pads (the background picture
//           breathes with it for 10.5 s), a half-time groove, the stutter at
//           28 s and the drop at 28.5 s, the main theme, a break with four hits
//   44-46   three stabs for the three title cards
//   46-57   heavy half-time beat with a low wobble under the chrome mesh
//   57-94   the main groove with arpeggios, then the theme; cuts every 8 bars
//   94-123  after the flash: a dark intro, then stabs on the camera jumps,
//           a snare roll and a last hit at 121.1 s into the blackout
//   123-163 a build in the dark, then a breakbeat whose kicks are the cues
//   163-178 the closing: piano and pads, fading out after the show ends
#include "music_score.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "cue_times.h"
#include "show_timing.h"

namespace {

const double sixteenth = beatSeconds / 4;

struct Grid {
    double anchor; // the time of bar 0's downbeat
};

double at(Grid g, int bar, double step) {
    return g.anchor + bar * barSeconds + step * sixteenth;
}

enum ChordName { Dm, Bb, F, C, Gm, A, Dm9, Bbmaj7, Gm7, Asus, chordNameCount };

struct ChordShape {
    int bass; // MIDI note of the bass root
    int pad;  // MIDI note the pad voicing is built on
    int8_t intervals[4];
};

const ChordShape chordShapes[chordNameCount] = {
    {38, 62, {0, 3, 7, 12}}, // Dm: D F A D
    {34, 58, {0, 4, 7, 12}}, // Bb
    {41, 65, {0, 4, 7, 12}}, // F
    {36, 60, {0, 4, 7, 12}}, // C
    {31, 55, {0, 3, 7, 12}}, // Gm
    {33, 57, {0, 4, 7, 12}}, // A
    {38, 62, {0, 3, 7, 14}}, // Dm add 9
    {34, 58, {0, 4, 7, 11}}, // Bb major 7
    {31, 55, {0, 3, 7, 10}}, // Gm 7
    {33, 57, {0, 5, 7, 12}}, // A sus 4
};

struct Composer {
    Score score;
    uint32_t nextSeed;
};

NoteEvent& add(Composer& c, Voice voice, double time, double length, float pitch, float velocity,
               float pan = 0) {
    NoteEvent e{};
    e.time = time;
    e.length = length;
    e.voice = voice;
    e.pitch = pitch;
    e.velocity = velocity;
    e.pan = pan;
    e.seed = c.nextSeed++;
    c.score.push_back(e);
    return c.score.back();
}

void addCueHit(Composer& c, Voice voice, double time, float pitch, float velocity, float pan = 0) {
    add(c, voice, time, 0, pitch, velocity, pan).onCue = true;
}

void addChord(Composer& c, Voice voice, double time, double length, ChordName chord, float velocity,
              int octave = 0, bool onCue = false) {
    const ChordShape& shape = chordShapes[chord];
    NoteEvent& e = add(c, voice, time, length, (float)(shape.pad + 12 * octave), velocity);
    std::memcpy(e.chord, shape.intervals, 4);
    e.chordSize = 4;
    e.onCue = onCue;
}

float velocityOf(char symbol) {
    switch (symbol) {
    case 'X':
        return 1.0f;
    case 'x':
        return 0.75f;
    case 'o':
        return 0.55f;
    case 'g':
        return 0.3f;
    default:
        return 0.0f;
    }
}

// One bar of one drum, a character a sixteenth: X accent, x normal, o soft,
// g ghost, . nothing. Steps from untilStep on are left out.
void drumLine(Composer& c, Voice voice, Grid g, int bar, const char* line, float velocity,
              float pitch = 60, float pan = 0, int untilStep = 16) {
    for (int step = 0; step < 16 && line[step] && step < untilStep; step++) {
        float v = velocityOf(line[step]);
        if (v > 0)
            add(c, voice, at(g, bar, step), 0, pitch, v * velocity, pan);
    }
}

struct DrumBar {
    const char *kick, *snare, *hat;
};

// kickPitch below 60 gives the kicks a sub tail.
void drumBar(Composer& c, Grid g, int bar, const DrumBar& d, float velocity, int untilStep = 16,
             float kickPitch = 60) {
    drumLine(c, kickVoice, g, bar, d.kick, velocity, kickPitch, 0, untilStep);
    drumLine(c, snareVoice, g, bar, d.snare, velocity * 0.8f, 60, 0.05f, untilStep);
    drumLine(c, closedHatVoice, g, bar, d.hat, velocity * 0.24f, 60, -0.25f, untilStep);
}

// One bar of bass: R root, O octave, F fifth, T third, - hold, . rest.
void bassLine(Composer& c, Grid g, int bar, const char* line, ChordName chord, float velocity) {
    const ChordShape& shape = chordShapes[chord];
    for (int step = 0; step < 16; step++) {
        char symbol = line[step];
        int interval;
        switch (symbol) {
        case 'R':
            interval = 0;
            break;
        case 'O':
            interval = 12;
            break;
        case 'F':
            interval = 7;
            break;
        case 'T':
            interval = shape.intervals[1];
            break;
        default:
            continue;
        }
        int hold = 1;
        while (step + hold < 16 && line[step + hold] == '-')
            hold++;
        add(c, bassVoice, at(g, bar, step), hold * sixteenth * 0.85, (float)(shape.bass + interval),
            velocity);
    }
}

int noteNumber(const std::string& name) {
    static const int offsets[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int n = offsets[name[0] - 'A'];
    size_t i = 1;
    if (i < name.size() && name[i] == '#')
        n++, i++;
    else if (i < name.size() && name[i] == 'b')
        n--, i++;
    return n + 12 * (std::stoi(name.substr(i)) + 1);
}

// A melody, a token a sixteenth from the first bar's downbeat: a note name
// (A4, C#5, Bb4), - to hold the note before, . for a rest.
void melody(Composer& c, Voice voice, Grid g, int firstBar, const char* text, float velocity,
            int transpose = 0, float pan = 0) {
    std::vector<std::string> tokens;
    for (const char* p = text; *p;) {
        while (*p == ' ')
            p++;
        const char* start = p;
        while (*p && *p != ' ')
            p++;
        if (p > start)
            tokens.emplace_back(start, p);
    }
    for (size_t i = 0; i < tokens.size(); i++) {
        if (tokens[i] == "-" || tokens[i] == ".")
            continue;
        size_t hold = 1;
        while (i + hold < tokens.size() && tokens[i + hold] == "-")
            hold++;
        add(c, voice, at(g, firstBar, (double)i), hold * sixteenth * 0.92,
            (float)(noteNumber(tokens[i]) + transpose), velocity, pan);
    }
}

// Sixteenths up and down the chord, an octave over the pad.
void arpeggio(Composer& c, Grid g, int bar, ChordName chord, float velocity, int fromStep = 0) {
    static const int order[16] = {0, 1, 2, 3, 4, 3, 2, 1, 0, 2, 1, 3, 2, 4, 3, 1};
    const ChordShape& shape = chordShapes[chord];
    for (int step = fromStep; step < 16; step++) {
        int k = order[step];
        int note = shape.pad + 12 + (k < 4 ? shape.intervals[k] : shape.intervals[1] + 12);
        add(c, pluckVoice, at(g, bar, step), sixteenth, (float)note,
            velocity * (step % 4 == 0 ? 1.0f : 0.75f), step % 2 ? 0.45f : -0.45f);
    }
}

void padBar(Composer& c, Grid g, int bar, ChordName chord, float velocity, int bars = 1) {
    addChord(c, padVoice, at(g, bar, 0), bars * barSeconds, chord, velocity);
}

// A scene change: a sub drop and a crash. The kick comes from the groove
// that starts there, or is added where none does.
void sectionStart(Composer& c, double time, float weight) {
    addCueHit(c, impactVoice, time, 30, weight);
    addCueHit(c, crashVoice, time, 60, 0.5f * weight, 0.2f);
}

// Snare sixteenths rising to the next downbeat.
void snareFill(Composer& c, Grid g, int bar, int fromStep, int toStep) {
    for (int step = fromStep; step < toStep; step++)
        add(c, snareVoice, at(g, bar, step), 0, 60 + (step - fromStep) * 0.5f,
            0.35f + 0.55f * (step - fromStep) / std::max(1, toStep - fromStep - 1), 0.05f);
}

const DrumBar halfTime{"X.........x.....", "........X.......", "x.x.x.x.x.x.x.x."};
const DrumBar halfTimeBusy{"X.........x.....", "........X......g", "xgxoxgxoxgxoxgxo"};
const DrumBar breakbeat{"X.........X.....", "....X..g.g..X...", "xgxoxgxoxgxoxgxo"};
const DrumBar breakbeatTurn{"X.........X..X..", "....X..g....X..g", "xgxoxgxoxgxoxgxx"};
const DrumBar heavy{"X......X..X.....", "........X.......", "x.x.x.x.x.x.x.x."};

const char* const themeA =
    // Dm                                      Bb
    "A4 - - D5 - - F5 - E5 - D5 - C5 - A4 -   Bb4 - - - - - D5 - F5 - - - D5 - - - "
    // F                                       C
    "C5 - - F5 - - A5 - - - G5 - F5 - E5 -    E5 - - - - - D5 - C5 - - - . . G4 - "
    // Dm                                      Bb
    "A4 - - D5 - - F5 - G5 - A5 - - - - -     Bb5 - - - A5 - G5 - F5 - - - D5 - - - "
    // F                                       C
    "C5 - - F5 - - A5 - C6 - - - A5 - - -     G5 - - - - - E5 - C5 - - - D5 - - - ";

const char* const themeB =
    // Bb                                      C
    "D5 - F5 - Bb5 - - - A5 - F5 - D5 - - -   E5 - G5 - C6 - - - Bb5 - G5 - E5 - - - "
    // Dm                                      Dm
    "F5 - A5 - D6 - - - - - C6 - A5 - - -     A5 - - - G5 - F5 - E5 - - - D5 - - - ";

// 0-44 s: bars of 1.5 s from 0; 10.5 s is bar 7, the drop at 28.5 s bar 19.
void scoreOpening(Composer& c) {
    const Grid g{0.0};
    const ChordName intro[7] = {Dm, Dm, Bb, Bb, F, F, C};
    const ChordName cycle[4] = {Dm, Bb, F, C};
    for (int bar = 0; bar < 7; bar++) {
        if (bar == 0 || intro[bar] != intro[bar - 1])
            padBar(c, g, bar, intro[bar], 0.25f + bar * 0.05f,
                   bar < 6 && intro[bar + 1] == intro[bar] ? 2 : 1);
        // The heartbeat sits around 130-150 Hz, where the opening picture
        // takes its brightness from.
        float pulse = intro[bar] == Dm || intro[bar] == Bb ? 50 : 48;
        for (int beat = 0; beat < 4; beat++)
            add(c, pulseVoice, at(g, bar, beat * 4), 0, pulse, beat == 0 ? 1.0f : 0.85f);
        if (bar >= 2)
            for (int beat = 0; beat < 4; beat += 2)
                add(c, kickVoice, at(g, bar, beat * 4), 0, 60, 0.4f);
        if (bar >= 2 && bar % 2 == 0)
            melody(c, bellVoice, g, bar, "A5 - - - - - F5 - - - D5 - - - - - ", 0.35f, 0, 0.3f);
    }
    add(c, swellVoice, at(g, 6, 0), barSeconds, 60, 0.35f);
    add(c, riserVoice, at(g, 5, 0), 2 * barSeconds, 60, 0.25f);

    // Bars 7-18: the half-time groove.
    sectionStart(c, at(g, 7, 0), 0.6f);
    for (int bar = 7; bar < 19; bar++) {
        ChordName chord = cycle[(bar - 7) % 4];
        bool last = bar == 18;
        int until = last ? 8 : 16; // bar 18 stops on beat 3 for the stutter
        drumBar(c, g, bar, bar < 11 ? halfTime : halfTimeBusy, 0.85f, until);
        padBar(c, g, bar, chord, 0.45f);
        if (!last)
            bassLine(c, g, bar, "R-----R---O-R---", chord, 0.6f);
        else
            bassLine(c, g, bar, "R-----R-........", chord, 0.6f);
        for (int beat = 0; beat < (last ? 2 : 4); beat++)
            add(c, pulseVoice, at(g, bar, beat * 4), 0, chord == Dm || chord == Bb ? 50 : 48,
                0.45f);
        if (bar >= 11)
            arpeggio(c, g, bar, chord, 0.3f);
    }
    // The stutter: the first cue table's roll, a slice every 23 ms, rising.
    std::vector<double> cues = cueTable(0);
    for (int i = 0; i < 14; i++)
        addCueHit(c, stutterVoice, cues[i], 62 + i * 0.8f, 0.55f + 0.035f * i,
                  i % 2 ? 0.3f : -0.3f);

    // Bars 19-28: the drop and the theme.
    sectionStart(c, at(g, 19, 0), 0.9f);
    for (int bar = 19; bar < 29; bar++) {
        ChordName chord = cycle[(bar - 19) % 4];
        padBar(c, g, bar, chord, 0.6f);
        if (bar == 24) { // the break: the four hits of the first table alone
            bassLine(c, g, bar, "R---------------", chord, 0.7f);
            continue;
        }
        drumBar(c, g, bar, bar % 4 == 2 ? breakbeatTurn : breakbeat, 1.0f);
        bassLine(c, g, bar, bar % 2 ? "R--R--O-R-R-F-O-" : "R--R--R-O--R-FO-", chord, 0.8f);
        if (bar % 2)
            add(c, openHatVoice, at(g, bar, 14), 0, 60, 0.22f, 0.3f);
    }
    melody(c, leadVoice, g, 19, themeA, 0.8f);
    arpeggio(c, g, 27, Dm, 0.3f);
    arpeggio(c, g, 28, Bb, 0.3f);
    const float tomPitches[4] = {50, 45, 43, 38};
    for (int i = 0; i < 4; i++) {
        addCueHit(c, tomVoice, cues[14 + i], tomPitches[i], 0.95f, -0.4f + 0.27f * i);
        NoteEvent& stab = add(c, stabVoice, cues[14 + i], 0, 50, 0.7f);
        std::memcpy(stab.chord, chordShapes[Dm].intervals, 4);
        stab.chordSize = 4;
        stab.onCue = true;
    }
    addCueHit(c, crashVoice, cues[17], 60, 0.45f);
    // 43.5-44: a fill into the title cards.
    snareFill(c, g, 29, 0, 6);
    add(c, riserVoice, 42.5, 1.5, 60, 0.4f);
}

void stab(Composer& c, double time, ChordName chord, float velocity, int octave = -1) {
    addChord(c, stabVoice, time, 0, chord, velocity, octave, true);
}

// 44-46 s: the three title cards, each on its own stab.
void scoreTitles(Composer& c) {
    sectionStart(c, 44.0, 1.0f);
    addCueHit(c, kickVoice, 44.0, 60, 1.0f);
    addChord(c, padVoice, 44.0, 2.0, Dm, 0.3f, -1);
    const double cards[3] = {44.469, 44.725, 45.055};
    const ChordName chords[3] = {Dm, Bb, A};
    for (int i = 0; i < 3; i++) {
        stab(c, cards[i], chords[i], 0.85f);
        addCueHit(c, clapVoice, cards[i], 60, 0.8f, i * 0.3f - 0.3f);
        addCueHit(c, tomVoice, cards[i], (float)(45 + 3 * i), 0.7f);
    }
    add(c, swellVoice, 45.1, 0.9, 60, 0.6f);
    add(c, riserVoice, 45.1, 0.9, 60, 0.35f);
}

// 46-57 s: the chrome mesh; the picture rises from black over the first 4 s.
void scoreChrome(Composer& c) {
    const Grid g{46.0};
    sectionStart(c, 46.0, 0.9f);
    const ChordName chords[7] = {Dm, Dm, Gm, Gm, Bb, A, A};
    for (int bar = 0; bar < 7; bar++) {
        drumBar(c, g, bar, heavy, 1.0f, 16, 40);
        if (bar % 2 == 1)
            add(c, openHatVoice, at(g, bar, 14), 0, 60, 0.2f, 0.3f);
        // A low wobble: eighths on the root, the filter opening on the offbeats.
        for (int step = 0; step < 16; step += 2)
            add(c, bassVoice, at(g, bar, step), sixteenth * 1.7,
                (float)(chordShapes[chords[bar]].bass - 12 + 12 * (step == 14)),
                step % 4 ? 0.95f : 0.5f);
        if (bar == 0 || chords[bar] != chords[bar - 1])
            padBar(c, g, bar, chords[bar], 0.35f,
                   bar < 6 && chords[bar + 1] == chords[bar] ? 2 : 1);
    }
    melody(c, bellVoice, g, 1,
           "D5 - - - - - A4 - - - F5 - - - - -  . . . . . . . . . . E5 - - - - - ", 0.4f, 0, -0.3f);
    melody(c, bellVoice, g, 5, "C#5 - - - - - E5 - - - A5 - - - - - ", 0.4f, 0, 0.3f);
    // 56.5-57: toms falling into the video.
    for (int step = 0; step < 8; step++)
        add(c, tomVoice, at(g, 7, step), 0, (float)(52 - step * 2), 0.5f + step * 0.06f,
            0.5f - step * 0.14f);
    add(c, riserVoice, 55.5, 1.5, 60, 0.45f);
}

// 57-94 s: the video. Its pictures cut at 69 and 81 s, bars 8 and 16.
void scoreVideo(Composer& c) {
    const Grid g{videoGrooveStart};
    sectionStart(c, videoGrooveStart, 0.8f);
    const ChordName cycle[4] = {Dm, Bb, F, C};
    for (int bar = 0; bar < 24; bar++) {
        ChordName chord = cycle[bar % 4];
        drumBar(c, g, bar, bar % 4 == 3 ? breakbeatTurn : breakbeat, 1.0f, bar == 23 ? 12 : 16);
        if (bar >= 16)
            drumLine(c, openHatVoice, g, bar, "..o...o...o...o.", 0.3f, 60, 0.35f);
        bassLine(c, g, bar, bar % 2 ? "R--R--O-R-R-F-O-" : "R--R--R-O--R-FO-", chord, 0.85f);
        padBar(c, g, bar, chord, bar < 8 ? 0.4f : 0.6f);
        if (bar < 8 || bar >= 20)
            arpeggio(c, g, bar, chord, bar < 8 ? 0.22f + bar * 0.02f : 0.25f);
        if (bar % 8 == 0 && bar > 0)
            sectionStart(c, at(g, bar, 0), 0.5f);
    }
    snareFill(c, g, 23, 12, 16);
    melody(c, leadVoice, g, 8, themeA, 0.85f);
    melody(c, leadVoice, g, 16, themeA, 0.85f);
    melody(c, bellVoice, g, 16, themeA, 0.3f, 12, 0.4f);
    // 93-94: a roll over the dominant into the flash.
    snareFill(c, g, 24, 0, 11);
    addChord(c, padVoice, at(g, 24, 0), 1.0, A, 0.6f);
    add(c, bassVoice, at(g, 24, 0), 0.95, (float)chordShapes[A].bass, 0.9f);
    add(c, riserVoice, 92.5, 1.5, 60, 0.55f);
    add(c, swellVoice, 93.0, 1.0, 60, 0.5f);
}

// 94-123 s: the orbit. The grid's anchor puts the camera cues on sixteenths.
void scoreOrbit(Composer& c) {
    const Grid g{94.0133};
    sectionStart(c, 94.0, 1.0f);
    addCueHit(c, kickVoice, 94.0, 60, 1.0f);
    const ChordName cycle[4] = {Dm, Gm, Bb, A};
    std::vector<double> cues = cueTable(1);
    for (int bar = 0; bar < 17; bar++) {
        ChordName chord = cycle[bar % 4];
        padBar(c, g, bar, chord, bar < 4 ? 0.35f : 0.55f);
        if (bar < 4) {
            // The dark start: the bass pulses in eighths so the bars dance.
            for (int step = 0; step < 16; step += 2)
                add(c, bassVoice, at(g, bar, step), sixteenth * 1.6, (float)chordShapes[chord].bass,
                    0.35f + 0.1f * (step % 4 == 0));
            if (bar >= 2)
                drumLine(c, closedHatVoice, g, bar, "..x...x...x...x.", 0.25f, 60, -0.25f);
            if (bar % 2 == 0)
                melody(c, bellVoice, g, bar, "D5 - - - - - - - A4 - - - - - - - ", 0.3f,
                       bar == 2 ? 5 : 0, 0.3f);
            continue;
        }
        drumBar(c, g, bar, halfTimeBusy, 0.9f);
        bassLine(c, g, bar, "R---R-O-R---F-O-", chord, 0.7f);
        if (bar >= 8)
            arpeggio(c, g, bar, chord, 0.2f);
    }
    // The camera jumps: a stab, a tom and a clap on each. The last 19 cues
    // before the final one are a roll, played on the snare.
    const int rollStart = 23, last = (int)cues.size() - 1;
    for (int i = 0; i < rollStart; i++) {
        int bar = (int)std::floor((cues[i] - g.anchor) / barSeconds);
        stab(c, cues[i], cycle[std::clamp(bar, 0, 16) % 4], 0.7f);
        addCueHit(c, tomVoice, cues[i], (float)(50 - (i % 4) * 3), 0.75f, (i % 3 - 1) * 0.4f);
        addCueHit(c, clapVoice, cues[i], 60, 0.55f, 0.1f);
    }
    for (int i = rollStart; i < last; i++) {
        float k = (float)(i - rollStart) / (last - rollStart);
        addCueHit(c, snareVoice, cues[i], 60 + k * 6, 0.45f + 0.5f * k, (i % 2 ? 0.2f : -0.2f));
    }
    add(c, riserVoice, 119.5, cues[last] - 119.5, 60, 0.5f);
    // Bar 17: the roll over a held dominant.
    addChord(c, padVoice, at(g, 17, 0), cues[last] - at(g, 17, 0), A, 0.6f);
    add(c, bassVoice, at(g, 17, 0), cues[last] - at(g, 17, 0) - 0.05, (float)chordShapes[A].bass,
        0.6f);
    drumBar(c, g, 17, halfTimeBusy, 0.9f, 3);
    // The last jump, then the dark: only the hit's tail and a low drone.
    sectionStart(c, cues[last], 1.0f);
    addCueHit(c, kickVoice, cues[last], 60, 1.0f);
    stab(c, cues[last], Dm, 1.0f);
    addCueHit(c, tomVoice, cues[last], 38, 1.0f);
    addChord(c, padVoice, cues[last], 1.6, Dm, 0.25f, -1);
}

// 123-163 s: the greeting. Dark until 125 s; the groove drops at 133.47 s,
// the first cue of the greeting table, and from there the kicks are the cues.
void scoreGreeting(Composer& c) {
    const Grid g{122.9634};
    const ChordName cycle[4] = {Bb, C, Dm, Dm};
    std::vector<double> cues = cueTable(2);
    for (int bar = 0; bar < 7; bar++) {
        ChordName chord = cycle[bar % 4];
        padBar(c, g, bar, chord, 0.2f + bar * 0.06f);
        if (bar >= 1)
            arpeggio(c, g, bar, chord, 0.12f + bar * 0.035f);
        if (bar >= 3)
            drumLine(c, closedHatVoice, g, bar, bar >= 5 ? "xgxgxgxgxgxgxgxg" : "x.x.x.x.x.x.x.x.",
                     0.3f, 60, -0.25f);
        if (bar >= 4 && bar < 6)
            drumLine(c, kickVoice, g, bar, "x...x...x...x...", 0.6f);
        if (bar >= 2)
            add(c, bassVoice, at(g, bar, 0), barSeconds * 0.95, (float)chordShapes[chord].bass,
                0.3f);
    }
    drumLine(c, snareVoice, g, 5, "x.......x.......", 0.5f);
    snareFill(c, g, 6, 0, 16);
    add(c, riserVoice, at(g, 5, 0), 2 * barSeconds, 60, 0.5f);
    add(c, swellVoice, at(g, 6, 0), barSeconds, 60, 0.5f);

    for (int bar = 7; bar < 26; bar++) {
        ChordName chord = cycle[(bar - 7) % 4];
        drumLine(c, snareVoice, g, bar, "....X.......X...", 0.8f);
        drumLine(c, closedHatVoice, g, bar, "xgxoxgxoxgxoxgxo", 0.32f, 60, -0.25f);
        if (bar % 2 == 0)
            add(c, openHatVoice, at(g, bar, 10), 0, 60, 0.2f, 0.3f);
        padBar(c, g, bar, chord, 0.55f);
        if (bar >= 15 && bar < 19)
            arpeggio(c, g, bar, chord, 0.25f);
    }
    // The kicks are the cues, and the bass follows them, each note held to
    // the next kick.
    for (size_t i = 0; i < cues.size(); i++) {
        addCueHit(c, kickVoice, cues[i], 60, 0.95f);
        int bar = (int)std::floor((cues[i] - g.anchor) / barSeconds);
        ChordName chord = cycle[(std::max(bar, 7) - 7) % 4];
        double next = i + 1 < cues.size() ? cues[i + 1] : cues[i] + 0.4;
        double length = std::min(next - cues[i], 3 * sixteenth) * 0.85;
        add(c, bassVoice, cues[i], length, (float)(chordShapes[chord].bass + (i % 5 == 4 ? 12 : 0)),
            0.8f);
    }
    melody(c, leadVoice, g, 7, themeB, 0.8f);
    melody(c, leadVoice, g, 11, themeB, 0.8f);
    melody(c, leadVoice, g, 19, themeB, 0.85f);
    melody(c, bellVoice, g, 19, themeB, 0.3f, 12, -0.4f);
    melody(c, leadVoice, g, 23,
           "F5 - A5 - D6 - - - - - C6 - A5 - - -   D6 - - - - - - - - - - - - - - - ", 0.85f);
    addCueHit(c, crashVoice, cues.back(), 60, 0.6f);
    addChord(c, padVoice, cues.back(), 1.2, Dm, 0.35f);
}

// 163-178 s: the credits and the close.
void scoreClosing(Composer& c) {
    const Grid g{163.0};
    addChord(c, padVoice, at(g, 0, 0), 2 * barSeconds, Dm9, 0.3f);
    addChord(c, padVoice, at(g, 2, 0), barSeconds, Bbmaj7, 0.3f);
    addChord(c, padVoice, at(g, 3, 0), barSeconds / 2, Gm7, 0.3f);
    addChord(c, padVoice, at(g, 3, 8), barSeconds / 2, A, 0.3f);
    addChord(c, padVoice, at(g, 4, 0), 5 * barSeconds, Dm9, 0.28f);
    const char* tune =
        "A4 - D5 - F5 - - - E5 - - - D5 - - -   C5 - - - D5 - - - - - - - . . . .   "
        "Bb4 - D5 - F5 - - - A5 - - - G5 - - -   Bb4 - - - - - - - C#5 - - - - - - -   "
        "D5 - - - - - - - - - - - - - - - ";
    melody(c, pianoVoice, g, 0, tune, 0.5f, 0, 0.15f);
    melody(c, pianoVoice, g, 0,
           "D3 - - - - - - - - - - - - - - -   A2 - - - - - - - . . . . . . . .   "
           "Bb2 - - - - - - - - - - - - - - -   G2 - - - - - - - A2 - - - - - - -   "
           "D3 - - - - - - - - - - - - - - - ",
           0.45f, 0, -0.15f);
    for (int bar = 0; bar < 6; bar++)
        for (int beat = 0; beat < 4; beat += 2)
            add(c, pulseVoice, at(g, bar, beat * 4), 0, 50, 0.3f);
}

bool percussive(Voice v) {
    return v != padVoice && v != riserVoice && v != swellVoice;
}

// Grid notes within half a sixteenth of a cue hit move onto it.
void snapToCues(Score& score) {
    std::vector<double> targets;
    for (const NoteEvent& e : score)
        if (e.onCue)
            targets.push_back(e.time);
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    for (NoteEvent& e : score) {
        if (e.onCue || !percussive(e.voice))
            continue;
        auto next = std::lower_bound(targets.begin(), targets.end(), e.time);
        double best = 1e9, target = e.time;
        if (next != targets.end() && *next - e.time < best)
            best = *next - e.time, target = *next;
        if (next != targets.begin() && e.time - *(next - 1) < best)
            best = e.time - *(next - 1), target = *(next - 1);
        if (best < sixteenth / 2)
            e.time = target;
    }
}

} // namespace

Score composeScore() {
    Composer c{{}, 1};
    scoreOpening(c);
    scoreTitles(c);
    scoreChrome(c);
    scoreVideo(c);
    scoreOrbit(c);
    scoreGreeting(c);
    scoreClosing(c);
    snapToCues(c.score);
    std::stable_sort(c.score.begin(), c.score.end(),
                     [](const NoteEvent& a, const NoteEvent& b) { return a.time < b.time; });
    return c.score;
}
