// Deterministic randomness for the generator: a small seeded generator and
// hash-based value noise, so that every run makes the same bytes.
#pragma once

#include <cstdint>

struct Random {
    uint64_t state;
};

Random seededRandom(uint64_t seed);
uint64_t nextRandom(Random& random);
// Uniform in [0, 1).
double randomUnit(Random& random);

// A hash of integer lattice coordinates to [0, 1).
double hashUnit(int32_t x, int32_t y, uint32_t seed);
// Smooth value noise in [0, 1) on the plane, one lattice cell per unit.
double valueNoise(double x, double y, uint32_t seed);
// Sum of octaves of value noise, normalised to [0, 1).
double fractalNoise(double x, double y, int octaves, uint32_t seed);
