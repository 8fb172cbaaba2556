// The generated data set, read back with the libraries the show reads it
// with: libpng for the pictures, FFmpeg for the clip, libmpg123 for the music;
// the OBJ meshes are parsed here. Pictures are checked for size, channels and
// orientation as the show maps them, the meshes for their counts and their
// winding, the clip for its format, the track for its length, its level and
// hits on every cue time.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <mpg123.h>
#include <png.h>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string dataPath(const std::string& relative) {
    return std::string(VANTREL_BINARY_DIR) + "/data/" + relative;
}

// ---------------------------------------------------------------- pictures

struct Picture {
    int width = 0, height = 0, channels = 0;
    bool alpha = false, colour = false, sixteenBit = false;
    std::vector<uint8_t> pixels;
    int at(int x, int y, int c) const { return pixels[((size_t)y * width + x) * channels + c]; }
};

// Reads a PNG as stored, keeping its alpha channel where it has one.
::testing::AssertionResult readPicture(const std::string& path, Picture& picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return ::testing::AssertionFailure()
               << path << ": " << image.message << " (build the target vantrel_data first)";
    picture.width = (int)image.width;
    picture.height = (int)image.height;
    picture.alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    picture.colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    picture.sixteenBit = (image.format & PNG_FORMAT_FLAG_LINEAR) != 0;
    image.format = picture.alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    picture.channels = picture.alpha ? 4 : 3;
    picture.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr))
        return ::testing::AssertionFailure() << path << ": " << image.message;
    return ::testing::AssertionSuccess();
}

Picture picture(const std::string& relative) {
    Picture p;
    EXPECT_TRUE(readPicture(dataPath(relative), p));
    return p;
}

bool powerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

struct PictureFormat {
    const char* path;
    int width, height;
    bool alpha;
};

TEST(DataSetPictures, EveryPictureHasItsSizeAndChannels) {
    const PictureFormat formats[] = {
        {"textures/org.png", 64, 64, false},        {"textures/block.png", 256, 256, false},
        {"textures/back7.png", 1024, 512, false},   {"textures/env3.png", 512, 512, false},
        {"textures/envifoo.png", 256, 256, false},  {"textures/font.png", 512, 512, true},
        {"overlay/guess.png", 512, 256, false},     {"overlay/whois.png", 512, 256, false},
        {"overlay/back.png", 512, 256, false},      {"overlay/lorv.png", 512, 512, true},
        {"overlay/lorv_mask.png", 512, 512, false},
    };
    for (const PictureFormat& f : formats) {
        SCOPED_TRACE(f.path);
        Picture p = picture(f.path);
        EXPECT_EQ(p.width, f.width);
        EXPECT_EQ(p.height, f.height);
        EXPECT_EQ(p.alpha, f.alpha);
        EXPECT_TRUE(p.colour);
        EXPECT_FALSE(p.sixteenBit);
        EXPECT_TRUE(powerOfTwo(p.width) && powerOfTwo(p.height))
            << "texture sides must be powers of two";
    }
}

TEST(DataSetPictures, DialogPictureIsAGreyGrainyPhotographOfItsSize) {
    Picture p;
    ASSERT_TRUE(readPicture(std::string(VANTREL_BINARY_DIR) + "/resources/startup_picture.png", p));
    EXPECT_EQ(p.width, 500);
    EXPECT_EQ(p.height, 177);
    EXPECT_FALSE(p.alpha) << "24-bit RGB, no alpha";
    EXPECT_FALSE(p.sixteenBit);
    // Nearly colourless: red and blue stay close everywhere; grainy: neighbours
    // differ; and not flat: it spans a good part of the grey scale.
    double colour = 0, grain = 0;
    int darkest = 255, lightest = 0;
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x + 1 < p.width; x++) {
            colour += std::abs(p.at(x, y, 0) - p.at(x, y, 2));
            grain += std::abs(p.at(x, y, 1) - p.at(x + 1, y, 1));
            darkest = std::min(darkest, p.at(x, y, 1));
            lightest = std::max(lightest, p.at(x, y, 1));
        }
    double n = (double)p.height * (p.width - 1);
    EXPECT_LT(colour / n, 10.0);
    EXPECT_GT(grain / n, 6.0);
    EXPECT_GT(lightest - darkest, 150);
}

// Multiplied onto the frame: the corners must leave it as it is (white) and
// the middle must darken it.
TEST(DataSetPictures, SpritesAreWhiteWhereNothingDarkens) {
    for (const char* path : {"textures/org.png", "textures/block.png", "textures/envifoo.png"}) {
        SCOPED_TRACE(path);
        Picture p = picture(path);
        ASSERT_GT(p.width, 0);
        for (int corner = 0; corner < 4; corner++) {
            int x = corner & 1 ? p.width - 1 : 0, y = corner & 2 ? p.height - 1 : 0;
            for (int c = 0; c < 3; c++)
                EXPECT_GE(p.at(x, y, c), 250) << "corner " << corner;
        }
        int middle = p.at(p.width / 2, p.height / 2, 0) + p.at(p.width / 2, p.height / 2, 1) +
                     p.at(p.width / 2, p.height / 2, 2);
        EXPECT_LT(middle, 3 * 240);
    }
}

