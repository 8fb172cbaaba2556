// The clip's pictures: three demo effects on the music's grid (a neon tunnel,
// a kaleidoscope, a flight over hills at dusk), cut on the bar lines.
#pragma once

#include <cstdint>
#include <vector>

struct ClipPainter; // tables prepared once for all frames

ClipPainter* openClipPainter();
void closeClipPainter(ClipPainter* painter);
// Frame n as RGB bytes, top row first, in the colours meant to be seen.
void paintClipFrame(ClipPainter* painter, int frame, std::vector<uint8_t>& rgb);
