// The show's timing as the music is written to it: one tempo, and the times
// at which the scenes change. The video clip uses the same grid so that its
// pulses fall on the music's beats.
#pragma once

constexpr double beatsPerMinute = 160.0;
constexpr double beatSeconds = 60.0 / beatsPerMinute; // 0.375 s
constexpr double barSeconds = 4 * beatSeconds;        // 1.5 s

// Scene changes of the show, seconds.
constexpr double sceneStarts[] = {0.0, 44.0, 46.0, 57.0, 94.0, 123.0, 163.0};

// The clip: its frame n belongs to the show time clipStart + n x 60 ms.
constexpr double clipStart = 56.0;
constexpr double clipFrameSeconds = 0.06;
constexpr int clipFrameCount = 680;
constexpr int clipWidth = 320, clipHeight = 240;