// The sphere map is looked up by eye-space reflection; its first stored row
// is t = 0, the bottom of the view. So the sky must be in the last rows
// (shown at the top) and the ground in the first.
TEST(DataSetPictures, SphereMapHasItsSkyUpThroughTheTextureMapping) {
    Picture p = picture("textures/env3.png");
    ASSERT_EQ(p.height, 512);
    auto meanOf = [&](int y0, int y1, int c) {
        double sum = 0;
        for (int y = y0; y < y1; y++)
            for (int x = 200; x < 312; x++)
                sum += p.at(x, y, c);
        return sum / ((y1 - y0) * 112);
    };
    double skyRed = meanOf(360, 420, 0), skyBlue = meanOf(360, 420, 2);
    double groundRed = meanOf(90, 150, 0), groundBlue = meanOf(90, 150, 2);
    EXPECT_GT(skyBlue, skyRed + 30) << "sky in the last rows";
    EXPECT_GE(groundRed, groundBlue) << "ground in the first rows";
}

// What the text drawing shows of glyph g, pixel (x, y) of a 32 x 32 view
// from its top left: the glyph's quad runs t from vBottom (its lower edge) to
// vTop = 1 - row / 16 (its upper edge), and t = 0 is the first stored row.
int glyphCoverageOnScreen(const Picture& font, int glyph, int x, int y) {
    double u = (glyph % 16) * 0.0625, vTop = 1.0 - (glyph / 16) * 0.0625;
    double s = u + (x + 0.5) / 32.0 * 0.0625, t = vTop - (y + 0.5) / 32.0 * 0.0625;
    int column = std::min(font.width - 1, (int)(s * font.width));
    int row = std::min(font.height - 1, (int)(t * font.height));
    return font.at(column, row, 3);
}

struct Ink {
    int total = 0;
    double top = 0, bottom = 0, left = 0, right = 0; // ink in each half
};

Ink glyphInk(const Picture& font, int glyph) {
    Ink ink;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) {
            int a = glyphCoverageOnScreen(font, glyph, x, y);
            ink.total += a;
            (y < 16 ? ink.top : ink.bottom) += a;
            (x < 16 ? ink.left : ink.right) += a;
        }
    return ink;
}

TEST(DataSetPictures, FontGlyphsShowUprightInTheirCellsThroughTheTextMapping) {
    Picture font = picture("textures/font.png");
    ASSERT_EQ(font.width, 512);
    ASSERT_TRUE(font.alpha);
    // White everywhere: the letters are in the alpha channel.
    for (int i = 0; i < 512 * 512; i += 97)
        ASSERT_EQ(font.pixels[i * 4] + font.pixels[i * 4 + 1] + font.pixels[i * 4 + 2], 3 * 255);
    for (int set = 0; set < 2; set++) {
        SCOPED_TRACE(set ? "second style" : "first style");
        int base = set ? 96 : -32; // glyph = code - 32, or code + 96
        EXPECT_EQ(glyphInk(font, ' ' + base).total, 0) << "the space is empty";
        for (int code = 33; code < 127; code++)
            EXPECT_GT(glyphInk(font, code + base).total, 255 * 8)
                << "glyph for code " << code << " has ink";
        // Letters that tell up from down and left from right.
        Ink T = glyphInk(font, 'T' + base), L = glyphInk(font, 'L' + base),
            P = glyphInk(font, 'P' + base);
        Ink seven = glyphInk(font, '7' + base), J = glyphInk(font, 'J' + base);
        EXPECT_GT(T.top, T.bottom) << "T's bar on top";
        EXPECT_GT(P.top, P.bottom * 1.3) << "P's bowl on top";
        EXPECT_GT(seven.top, seven.bottom) << "7's bar on top";
        EXPECT_GT(L.left, L.right * 1.3) << "L's stem on the left";
        EXPECT_GT(J.right, J.left) << "J's stem on the right";
        EXPECT_GT(glyphInk(font, 'q' + base).bottom, glyphInk(font, 'd' + base).bottom)
            << "q's descender below, d's ascender above";
    }
    // Cells outside the two sets hold nothing.
    EXPECT_EQ(glyphInk(font, 100).total, 0);
    EXPECT_EQ(glyphInk(font, 230).total, 0);
}

// Ink profiles across a picture: how much light lies in each column.
std::vector<double> columnProfile(const Picture& p, int channel, int y0, int y1, bool mirrored) {
    std::vector<double> profile(p.width);
    for (int x = 0; x < p.width; x++)
        for (int y = y0; y < y1; y++)
            profile[mirrored ? p.width - 1 - x : x] += p.at(x, y, channel) > 160 ? 1 : 0;
    return profile;
}

