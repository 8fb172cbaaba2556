// The video clip: an animation made here, written as Motion JPEG in AVI.
#pragma once

#include <string>

bool writeDemoClip(const std::string& path);
