// The show's music: composed, synthesised and encoded to MP3 here.
#pragma once

#include <string>

bool writeMusicTrack(const std::string& path);