std::vector<double> textProfile(const char* text, const char* fontFile, int pixelSize, int width) {
    FT_Library library;
    FT_Face face;
    std::vector<double> profile(width);
    if (FT_Init_FreeType(&library) != 0)
        return profile;
    std::string path = std::string("/usr/share/fonts/truetype/dejavu/") + fontFile;
    if (FT_New_Face(library, path.c_str(), 0, &face) == 0) {
        FT_Set_Pixel_Sizes(face, 0, pixelSize);
        int pen = 0;
        for (const char* c = text; *c; c++) {
            if (FT_Load_Char(face, (unsigned char)*c, FT_LOAD_RENDER) != 0)
                continue;
            FT_GlyphSlot g = face->glyph;
            for (unsigned x = 0; x < g->bitmap.width; x++)
                for (unsigned y = 0; y < g->bitmap.rows; y++)
                    if (g->bitmap.buffer[y * g->bitmap.pitch + x] > 128 &&
                        pen + g->bitmap_left + (int)x < width)
                        profile[std::max(0, pen + g->bitmap_left + (int)x)] += 1;
            pen += (int)(g->advance.x >> 6);
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return profile;
}

// The best normalised correlation of two profiles over horizontal shifts and
// a few scales, so that the test does not depend on the exact lettering size.
double bestMatch(const std::vector<double>& picture, const std::vector<double>& text) {
    double best = -1;
    for (double scale = 0.6; scale <= 1.6; scale += 0.02) {
        std::vector<double> scaled((size_t)(text.size() * scale));
        for (size_t i = 0; i < scaled.size(); i++)
            scaled[i] = text[std::min(text.size() - 1, (size_t)(i / scale))];
        for (int shift = -(int)scaled.size(); shift < (int)picture.size(); shift += 2) {
            double sab = 0, saa = 0, sbb = 0;
            for (size_t i = 0; i < picture.size(); i++) {
                int j = (int)i - shift;
                double a = picture[i], b = j >= 0 && j < (int)scaled.size() ? scaled[j] : 0;
                sab += a * b, saa += a * a, sbb += b * b;
            }
            if (saa > 0 && sbb > 0)
                best = std::max(best, sab / std::sqrt(saa * sbb));
        }
    }
    return best;
}

// The overlay mapping mirrors pictures left to right, so the words must be
// stored mirrored: mirrored back, they match the word's own lettering
// better than as stored.
TEST(DataSetPictures, TitleCardsAndLogoReadCorrectlyOnScreen) {
    struct Word {
        const char* path;
        const char* text;
        int y0, y1, channel;
    };
    const Word words[] = {{"overlay/guess.png", "GUESS", 60, 160, 1},
                          {"overlay/whois.png", "WHO IS", 60, 160, 1},
                          {"overlay/back.png", "BACK", 60, 160, 1},
                          {"overlay/lorv.png", "VANTREL", 330, 400, 3}};
    for (const Word& w : words) {
        SCOPED_TRACE(w.path);
        Picture p = picture(w.path);
        ASSERT_GT(p.width, 0);
        std::vector<double> text = textProfile(w.text, "DejaVuSans-Bold.ttf", 100, 800);
        double onScreen = bestMatch(columnProfile(p, w.channel, w.y0, w.y1, true), text);
        double asStored = bestMatch(columnProfile(p, w.channel, w.y0, w.y1, false), text);
        EXPECT_GT(onScreen, asStored + 0.03)
            << "on screen " << onScreen << ", as stored " << asStored;
        EXPECT_GT(onScreen, 0.8);
    }
}

TEST(DataSetPictures, LogoIsWhiteOnTransparentAndItsMaskDarkUnderIt) {
    Picture logo = picture("overlay/lorv.png"), mask = picture("overlay/lorv_mask.png");
    ASSERT_EQ(logo.width, mask.width);
    ASSERT_EQ(logo.height, mask.height);
    int covered = 0, clear = 0;
    for (int y = 0; y < logo.height; y++)
        for (int x = 0; x < logo.width; x++) {
            int a = logo.at(x, y, 3);
            if (a > 0) {
                ASSERT_EQ(logo.at(x, y, 0) + logo.at(x, y, 1) + logo.at(x, y, 2), 3 * 255)
                    << x << "," << y;
            }
            if (a > 200) {
                covered++;
                EXPECT_LT(mask.at(x, y, 1), 80) << "mask dark under the logo at " << x << "," << y;
            }
            if (a == 0 && mask.at(x, y, 1) == 255)
                clear++;
        }
    EXPECT_GT(covered, 5000);
    EXPECT_GT(clear, logo.width * logo.height / 2) << "white where there is no logo";
    // The mask's dark shape is larger than the logo: an outline around the letters.
    int darkOnly = 0;
    for (int y = 0; y < logo.height; y++)
        for (int x = 0; x < logo.width; x++)
            darkOnly += logo.at(x, y, 3) == 0 && mask.at(x, y, 1) < 128;
    EXPECT_GT(darkOnly, covered / 4);
}

// ---------------------------------------------------------------- meshes

struct ParsedMesh {
    int positions = 0, texCoords = 0, normals = 0, comments = 0;
    std::vector<std::array<float, 3>> position;
    std::vector<std::array<int, 3>> triangles;
    std::map<std::string, int> groupTriangles; // by name; faces before any g go to "default"
    int groupLines = 0, repeatedGroupLines = 0;
    std::set<std::string> notations; // "v", "v/vt", "v/vt/vn", "v//vn"
    int faceCorners[8] = {};         // faces by their number of corners
    std::string error;
};

std::string notationOf(const std::string& corner) {
    if (corner.find("//") != std::string::npos)
        return "v//vn";
    size_t slashes = std::count(corner.begin(), corner.end(), '/');
    return slashes == 2 ? "v/vt/vn" : slashes == 1 ? "v/vt" : "v";
}

ParsedMesh parseObj(const std::string& path) {
    ParsedMesh mesh;
    std::ifstream file(path);
    if (!file) {
        mesh.error = path + ": cannot open (build the target vantrel_data first)";
        return mesh;
    }
    std::string line, group = "default";
    std::set<std::string> seenGroups;
    std::vector<std::array<int, 3>> corners; // v, vt, vn (0 when absent)
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword))
            continue;
        if (keyword[0] == '#') {
            mesh.comments++;
        } else if (keyword == "v") {
            std::array<float, 3> p;
            words >> p[0] >> p[1] >> p[2];
            mesh.position.push_back(p);
            mesh.positions++;
        } else if (keyword == "vt") {
            mesh.texCoords++;
        } else if (keyword == "vn") {
            mesh.normals++;
        } else if (keyword == "g") {
            words >> group;
            mesh.groupLines++;
            if (!seenGroups.insert(group).second)
                mesh.repeatedGroupLines++;
        } else if (keyword == "f") {
            std::string corner;
            std::vector<std::array<int, 3>> face;
            while (words >> corner && corner[0] != '#') {
                mesh.notations.insert(notationOf(corner));
                std::array<int, 3> c{0, 0, 0};
                std::sscanf(corner.c_str(), "%d", &c[0]);
                if (notationOf(corner) == "v//vn")
                    std::sscanf(corner.c_str(), "%d//%d", &c[0], &c[2]);
                else
                    std::sscanf(corner.c_str(), "%d/%d/%d", &c[0], &c[1], &c[2]);
                face.push_back(c);
            }
            mesh.faceCorners[std::min<size_t>(face.size(), 7)]++;
            for (size_t k = 2; k < face.size(); k++) {
                mesh.triangles.push_back({face[0][0], face[k - 1][0], face[k][0]});
                mesh.groupTriangles[group]++;
            }
            corners.insert(corners.end(), face.begin(), face.end());
        }
    }
    for (const auto& c : corners) {
        if (c[0] < 1 || c[0] > mesh.positions || c[1] < 0 || c[1] > mesh.texCoords || c[2] < 0 ||
            c[2] > mesh.normals) {
            mesh.error = "corner number out of range";
            break;
        }
    }
    return mesh;
}

