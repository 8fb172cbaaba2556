// The texture set and pngBind: the file's first row at t = 0, the whole image
// (sides that are not powers of two included) spanning 0 to 1, alpha kept
// where the file has it, the parameters every texture gets, files that give
// name 0 without stopping the loads after them, and each slot holding its
// own file's picture.
#include <GL/gl.h>
#include <png.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/texture_set.h"
#include "platform/png_bind.h"
#include "tests/support/gl_test.h"

namespace {

namespace fs = std::filesystem;

fs::path scratchDirectory() {
    static fs::path directory = [] {
        char pattern[] = "/tmp/vantrel-png-XXXXXX";
        return fs::path(mkdtemp(pattern));
    }();
    return directory;
}

struct Picture {
    int width, height, channels; // 1 grey, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels; // top row first
    void set(int x, int y, std::vector<uint8_t> value) {
        for (int c = 0; c < channels; ++c)
            pixels[(static_cast<size_t>(y) * width + x) * channels + c] = value[c];
    }
};

Picture filled(int width, int height, int channels, std::vector<uint8_t> value) {
    Picture picture{width, height, channels,
                    std::vector<uint8_t>(static_cast<size_t>(width) * height * channels)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.set(x, y, value);
    return picture;
}

std::vector<uint8_t> encodePng(const Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = picture.width;
    image.height = picture.height;
    image.format = picture.channels == 1   ? PNG_FORMAT_GRAY
                   : picture.channels == 3 ? PNG_FORMAT_RGB
                                           : PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, picture.pixels.data(), 0, nullptr);
    std::vector<uint8_t> bytes(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, picture.pixels.data(), 0,
                                          nullptr));
    bytes.resize(size);
    return bytes;
}

std::string writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

std::string writePng(const std::string& name, const Picture& picture) {
    return writeBytes(scratchDirectory() / name, encodePng(picture));
}

uint32_t crc32Of(const uint8_t* data, size_t length) {
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void putBigEndian(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A real PNG whose header is made to declare other sides (its CRC fixed, so
// that only the size gives it away).
std::vector<uint8_t> withDeclaredSize(std::vector<uint8_t> png, uint32_t width, uint32_t height) {
    putBigEndian(&png[16], width);
    putBigEndian(&png[20], height);
    putBigEndian(&png[29], crc32Of(&png[12], 17));
    return png;
}

// The most address space the process has held so far, from /proc.
long vmPeakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmPeak:", 0) == 0)
            return std::stol(line.substr(7));
    return -1;
}

const std::vector<uint8_t> red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255}, white{255, 255, 255};

class TextureSetTest : public GlTest {
  protected:
    // Draws texture over the whole frame in overlay terms (y down): the quad's
    // top edge has t = 0, its left edge s = 0.
    static void drawTextured(GLuint texture) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, width, height, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(0, 0);
        glTexCoord2f(1, 0);
        glVertex2f(width, 0);
        glTexCoord2f(1, 1);
        glVertex2f(width, height);
        glTexCoord2f(0, 1);
        glVertex2f(0, height);
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }

    static GLint level(GLuint texture, GLint levelNumber, GLenum what) {
        glBindTexture(GL_TEXTURE_2D, texture);
        GLint value = -1;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, levelNumber, what, &value);
        return value;
    }
};

