// The two meshes: spiky, smooth closed bodies written as Wavefront OBJ text.
#pragma once

#include <string>

// which 0: data/3d/smoothspike.obj, which 1: data/3d/smoothspike2.obj.
bool writeSpikeMesh(const std::string& path, int which);