struct MeshExpectation {
    const char* path;
    int vertices, triangles;
};

class DataSetMeshes : public ::testing::TestWithParam<MeshExpectation> {};

TEST_P(DataSetMeshes, ParseWithTheMeantCountsAndEveryPathOfTheReader) {
    ParsedMesh mesh = parseObj(dataPath(GetParam().path));
    ASSERT_EQ(mesh.error, "");
    EXPECT_EQ(mesh.positions, GetParam().vertices);
    EXPECT_EQ(mesh.texCoords, GetParam().vertices);
    EXPECT_EQ(mesh.normals, GetParam().vertices);
    EXPECT_EQ((int)mesh.triangles.size(), GetParam().triangles);
    EXPECT_GE(mesh.comments, 1);
    EXPECT_GT(mesh.faceCorners[3], 0) << "triangles";
    EXPECT_GT(mesh.faceCorners[4], 0) << "quads";
    EXPECT_EQ(mesh.faceCorners[0] + mesh.faceCorners[1] + mesh.faceCorners[2], 0);
    EXPECT_EQ(mesh.notations, (std::set<std::string>{"v", "v/vt", "v/vt/vn", "v//vn"}));
    EXPECT_GT(mesh.groupTriangles["default"], 0) << "faces before the first g line";
    EXPECT_GE(mesh.groupLines, 2);
    EXPECT_GE(mesh.repeatedGroupLines, 1) << "one group named twice";
}