TEST_F(TextureSetTest, FirstFileRowAtTZeroWholeImageSpansTheQuad) {
    // 3 x 5, neither side a power of two: red first row, blue last, and a
    // white first column in the middle row.
    Picture picture = filled(3, 5, 3, green);
    for (int x = 0; x < 3; ++x) {
        picture.set(x, 0, red);
        picture.set(x, 4, blue);
    }
    picture.set(0, 2, white);
    GLuint texture = loadTexture(writePng("rows.png", picture).c_str());
    ASSERT_NE(texture, 0u);
    drawTextured(texture);
    // Each texel row covers 120 frame rows, each column 266.7 frame columns.
    EXPECT_TRUE(near(pixel(400, 5), Rgb{255, 0, 0}));
    EXPECT_TRUE(near(pixel(400, 115), Rgb{255, 0, 0}));
    EXPECT_TRUE(near(pixel(400, 125), Rgb{0, 255, 0}));
    EXPECT_TRUE(near(pixel(400, 485), Rgb{0, 0, 255}));
    EXPECT_TRUE(near(pixel(400, 595), Rgb{0, 0, 255}));
    EXPECT_TRUE(near(pixel(5, 300), Rgb{255, 255, 255}));
    EXPECT_TRUE(near(pixel(260, 300), Rgb{255, 255, 255}));
    EXPECT_TRUE(near(pixel(273, 300), Rgb{0, 255, 0}));
    EXPECT_TRUE(near(pixel(795, 300), Rgb{0, 255, 0}));
}

TEST_F(TextureSetTest, AlphaKeptOnlyWhereTheFileHasIt) {
    struct Case {
        const char* name;
        Picture picture;
        GLint alphaBits;
        unsigned depth;
        Rgb drawn;
    };
    Picture halfTransparent = filled(2, 2, 4, {255, 0, 255, 128});
    const Case cases[] = {
        {"rgba.png", halfTransparent, 8, 32, Rgb{255, 0, 255}},
        {"rgb.png", filled(2, 2, 3, {10, 200, 30}), 0, 24, Rgb{10, 200, 30}},
        {"grey.png", filled(4, 1, 1, {77}), 0, 24, Rgb{77, 77, 77}},
    };
    for (const Case& c : cases) {
        PngInfo info{};
        GLuint texture = pngBind(writePng(c.name, c.picture).c_str(), PNG_NOMIPMAPS, PNG_ALPHA,
                                 &info, GL_REPEAT, GL_NEAREST, GL_NEAREST);
        ASSERT_NE(texture, 0u) << c.name;
        EXPECT_EQ(level(texture, 0, GL_TEXTURE_ALPHA_SIZE), c.alphaBits) << c.name;
        EXPECT_EQ(info.width, static_cast<unsigned>(c.picture.width)) << c.name;
        EXPECT_EQ(info.height, static_cast<unsigned>(c.picture.height)) << c.name;
        EXPECT_EQ(info.depth, c.depth) << c.name;
        EXPECT_EQ(info.alpha, c.alphaBits == 0 ? 0u : 8u) << c.name;
        glClear(GL_COLOR_BUFFER_BIT);
        drawTextured(texture);
        EXPECT_TRUE(near(pixel(400, 300), c.drawn)) << c.name;
    }
    // The alpha is the file's: blended over black, half of the magenta shows.
    GLuint texture = loadTexture((scratchDirectory() / "rgba.png").c_str());
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    drawTextured(texture);
    glDisable(GL_BLEND);
    EXPECT_TRUE(near(pixel(400, 300), Rgb{128, 0, 128}, 2));
}

