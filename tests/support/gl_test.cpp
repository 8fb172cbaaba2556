#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

#include "platform/window_system.h"
#include "tests/support/x_display.h"

static bool contextReady;

void GlTest::SetUpTestSuite() {
    if (contextReady)
        return;
    if (!ensureXDisplay() || !platformCreateOffscreenGL(width, height)) {
        std::fprintf(stderr, "no OpenGL context can be had\n");
        std::abort();
    }
    contextReady = true;
}

// Every test starts from the window's base state: full viewport, identity
// matrices, nothing enabled, opaque white colour, a black frame.
void GlTest::SetUp() {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

// Nothing left queued when the process ends: llvmpipe can deadlock at exit
// joining threads that still have drawing to do.
void GlTest::TearDown() {
    glFinish();
}

Rgb GlTest::pixel(int x, int y) {
    uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, height - 1 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return Rgb{rgb[0], rgb[1], rgb[2]};
}

std::vector<uint8_t> GlTest::frame() {
    std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<uint8_t> topDown(bottomUp.size());
    size_t row = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::copy_n(&bottomUp[(height - 1 - y) * row], row, &topDown[y * row]);
    return topDown;
}

GLuint makeTestTexture(int width, int height, GLenum format, const uint8_t* pixels) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), width, height, 0, format,
                 GL_UNSIGNED_BYTE, pixels);
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}

GLuint solidTestTexture(uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t rgb[3] = {r, g, b};
    return makeTestTexture(1, 1, GL_RGB, rgb);
}

static const double focal = 1 / std::tan(22.5 * M_PI / 180);

double screenX(double x, double z) {
    return 400 + 400 * (focal * 0.75) * x / -z;
}
double screenY(double y, double z) {
    return 300 - 300 * focal * y / -z;
}
int firstPixel(double a) {
    return static_cast<int>(std::ceil(a - 0.5));
}
int lastPixel(double b) {
    return static_cast<int>(std::floor(b - 0.5));
}

std::vector<GLfloat> currentMatrices() {
    std::vector<GLfloat> matrices(32);
    glGetFloatv(GL_PROJECTION_MATRIX, matrices.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, matrices.data() + 16);
    return matrices;
}

::testing::AssertionResult near(Rgb actual, Rgb expected, int tolerance) {
    if (std::abs(actual.r - expected.r) <= tolerance &&
        std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << actual.r << ", " << actual.g << ", " << actual.b << "), expected ("
           << expected.r << ", " << expected.g << ", " << expected.b << ") within " << tolerance;
}
