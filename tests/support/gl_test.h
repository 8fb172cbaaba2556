// A real OpenGL context on Mesa's llvmpipe for tests: one hidden 800 x 600
// context per test program, drawing into an off-screen frame buffer. Pixels
// are read in screen terms: x from the left, y from the top.
#pragma once

#include <GL/gl.h>
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

// A nearest-filtered 2D texture (level 0 only) from tightly packed GL_RGB or
// GL_RGBA pixels, first row at t = 0; left unbound.
GLuint makeTestTexture(int width, int height, GLenum format, const uint8_t* pixels);
// A texture of one opaque colour.
GLuint solidTestTexture(uint8_t r, uint8_t g, uint8_t b);

// Where the window's projection (45 degrees vertically, 4:3, near 1) puts an
// eye-space point, in pixels: x from the left, y from the top.
double screenX(double x, double z);
double screenY(double y, double z);
// First and last pixel whose centre lies inside the span [a, b].
int firstPixel(double a);
int lastPixel(double b);

// The projection and model-view matrices, for checking that drawing left them as they were.
std::vector<GLfloat> currentMatrices();

// True when every colour channel of a is within tolerance of b.
::testing::AssertionResult near(Rgb actual, Rgb expected, int tolerance = 1);