TEST_F(TextureSetTest, RepeatNearestAndLevelZeroOnly) {
    GLuint texture = loadTexture(writePng("params.png", filled(8, 4, 3, red)).c_str());
    ASSERT_NE(texture, 0u);
    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    EXPECT_EQ(level(texture, 0, GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(level(texture, 0, GL_TEXTURE_HEIGHT), 4);
    EXPECT_EQ(level(texture, 1, GL_TEXTURE_WIDTH), 0);
}

TEST_F(TextureSetTest, BadFilesGiveNameZeroAndTheNextLoadGoesOn) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    std::vector<uint8_t> good = encodePng(filled(16, 16, 4, {1, 2, 3, 4}));
    fs::path dir = scratchDirectory() / "bad";
    std::vector<uint8_t> noEnd(good.begin(), good.end() - 12);      // IEND cut off
    std::vector<uint8_t> halfData(good.begin(), good.begin() + 50); // inside the data
    std::vector<uint8_t> text{'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '\n'};
    std::vector<uint8_t> badCrc = good;
    badCrc[30] ^= 0xff;
    struct Case {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing", (dir / "missing.png").string()},
        {"a directory", dir.string()},
        {"empty", writeBytes(dir / "empty.png", {})},
        {"text", writeBytes(dir / "text.png", text)},
        {"without IEND", writeBytes(dir / "noend.png", noEnd)},
        {"cut inside the data", writeBytes(dir / "half.png", halfData)},
        {"header CRC wrong", writeBytes(dir / "crc.png", badCrc)},
        {"declares max x max",
         writeBytes(dir / "huge.png", withDeclaredSize(good, maxSize, maxSize))},
        {"declares 1e6 x 1e6",
         writeBytes(dir / "giant.png", withDeclaredSize(good, 1000000, 1000000))},
        {"declares 2^31-1 x 1",
         writeBytes(dir / "wide.png", withDeclaredSize(good, 0x7fffffff, 1))},
        // A real image, wider than any texture here can be.
        {"wider than GL allows",
         writeBytes(dir / "toowide.png", encodePng(filled(maxSize + 1, 1, 3, red)))},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        PngInfo info{7, 7, 7, 7};
        long peakBefore = vmPeakKiB();
        GLuint texture = pngBind(c.path.c_str(), PNG_NOMIPMAPS, PNG_ALPHA, &info, GL_REPEAT,
                                 GL_NEAREST, GL_NEAREST);
        long peakAfter = vmPeakKiB();
        std::string printed = testing::internal::GetCapturedStderr();
        // No header makes it reserve memory for pixels the file cannot hold.
        EXPECT_LT(peakAfter - peakBefore, 64 * 1024) << c.what;
        EXPECT_EQ(texture, 0u) << c.what;
        EXPECT_EQ(info.width, 0u) << c.what;
        EXPECT_EQ(printed, "") << c.what; // a broken picture is as silent as a missing one
        GLuint next = loadTexture(writeBytes(dir / "good.png", good).c_str());
        EXPECT_NE(next, 0u) << "after " << c.what;
        EXPECT_EQ(level(next, 0, GL_TEXTURE_WIDTH), 16) << "after " << c.what;
    }
}

// The data set laid out in a directory of its own: each slot's picture
// has its own width (slot + 1), the font 99; guess.png is missing and
// block.png is broken.
TEST_F(TextureSetTest, EverySlotHoldsItsFileAndFailuresLeaveZero) {
    const struct {
        int slot;
        const char* path;
    } files[] = {{0, "data/textures/org.png"},   {2, "data/textures/back7.png"},
                 {3, "data/textures/env3.png"},  {4, "data/textures/envifoo.png"},
                 {21, "data/overlay/whois.png"}, {22, "data/overlay/back.png"},
                 {23, "data/overlay/lorv.png"},  {24, "data/overlay/lorv_mask.png"},
                 {99, "data/textures/font.png"}};
    fs::path root = scratchDirectory() / "show";
    for (const auto& file : files)
        writeBytes(root / file.path, encodePng(filled(file.slot + 1, 2, 4, {9, 9, 9, 255})));
    std::vector<uint8_t> broken = encodePng(filled(2, 2, 3, red));
    broken.resize(broken.size() / 2);
    writeBytes(root / "data/textures/block.png", broken);

    fs::path previous = fs::current_path();
    fs::current_path(root);
    loadTextureSet();
    fs::current_path(previous);

    EXPECT_EQ(textureSet[1], 0u);
    EXPECT_EQ(textureSet[20], 0u);
    for (int slot = 5; slot < 20; ++slot)
        EXPECT_EQ(textureSet[slot], 0u) << slot;
    for (int slot = 25; slot < textureSlotCount; ++slot)
        EXPECT_EQ(textureSet[slot], 0u) << slot;
    for (const auto& file : files) {
        GLuint name = file.slot == 99 ? fontTexture : textureSet[file.slot];
        ASSERT_NE(name, 0u) << file.path;
        EXPECT_EQ(level(name, 0, GL_TEXTURE_WIDTH), file.slot + 1) << file.path;
    }
}

} // namespace
