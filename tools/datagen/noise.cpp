// Deterministic randomness: splitmix64 for sequences, an integer hash for
// lattice noise. No library generator is used, so the data set does not
// depend on the C library's rand().
#include "noise.h"

#include <cmath>

Random seededRandom(uint64_t seed) {
    return Random{seed * 0x9E3779B97F4A7C15ull + 1};
}

uint64_t nextRandom(Random& random) {
    uint64_t z = (random.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double randomUnit(Random& random) {
    return (nextRandom(random) >> 11) * (1.0 / 9007199254740992.0);
}

double hashUnit(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = (uint32_t)x * 0x8DA6B343u ^ (uint32_t)y * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h * (1.0 / 4294967296.0);
}

static double smoothStep(double t) {
    return t * t * (3.0 - 2.0 * t);
}

double valueNoise(double x, double y, uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int32_t ix = (int32_t)fx, iy = (int32_t)fy;
    double tx = smoothStep(x - fx), ty = smoothStep(y - fy);
    double a = hashUnit(ix, iy, seed), b = hashUnit(ix + 1, iy, seed);
    double c = hashUnit(ix, iy + 1, seed), d = hashUnit(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) * (1.0 - ty) + (c + (d - c) * tx) * ty;
}

double fractalNoise(double x, double y, int octaves, uint32_t seed) {
    double sum = 0.0, weight = 1.0, total = 0.0;
    for (int octave = 0; octave < octaves; octave++) {
        sum += valueNoise(x, y, seed + (uint32_t)octave * 1013u) * weight;
        total += weight;
        weight *= 0.5;
        x = x * 2.03 + 17.1;
        y = y * 2.03 + 5.7;
    }
    return sum / total;
}