// Every edge is shared by exactly two triangles running it in opposite
// directions (closed, consistently wound), every face turns counter-clockwise
// seen from outside, and the body's radius lies between 6 and 8 units.
TEST_P(DataSetMeshes, IsAClosedBodyWoundCounterClockwiseFromOutside) {
    ParsedMesh mesh = parseObj(dataPath(GetParam().path));
    ASSERT_EQ(mesh.error, "");
    std::map<std::pair<int, int>, int> edges;
    double volume = 0;
    int inward = 0;
    for (const auto& t : mesh.triangles) {
        for (int k = 0; k < 3; k++)
            edges[{t[k], t[(k + 1) % 3]}]++;
        const auto &a = mesh.position[t[0] - 1], &b = mesh.position[t[1] - 1],
                   &c = mesh.position[t[2] - 1];
        double u[3], v[3], n[3], centre[3];
        for (int i = 0; i < 3; i++)
            u[i] = b[i] - a[i], v[i] = c[i] - a[i], centre[i] = (a[i] + b[i] + c[i]) / 3;
        n[0] = u[1] * v[2] - u[2] * v[1], n[1] = u[2] * v[0] - u[0] * v[2],
        n[2] = u[0] * v[1] - u[1] * v[0];
        inward += n[0] * centre[0] + n[1] * centre[1] + n[2] * centre[2] <= 0;
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) /
                  6;
    }
    int unpaired = 0;
    for (const auto& [edge, count] : edges)
        unpaired += count != 1 || edges.count({edge.second, edge.first}) == 0;
    EXPECT_EQ(unpaired, 0);
    EXPECT_EQ(inward, 0);
    EXPECT_GT(volume, 0);
    double radius = 0, core = 1e9;
    for (const auto& p : mesh.position) {
        double r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        radius = std::max(radius, r), core = std::min(core, r);
    }
    EXPECT_GE(radius, 6.0);
    EXPECT_LE(radius, 8.0);
    EXPECT_LT(core, radius * 0.7) << "spiky: the spikes stand well out of the core";
}

INSTANTIATE_TEST_SUITE_P(BothBodies, DataSetMeshes,
                         ::testing::Values(MeshExpectation{"3d/smoothspike.obj", 3458, 6912},
                                           MeshExpectation{"3d/smoothspike2.obj", 3458, 6912}));

TEST(DataSetMeshesDiffer, TheTwoBodiesAreDifferentShapes) {
    ParsedMesh a = parseObj(dataPath("3d/smoothspike.obj")),
               b = parseObj(dataPath("3d/smoothspike2.obj"));
    ASSERT_EQ(a.positions, b.positions);
    double difference = 0;
    for (size_t i = 0; i < a.position.size(); i++)
        for (int k = 0; k < 3; k++)
            difference += std::fabs(a.position[i][k] - b.position[i][k]);
    EXPECT_GT(difference / a.positions, 0.3);
}

// ---------------------------------------------------------------- the clip

struct OpenClip {
    AVFormatContext* format = nullptr;
    int stream = -1;
    ~OpenClip() { avformat_close_input(&format); }
};

struct Rgb {
    double r, g, b;
};

// Mean colour of a block of a decoded frame, full-range BT.601 as JPEG has it.
Rgb meanColour(const AVFrame* frame, int x0, int y0, int x1, int y1) {
    Rgb sum{0, 0, 0};
    int chromaShift = frame->format == AV_PIX_FMT_YUVJ444P ? 0 : 1;
    int chromaRows = frame->format == AV_PIX_FMT_YUVJ420P ? 1 : 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            double luma = frame->data[0][y * frame->linesize[0] + x];
            double cb =
                frame->data[1][(y >> chromaRows) * frame->linesize[1] + (x >> chromaShift)] - 128.0;
            double cr =
                frame->data[2][(y >> chromaRows) * frame->linesize[2] + (x >> chromaShift)] - 128.0;
            sum.r += luma + 1.402 * cr;
            sum.g += luma - 0.344136 * cb - 0.714136 * cr;
            sum.b += luma + 1.772 * cb;
        }
    double n = (double)(x1 - x0) * (y1 - y0);
    return Rgb{sum.r / n, sum.g / n, sum.b / n};
}

