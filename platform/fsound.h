// Our sound library: the calls the music module makes, under the names the
// show has always used. One MP3 stream, decoded whole from a memory image,
// plays on one channel through the system's sound device; its play position
// is the show's clock and its spectrum feeds the effects.
//
// Without a sound device the stream plays on a silent real-time clock. A
// manual clock lets a caller set the stream time itself; the spectrum then
// follows that time and nothing is heard.
#pragma once

#include <cstdint>

struct FSoundStream;  // a decoded track and how it is opened
struct FSoundDspUnit; // the spectrum analyser

constexpr int32_t FSOUND_OUTPUT_WINMM = 1; // the system's standard sound output
constexpr int32_t FSOUND_FREE = -1;        // any free channel

// Stream modes. The stream is always 16-bit stereo at 44.1 kHz inside and
// always seeks sample-exactly; the memory flag is the one that matters.
constexpr uint32_t FSOUND_NORMAL = 0x130;
constexpr uint32_t FSOUND_LOADMEMORY = 0x8000;    // the name argument is the file's bytes
constexpr uint32_t FSOUND_MPEGACCURATE = 0x20000; // exact positions in MPEG streams

bool FSOUND_SetOutput(int32_t outputType);
// Opens the sound device (or, without one, the silent clock). The library
// mixes at 44.1 kHz whatever rate is asked for.
bool FSOUND_Init(int32_t mixRate, int32_t maxChannels, uint32_t flags);
void FSOUND_Close();

// Decodes the whole MPEG audio image at data + offset, length bytes long.
// Null when the mode lacks FSOUND_LOADMEMORY or the bytes are no MPEG audio.
FSoundStream* FSOUND_Stream_Open(const char* data, uint32_t mode, int32_t offset, int32_t length);
// Puts the stream on the channel from position 0; the channel number, or -1.
int32_t FSOUND_Stream_PlayEx(int32_t channel, FSoundStream* stream, FSoundDspUnit* dsp,
                             bool paused);
bool FSOUND_SetPaused(int32_t channel, bool paused);

// The position heard now, in whole milliseconds. Past the end of the track it
// goes on in silence.
int32_t FSOUND_Stream_GetTime(FSoundStream* stream);
// Moves the stream to ms at once; a time below 0 plays from 0.
bool FSOUND_Stream_SetTime(FSoundStream* stream, int32_t ms);
// From now on the stream time is the one last given here (below 0: 0),
// seeks included; nothing more is heard.
bool FSOUND_Stream_SetManualTime(FSoundStream* stream, int32_t ms);

FSoundDspUnit* FSOUND_DSP_GetFFTUnit();
bool FSOUND_DSP_SetActive(FSoundDspUnit* unit, bool active);
// 512 levels of the 1024 samples around the one heard now, entry k centred on
// k x 44100 / 1024 Hz; a full-scale sine reads 1.0 in its entry. Zeros until the stream
// plays. The table stays valid and is refreshed by each call.
float* FSOUND_DSP_GetSpectrum();
