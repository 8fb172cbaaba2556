// The show's timing as the music is written to it: one tempo for the whole
// track, and the clip's clock. The clip uses the music's grid so that its
// pulses fall on the beats.
#pragma once

constexpr double beatsPerMinute = 160.0;
constexpr double beatSeconds = 60.0 / beatsPerMinute; // 0.375 s
constexpr double barSeconds = 4 * beatSeconds;        // 1.5 s

// The video scene's first downbeat: the music's bars there start from it,
// and so do the clip's pulses.
constexpr double videoGrooveStart = 57.0;

// The clip: its frame n belongs to the show time clipStart + n x 60 ms.
constexpr double clipStart = 56.0;
constexpr double clipFrameSeconds = 0.06;
constexpr int clipFrameCount = 680;
constexpr int clipWidth = 320, clipHeight = 240;