TEST(DataSetClip, IsMotionJpegInAviAtSixtyMillisecondsAFrameEveryFrameAKeyFrame) {
    OpenClip clip;
    std::string path = dataPath("demo1.avi");
    ASSERT_EQ(avformat_open_input(&clip.format, path.c_str(), nullptr, nullptr), 0)
        << path << " (build the target vantrel_data first)";
    ASSERT_GE(avformat_find_stream_info(clip.format, nullptr), 0);
    EXPECT_STREQ(clip.format->iformat->name, "avi");
    clip.stream = av_find_best_stream(clip.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    ASSERT_GE(clip.stream, 0);
    AVStream* stream = clip.format->streams[clip.stream];
    EXPECT_EQ(stream->codecpar->codec_id, AV_CODEC_ID_MJPEG);
    EXPECT_EQ(stream->codecpar->width, 320);
    EXPECT_EQ(stream->codecpar->height, 240);
    EXPECT_EQ(av_cmp_q(stream->time_base, AVRational{3, 50}), 0)
        << stream->time_base.num << "/" << stream->time_base.den;
    EXPECT_EQ(av_cmp_q(stream->avg_frame_rate, AVRational{50, 3}), 0);

    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    ASSERT_NE(codec, nullptr);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    ASSERT_EQ(avcodec_open2(decoder, codec, nullptr), 0);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int packets = 0, keyFrames = 0, decoded = 0, darkFrames = 0;
    Rgb sun{0, 0, 0};
    while (av_read_frame(clip.format, packet) >= 0) {
        if (packet->stream_index == clip.stream) {
            EXPECT_EQ(packet->pts, packets) << "one frame per 60 ms tick";
            keyFrames += (packet->flags & AV_PKT_FLAG_KEY) != 0;
            packets++;
            if (avcodec_send_packet(decoder, packet) == 0)
                while (avcodec_receive_frame(decoder, frame) == 0) {
                    EXPECT_EQ(frame->width, 320);
                    EXPECT_EQ(frame->height, 240);
                    Rgb whole = meanColour(frame, 0, 0, 320, 240);
                    darkFrames += whole.r + whole.g + whole.b < 3 * 12;
                    // Around 90 s of the show (frame 566) the hills scene's
                    // sun stands in the top middle, gold on the screen.
                    if (decoded == 566)
                        sun = meanColour(frame, 150, 45, 170, 62);
                    decoded++;
                }
        }
        av_packet_unref(packet);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    EXPECT_GE(packets, 660);
    EXPECT_EQ(keyFrames, packets);
    EXPECT_EQ(decoded, packets);
    EXPECT_EQ(darkFrames, 0) << "every frame shows something";
    // The show swaps red and blue when it displays the clip: the gold sun is
    // stored with much more blue than red.
    EXPECT_GT(sun.b, sun.r + 60) << "stored sun " << sun.r << " " << sun.g << " " << sun.b;
    EXPECT_GT(sun.g, 150);
}

// ---------------------------------------------------------------- the music

const int rate = 44100;

struct Track {
    long rate = 0;
    int channels = 0;
    std::vector<int16_t> samples; // interleaved stereo
    std::vector<float> mono;
    std::string error;
    int bitrate = 0;
    mpg123_mode mode = MPG123_M_STEREO;
};

// Decoded once for all the music tests, with gapless decoding on: the LAME
// tag's delay and padding are cut, so sample 0 is the track's first sample.
const Track& decodedTrack() {
    static Track track;
    static bool done = false;
    if (done)
        return track;
    done = true;
    std::string path = dataPath("music/track.mp3");
    int error = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &error);
    if (!h) {
        track.error = "mpg123 cannot start";
        return track;
    }
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_format_none(h);
    mpg123_format(h, rate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h, path.c_str()) != MPG123_OK) {
        track.error = path + ": cannot open (build the target vantrel_data first)";
        mpg123_delete(h);
        return track;
    }
    int encoding;
    mpg123_getformat(h, &track.rate, &track.channels, &encoding);
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        size_t done = 0;
        int result = mpg123_read(h, buffer.data(), buffer.size(), &done);
        const int16_t* s = reinterpret_cast<const int16_t*>(buffer.data());
        track.samples.insert(track.samples.end(), s, s + done / 2);
        if (result == MPG123_DONE)
            break;
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            track.error = path + ": " + mpg123_strerror(h);
            break;
        }
    }
    mpg123_frameinfo info;
    if (mpg123_info(h, &info) == MPG123_OK) {
        track.bitrate = info.bitrate;
        track.mode = (mpg123_mode)info.mode;
    }
    mpg123_close(h);
    mpg123_delete(h);
    track.mono.resize(track.samples.size() / 2);
    for (size_t i = 0; i < track.mono.size(); i++)
        track.mono[i] = (track.samples[2 * i] + track.samples[2 * i + 1]) / 65536.0f;
    return track;
}

TEST(DataSetMusic, IsStereoAt44100HzAbout192KbitsAndLastsItsFullLength) {
    const Track& track = decodedTrack();
    ASSERT_EQ(track.error, "");
    EXPECT_EQ(track.rate, rate);
    EXPECT_EQ(track.channels, 2);
    EXPECT_EQ(track.bitrate, 192);
    EXPECT_EQ(track.mode, MPG123_M_JOINT);
    // Gapless decoding gives back exactly the 178 s that were encoded.
    EXPECT_EQ(track.samples.size() / 2, (size_t)178 * rate);
    EXPECT_GE(track.samples.size() / 2, (size_t)176 * rate) << "the show ends by itself at 171 s";
}

