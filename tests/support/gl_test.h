// A real OpenGL context on Mesa's llvmpipe for tests: one hidden 800 x 600
// context per test program, drawing into an off-screen frame buffer. Pixels
// are read in screen terms: x from the left, y from the top.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

struct Rgb {
    int r, g, b;
};

class GlTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

  public:
    static constexpr int width = 800;
    static constexpr int height = 600;
    static Rgb pixel(int x, int y);
    // The whole frame, RGB, top row first.
    static std::vector<uint8_t> frame();
};

// True when every colour channel of a is within tolerance of b.
::testing::AssertionResult near(Rgb actual, Rgb expected, int tolerance = 1);
