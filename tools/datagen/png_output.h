// Writes pictures as PNG files with libpng: 8 bits a channel, RGB or RGBA,
// no time stamp or text chunks, so the same picture always gives the same bytes.
#pragma once

#include <string>

#include "raster.h"

// channels is 3 (RGB, no alpha) or 4 (RGBA). False, with a message on
// standard error naming the file, when the file cannot be written.
bool writePng(const std::string& path, const Raster& raster, int channels);