TEST(DataSetMusic, NeverClips) {
    const Track& track = decodedTrack();
    ASSERT_EQ(track.error, "");
    int peak = 0;
    for (int16_t s : track.samples)
        peak = std::max(peak, std::abs((int)s));
    EXPECT_LT(peak, 32000) << "peak " << peak;
    EXPECT_GT(peak, 16000) << "and it is not quiet either";
}

// The moment a hit starts: where the high-frequency energy jumps most, the
// ratio of the energy in the millisecond after to the millisecond before.
struct Onset {
    long sample;
    double jump;
};

Onset findOnset(const std::vector<float>& mono, long around, long halfWindow) {
    const long span = rate / 1000;
    Onset best{around, 0};
    for (long n = around - halfWindow; n <= around + halfWindow; n++) {
        if (n - span < 1 || n + span >= (long)mono.size())
            continue;
        double before = 1e-9, after = 1e-9;
        for (long k = n - span; k < n; k++)
            before += (mono[k] - mono[k - 1]) * (mono[k] - mono[k - 1]);
        for (long k = n; k < n + span; k++)
            after += (mono[k] - mono[k - 1]) * (mono[k] - mono[k - 1]);
        if (after / before > best.jump)
            best = Onset{n, after / before};
    }
    return best;
}

// The three cue tables of the show (distinct times, seconds).
std::vector<double> cueTimes() {
    const double tables[] = {
        27.955999,  27.98,      28.003,     28.025999,  28.049,     28.072001,  28.096001,
        28.118999,  28.142,     28.165001,  28.188999,  28.212,     28.235001,  28.257999,
        36.687,     36.779999,  36.918999,  37.360001,  100.866997, 101.238998, 101.516998,
        101.610001, 103.838997, 104.976997, 105.163002, 105.278999, 107.228996, 107.415001,
        109.110001, 109.482002, 110.759003, 111.362,    112.105003, 112.476997, 113.801003,
        113.847,    113.917,    115.100998, 115.681,    117.352997, 118.862,    119.791,
        119.837997, 119.884003, 119.931,    119.976997, 120.046997, 120.093002, 120.139999,
        120.185997, 120.232002, 120.278999, 120.324997, 120.394997, 120.441002, 120.487999,
        120.533997, 120.581001, 120.626999, 121.114998, 133.468002, 133.654007, 134.024994,
        134.791,    134.977005, 135.417999, 135.511002, 136.091995, 136.276993, 136.927994,
        137.507996, 137.600998, 137.694,    138.134995, 138.436996, 139.272995, 139.459,
        139.667999, 140.781998, 141.524994, 141.710999, 142.082001, 142.268005, 143.033997,
        143.498993, 143.591995, 143.684998, 145.264008, 145.449005, 145.634995, 146.772995,
        147.516006, 147.701996, 148.095993, 148.259003, 148.932007, 149.490005, 149.606003,
        149.699005, 150.162994, 150.442001, 151.184998, 151.462997, 151.649002, 152.020996,
        152.764008, 152.973007, 153.134995, 153.529999, 153.716003, 154.087006, 154.272995,
        155.039001, 155.503998, 155.595993, 155.688995, 156.130005, 156.432007, 157.268005,
        157.639999, 158.035004, 158.778,    158.962997, 159.126007, 159.520996, 159.729996,
        160.100998, 160.287003, 161.029999, 161.494003, 161.587006, 161.679993, 161.934998,
        162.143997, 162.701996};
    return std::vector<double>(std::begin(tables), std::end(tables));
}

TEST(DataSetMusic, AHitStartsWithinTwoMillisecondsOfEveryCueTime) {
    const Track& track = decodedTrack();
    ASSERT_EQ(track.error, "");
    std::vector<double> cues = cueTimes();
    ASSERT_EQ(cues.size(), 135u);
    int late = 0, weak = 0;
    std::ostringstream report;
    for (size_t i = 0; i < cues.size(); i++) {
        long at = std::lround(cues[i] * rate);
        // Look no further than 8 ms, and not past the middle to a neighbour.
        double gap = 1e9;
        if (i > 0)
            gap = std::min(gap, cues[i] - cues[i - 1]);
        if (i + 1 < cues.size())
            gap = std::min(gap, cues[i + 1] - cues[i]);
        long halfWindow = std::min<long>(rate * 8 / 1000, (long)(gap * rate * 0.45));
        Onset onset = findOnset(track.mono, at, halfWindow);
        double offsetMs = (onset.sample - at) * 1000.0 / rate;
        bool off = std::fabs(offsetMs) > 2.0, faint = onset.jump < 4.0;
        late += off;
        weak += faint;
        if (off || faint)
            report << "  cue " << cues[i] << " s: onset " << offsetMs << " ms, energy jump "
                   << onset.jump << "\n";
    }
    EXPECT_EQ(late, 0) << report.str();
    EXPECT_EQ(weak, 0) << report.str();
}

