// Three single-precision floats, passed by value.
#pragma once

struct Vec3 {
    float x, y, z;
};

inline Vec3 vec3Add(Vec3 a, Vec3 b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 vec3Sub(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