// The show's spectrum levels, as its sound library computes them: a 1024-point
// Hann-windowed transform of the mono mix centred on the moment, amplitudes
// scaled so that a full-scale sine on an entry reads 1.
double bandLevel(const std::vector<float>& mono, double seconds, int band) {
    const int n = 1024;
    long centre = std::lround(seconds * rate);
    double re = 0, im = 0, windowSum = 0;
    for (int i = 0; i < n; i++) {
        long at = centre - n / 2 + i;
        double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / n);
        windowSum += w;
        double x = at >= 0 && at < (long)mono.size() ? mono[at] * w : 0;
        re += x * std::cos(2 * M_PI * band * i / n);
        im -= x * std::sin(2 * M_PI * band * i / n);
    }
    return std::min(1.0, std::hypot(re, im) * (band == 0 ? 1 : 2) / windowSum);
}

struct BandSwing {
    double peak = 0, dip = 1;   // over the whole span
    double medianBeatSwing = 0; // the median over beats of (highest - lowest) within the beat
};

BandSwing bandSwing(const std::vector<float>& mono, double from, double to, int band) {
    BandSwing swing;
    std::vector<double> beats;
    const double beat = 0.375;
    for (double start = from; start + beat <= to; start += beat) {
        double high = 0, low = 1;
        for (double t = start; t < start + beat; t += 1.0 / 120) {
            double level = bandLevel(mono, t, band);
            high = std::max(high, level), low = std::min(low, level);
        }
        swing.peak = std::max(swing.peak, high);
        swing.dip = std::min(swing.dip, low);
        beats.push_back(high - low);
    }
    std::sort(beats.begin(), beats.end());
    swing.medianBeatSwing = beats.empty() ? 0 : beats[beats.size() / 2];
    return swing;
}

// The low bands drive the pictures: band 3 the opening background's
// brightness (times 5) for 10.5 s, band 5 the opening sprites' size, band 0
// the chrome mesh's push and the logo's dimming, band 2 the glow's gain in
// the video and orbit scenes. Each must rise and fall with the beat there.
TEST(DataSetMusic, TheLowSpectrumBandsMoveWithTheBeat) {
    const Track& track = decodedTrack();
    ASSERT_EQ(track.error, "");
    struct Use {
        const char* what;
        double from, to;
        int band;
        double peakAtLeast, swingAtLeast;
    };
    const Use uses[] = {
        {"opening background", 0.2, 10.4, 3, 0.2, 0.15},
        {"opening sprites", 10.6, 43.0, 5, 0.1, 0.05},
        {"chrome mesh and logo", 46.2, 56.4, 0, 0.3, 0.15},
        {"video glow", 57.2, 93.0, 2, 0.3, 0.15},
        {"orbit glow", 100.5, 119.5, 2, 0.3, 0.15},
    };
    for (const Use& use : uses) {
        SCOPED_TRACE(use.what);
        BandSwing swing = bandSwing(track.mono, use.from, use.to, use.band);
        EXPECT_GE(swing.peak, use.peakAtLeast);
        EXPECT_GE(swing.medianBeatSwing, use.swingAtLeast)
            << "peak " << swing.peak << ", dip " << swing.dip;
    }
    for (int band = 0; band < 6; band++) {
        SCOPED_TRACE("band " + std::to_string(band));
        BandSwing swing = bandSwing(track.mono, 57.2, 93.0, band);
        EXPECT_GE(swing.medianBeatSwing, 0.05) << "peak " << swing.peak << ", dip " << swing.dip;
    }
}

// ---------------------------------------------------------------- the generator

std::string fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A second run of the generator writes the very same bytes as the one the
// build made: no time stamps, fixed seeds, nothing taken from the machine.
TEST(DataSetGenerator, WritesTheSameBytesOnEveryRun) {
    const char* files[] = {
        "data/music/track.mp3",         "data/demo1.avi",         "data/3d/smoothspike.obj",
        "data/3d/smoothspike2.obj",     "data/textures/org.png",  "data/textures/block.png",
        "data/textures/back7.png",      "data/textures/env3.png", "data/textures/envifoo.png",
        "data/textures/font.png",       "data/overlay/guess.png", "data/overlay/whois.png",
        "data/overlay/back.png",        "data/overlay/lorv.png",  "data/overlay/lorv_mask.png",
        "resources/startup_picture.png"};
    char directory[] = "/tmp/vantrel-datagen-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    std::string command = std::string(VANTREL_BINARY_DIR) + "/tools/datagen/vantrel-datagen " +
                          directory + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char* file : files) {
        SCOPED_TRACE(file);
        std::string built = fileBytes(std::string(VANTREL_BINARY_DIR) + "/" + file);
        std::string again = fileBytes(std::string(directory) + "/" + file);
        EXPECT_FALSE(built.empty());
        EXPECT_TRUE(built == again) << "the two runs differ";
    }
    std::filesystem::remove_all(directory);
}

} // namespace
