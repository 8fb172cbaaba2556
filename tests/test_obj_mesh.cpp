// The OBJ loader: the four corner notations and fans, comments after faces,
// groups (newest first, "default" last), area-weighted normals, empty and
// missing files, refused face numbers, over-long words and lines, numbers
// read the same under a decimal-comma locale, and the order drawObjMesh
// sends its vertices in.
#include <GL/gl.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/obj_mesh.h"
#include "tests/support/gl_test.h"

namespace {

namespace fs = std::filesystem;

fs::path scratchDirectory() {
    static fs::path directory = [] {
        char pattern[] = "/tmp/vantrel-obj-XXXXXX";
        return fs::path(mkdtemp(pattern));
    }();
    return directory;
}

std::string writeObj(const std::string& name, const std::string& text) {
    fs::path path = scratchDirectory() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// Loads text as an OBJ file into a fresh mesh.
ObjMesh load(const std::string& text, int* result = nullptr) {
    static int fileNumber = 0;
    ObjMesh mesh{};
    int loaded =
        loadObjMesh(mesh, writeObj("mesh" + std::to_string(fileNumber++) + ".obj", text).c_str());
    if (result != nullptr)
        *result = loaded;
    return mesh;
}

struct Triangle {
    int v[3];
    int t[3];
    bool operator==(const Triangle& o) const {
        for (int k = 0; k < 3; ++k)
            if (v[k] != o.v[k] || t[k] != o.t[k])
                return false;
        return true;
    }
};

std::ostream& operator<<(std::ostream& out, const Triangle& t) {
    return out << "v(" << t.v[0] << "," << t.v[1] << "," << t.v[2] << ") t(" << t.t[0] << ","
               << t.t[1] << "," << t.t[2] << ")";
}

std::vector<Triangle> trianglesOf(const ObjMesh& mesh) {
    std::vector<Triangle> result;
    for (uint32_t i = 0; i < mesh.triangleCount; ++i) {
        const ObjTriangle& t = mesh.triangles[i];
        result.push_back(
            Triangle{{t.vertexIndices[0], t.vertexIndices[1], t.vertexIndices[2]},
                     {t.texCoordIndices[0], t.texCoordIndices[1], t.texCoordIndices[2]}});
    }
    return result;
}

struct GroupSummary {
    std::string name;
    std::vector<uint32_t> triangles;
    bool operator==(const GroupSummary& o) const {
        return name == o.name && triangles == o.triangles;
    }
};

std::ostream& operator<<(std::ostream& out, const GroupSummary& g) {
    out << g.name << "{";
    for (uint32_t t : g.triangles)
        out << " " << t;
    return out << " }";
}

std::vector<GroupSummary> groupsOf(const ObjMesh& mesh) {
    std::vector<GroupSummary> result;
    for (const ObjGroup* g = mesh.groups; g != nullptr; g = g->next)
        result.push_back(
            GroupSummary{g->name, std::vector<uint32_t>(g->triangleNumbers,
                                                        g->triangleNumbers + g->triangleCount)});
    return result;
}

// Nine vertices and nine texture coordinates, enough for every face below.
const std::string nineOfEach = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\n"
                               "v 3 0 0\nv 3 1 0\nv 4 0 0\n"
                               "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt .5 0\nvt .5 1\n"
                               "vt .2 .2\nvt .8 .8\nvt .3 .7\n";

struct FaceCase {
    const char* faces;
    std::vector<Triangle> triangles;
};

TEST(ObjMeshFaces, NotationsAndFans) {
    const FaceCase cases[] = {
        {"f 1 2 3 4\n", {{{1, 2, 3}, {0, 0, 0}}, {{1, 3, 4}, {0, 0, 0}}}},
        {"f 1 2 3 4 5\n", {{{1, 2, 3}, {0, 0, 0}}, {{1, 3, 4}, {0, 0, 0}}, {{1, 4, 5}, {0, 0, 0}}}},
        {"f 1/5 2/6 3/7 4/8\n", {{{1, 2, 3}, {5, 6, 7}}, {{1, 3, 4}, {5, 7, 8}}}},
        {"f 1/2/3 4/5/6 7/8/9\n", {{{1, 4, 7}, {2, 5, 8}}}},
        {"f 1//7 2//8 3//9\n", {{{1, 2, 3}, {0, 0, 0}}}},
        {"f 1 2 3 # top\n", {{{1, 2, 3}, {0, 0, 0}}}},
        {"f 1 2 3#top\nf 4 5 6\n", {{{1, 2, 3}, {0, 0, 0}}, {{4, 5, 6}, {0, 0, 0}}}},
        // The corners are scanned across line breaks, as scanf does.
        {"f 1 2\n3 4\n", {{{1, 2, 3}, {0, 0, 0}}, {{1, 3, 4}, {0, 0, 0}}}},
        // Faces with fewer than three corners make nothing, and what follows is read.
        {"f 1 2\nf 3 4 5\n", {{{3, 4, 5}, {0, 0, 0}}}},
        {"f\nf 3 4 5\n", {{{3, 4, 5}, {0, 0, 0}}}},
        {"f 1\n", {}},
        {"f", {}},
        // Mixed DOS line ends.
        {"f 1 2 3\r\nf 2 3 4\r\n", {{{1, 2, 3}, {0, 0, 0}}, {{2, 3, 4}, {0, 0, 0}}}},
    };
    for (const FaceCase& c : cases) {
        ObjMesh mesh = load(nineOfEach + c.faces);
        EXPECT_EQ(trianglesOf(mesh), c.triangles) << "faces: " << c.faces;
        EXPECT_EQ(mesh.vertexCount, 9u) << c.faces;
        ASSERT_EQ(groupsOf(mesh).size(), 1u) << c.faces;
        EXPECT_EQ(groupsOf(mesh)[0].triangles.size(), c.triangles.size()) << c.faces;
    }
}

TEST(ObjMeshFaces, FacesWithoutTextureNumbersUseEntryZero) {
    ObjMesh mesh = load(nineOfEach + "f 1 2 3\nf 1/4 2/5 3/6\n");
    ASSERT_EQ(mesh.texCoordCount, 9u);
    ASSERT_NE(mesh.texCoords, nullptr);
    EXPECT_EQ(mesh.texCoords[0][0], 0.0f);
    EXPECT_EQ(mesh.texCoords[0][1], 0.0f);
    EXPECT_EQ(trianglesOf(mesh)[0], (Triangle{{1, 2, 3}, {0, 0, 0}}));
    EXPECT_FLOAT_EQ(mesh.texCoords[5][0], 0.5f);
    EXPECT_FLOAT_EQ(mesh.texCoords[9][1], 0.7f);
}

TEST(ObjMeshCoordinates, VerticesTexCoordsAndIgnoredLines) {
    ObjMesh mesh = load("# a cube corner\no thing\ns 1\nusemtl stone\n"
                        "v 1.5 -2.25 3e-1 1.0\nv +4 .5 -0\nvt 0.25 0.75 0\n"
                        "vn 9 9 9\nvp 0.5\nv 7 8 9\n");
    ASSERT_EQ(mesh.vertexCount, 3u);
    ASSERT_EQ(mesh.texCoordCount, 1u);
    EXPECT_FLOAT_EQ(mesh.positions[1].x, 1.5f);
    EXPECT_FLOAT_EQ(mesh.positions[1].y, -2.25f);
    EXPECT_FLOAT_EQ(mesh.positions[1].z, 0.3f);
    EXPECT_FLOAT_EQ(mesh.positions[2].x, 4.0f);
    EXPECT_FLOAT_EQ(mesh.positions[2].y, 0.5f);
    EXPECT_FLOAT_EQ(mesh.positions[3].z, 9.0f);
    EXPECT_FLOAT_EQ(mesh.texCoords[1][0], 0.25f);
    EXPECT_FLOAT_EQ(mesh.texCoords[1][1], 0.75f);
    EXPECT_EQ(mesh.triangleCount, 0u);
}

TEST(ObjMeshCoordinates, ShortCoordinateLinesKeepZerosAndTheNextLine) {
    ObjMesh mesh = load("v 1 2\nv 3 4 5\nvt 6\nvt 7 8\n");
    ASSERT_EQ(mesh.vertexCount, 2u);
    ASSERT_EQ(mesh.texCoordCount, 2u);
    EXPECT_EQ(mesh.positions[1].x, 1.0f);
    EXPECT_EQ(mesh.positions[1].y, 2.0f);
    EXPECT_EQ(mesh.positions[1].z, 0.0f);
    EXPECT_EQ(mesh.positions[2].x, 3.0f);
    EXPECT_EQ(mesh.texCoords[1][0], 6.0f);
    EXPECT_EQ(mesh.texCoords[1][1], 0.0f);
    EXPECT_EQ(mesh.texCoords[2][1], 8.0f);
}

TEST(ObjMeshGroups, NewestFirstDefaultLastSameNameOneGroup) {
    ObjMesh mesh = load(nineOfEach + "f 1 2 3\ng alpha\nf 2 3 4\ng beta\nf 3 4 5\n"
                                     "g alpha\nf 4 5 6\ng Alpha\n");
    std::vector<GroupSummary> expected = {
        {"Alpha", {}}, {"beta", {2}}, {"alpha", {1, 3}}, {"default", {0}}};
    EXPECT_EQ(groupsOf(mesh), expected);
    EXPECT_EQ(mesh.groupCount, 4u);
}

TEST(ObjMeshGroups, FacesAfterGroupsLeaveDefaultEmpty) {
    ObjMesh mesh = load(nineOfEach + "g only\nf 1 2 3\n");
    std::vector<GroupSummary> expected = {{"only", {0}}, {"default", {}}};
    EXPECT_EQ(groupsOf(mesh), expected);
}

TEST(ObjMeshGroups, GroupLineWithoutNameMeansDefault) {
    ObjMesh mesh = load(nineOfEach + "g side\nf 1 2 3\ng\nf 2 3 4\ng  first second\nf 3 4 5\n");
    std::vector<GroupSummary> expected = {{"first", {2}}, {"side", {0}}, {"default", {1}}};
    EXPECT_EQ(groupsOf(mesh), expected);
}

TEST(ObjMeshNormals, AreaWeightedAndZeroWhereNoAreaFalls) {
    // Vertex 1 is shared by a unit triangle facing +z and a four times larger
    // one facing +x; vertex 6 belongs to a triangle of no area; 7 to none.
    ObjMesh mesh = load("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 2 0\nv 0 0 2\nv 5 5 5\nv 9 9 9\n"
                        "vn 1 1 1\nf 1 2 3\nf 1 4 5\nf 6 6 6\n");
    ASSERT_EQ(mesh.vertexCount, 7u);
    float s = 1 / std::sqrt(17.0f);
    EXPECT_NEAR(mesh.normals[1].x, 4 * s, 1e-6);
    EXPECT_NEAR(mesh.normals[1].y, 0, 1e-6);
    EXPECT_NEAR(mesh.normals[1].z, 1 * s, 1e-6);
    EXPECT_NEAR(mesh.normals[2].z, 1, 1e-6);
    EXPECT_NEAR(mesh.normals[4].x, 1, 1e-6);
    for (int vertex : {0, 6, 7}) {
        EXPECT_EQ(mesh.normals[vertex].x, 0.0f) << vertex;
        EXPECT_EQ(mesh.normals[vertex].y, 0.0f) << vertex;
        EXPECT_EQ(mesh.normals[vertex].z, 0.0f) << vertex;
    }
}

TEST(ObjMeshFiles, EmptyFileLoadsWithOneEmptyDefaultGroup) {
    int result = -1;
    ObjMesh mesh = load("", &result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(mesh.vertexCount, 0u);
    EXPECT_EQ(mesh.triangleCount, 0u);
    EXPECT_EQ(mesh.texCoords, nullptr);
    std::vector<GroupSummary> expected = {{"default", {}}};
    EXPECT_EQ(groupsOf(mesh), expected);
}

TEST(ObjMeshFiles, MissingFileReturnsZeroSilentlyAndKeepsTheMesh) {
    ObjMesh mesh = load(nineOfEach + "f 1 2 3\n");
    ObjMesh before = mesh;
    testing::internal::CaptureStderr();
    int result = loadObjMesh(mesh, (scratchDirectory() / "no-such.obj").c_str());
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed, "");
    EXPECT_EQ(std::memcmp(&mesh, &before, sizeof mesh), 0);
}

TEST(ObjMeshFiles, DirectoryIsRefused) {
    ObjMesh mesh{};
    testing::internal::CaptureStderr();
    int result = loadObjMesh(mesh, scratchDirectory().c_str());
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(mesh.groups, nullptr);
    EXPECT_NE(printed.find("cannot be read"), std::string::npos) << printed;
}

TEST(ObjMeshFiles, NumbersOutsideTheTablesRefuseTheFile) {
    const char* faces[] = {
        "f 0 1 2\n",
        "f -1 1 2\n",
        "f 1 2 10\n",
        "f 1 2 3 99999999999\n",
        "f 1/0 2/1 3/1\n",
        "f 1/10 2/1 3/1\n",
        "f 1/1/1 2/2/2 3/-3/3\n",
        "f 1 2 3\nf 4 5 6 7 8 9 10\n",
    };
    for (const char* face : faces) {
        testing::internal::CaptureStderr();
        int result = -1;
        ObjMesh mesh = load(nineOfEach + face, &result);
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, 0) << face;
        EXPECT_EQ(mesh.groups, nullptr) << face;
        EXPECT_EQ(mesh.vertexCount, 0u) << face;
        EXPECT_EQ(mesh.triangleCount, 0u) << face;
        EXPECT_NE(printed.find(".obj:"), std::string::npos) << printed;
        EXPECT_NE(printed.find("is outside 1.."), std::string::npos) << printed;
        EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
    }
    // Texture numbers in a file without texture coordinates.
    testing::internal::CaptureStderr();
    int result = -1;
    load("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1 2/1 3/1\n", &result);
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, 0);
    EXPECT_NE(printed.find("texture coordinate number 1 is outside 1..0"), std::string::npos)
        << printed;
}

TEST(ObjMeshFiles, OverLongWordsAndLines) {
    std::string longName(300, 'n');
    std::string longComment = "# " + std::string(200, 'c') + " f 1 2 3\n";
    std::string longKeyword(500, 'x');
    std::string longNumber = "v 1" + std::string(400, '0') + " 2 3\n"; // 1e400: overflows a float
    int result = -1;
    ObjMesh mesh = load(nineOfEach + longComment + "g " + longName + "\nf 1 2 3\n" + longKeyword +
                            " f 4 5 6\n" + longNumber,
                        &result);
    EXPECT_EQ(result, 1);
    // The long comment and the line of the long keyword are skipped whole.
    std::vector<Triangle> expected = {{{1, 2, 3}, {0, 0, 0}}};
    EXPECT_EQ(trianglesOf(mesh), expected);
    ASSERT_EQ(mesh.groupCount, 2u);
    EXPECT_EQ(std::string(mesh.groups->name), std::string(126, 'n'));
    EXPECT_EQ(mesh.vertexCount, 10u);
}

// The dialog may leave a locale with a decimal comma behind; the numbers
// must read the same. Where no such locale is installed, one is compiled.
bool useDecimalCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name) != nullptr)
            return true;
    fs::path locales = scratchDirectory() / "locales";
    fs::create_directories(locales);
    std::string command =
        "localedef -i de_DE -f UTF-8 " + (locales / "de_DE.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return false;
    setenv("LOCPATH", locales.c_str(), 1);
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST(ObjMeshLocale, NumbersReadTheSameUnderADecimalComma) {
    if (!useDecimalCommaLocale())
        GTEST_SKIP() << "no decimal-comma locale here; the C locale cases above still ran";
    ASSERT_EQ(std::localeconv()->decimal_point[0], ',');
    ObjMesh mesh = load("v 1.5 -2.25 3e-1\nv 1,5 2 3\nvt 0.125 0.875\n");
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_EQ(mesh.vertexCount, 2u);
    EXPECT_FLOAT_EQ(mesh.positions[1].x, 1.5f);
    EXPECT_FLOAT_EQ(mesh.positions[1].y, -2.25f);
    EXPECT_FLOAT_EQ(mesh.positions[1].z, 0.3f);
    // A comma ends the number as it does in the C locale.
    EXPECT_FLOAT_EQ(mesh.positions[2].x, 1.0f);
    EXPECT_FLOAT_EQ(mesh.texCoords[1][0], 0.125f);
    EXPECT_FLOAT_EQ(mesh.texCoords[1][1], 0.875f);
}

// What drawObjMesh sends, read back through GL's feedback mode: window
// positions and texture coordinates of every vertex, batch by batch.
class ObjMeshDrawing : public GlTest {};

struct FedVertex {
    float x, y, s, t;
};

std::vector<std::vector<FedVertex>> feedbackOf(const ObjMesh& mesh) {
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glPassThrough(1); // marks where drawing starts
    drawObjMesh(mesh);
    GLint count = glRenderMode(GL_RENDER);
    std::vector<std::vector<FedVertex>> polygons;
    for (GLint i = 0; i < count;) {
        GLint token = static_cast<GLint>(buffer[i++]);
        if (token == GL_PASS_THROUGH_TOKEN) {
            ++i;
            continue;
        }
        EXPECT_EQ(token, GL_POLYGON_TOKEN);
        GLint corners = static_cast<GLint>(buffer[i++]);
        std::vector<FedVertex> polygon;
        for (GLint k = 0; k < corners; ++k, i += 11) // x y z, r g b a, s t r q
            polygon.push_back(FedVertex{buffer[i], buffer[i + 1], buffer[i + 7], buffer[i + 8]});
        polygons.push_back(polygon);
    }
    return polygons;
}

TEST_F(ObjMeshDrawing, GroupsNewestFirstWithTheirTexCoords) {
    // Positions in normalised device units so that window x = 400 (x + 1).
    ObjMesh mesh = load("v -0.5 -0.5 0\nv 0.5 -0.5 0\nv 0.5 0.5 0\nv -0.5 0.5 0\n"
                        "vt 0.1 0.2\nvt 0.3 0.4\nvt 0.5 0.6\n"
                        "f 1/1 2/2 3/3\ng top\nf 1 3 4\n");
    std::vector<std::vector<FedVertex>> polygons = feedbackOf(mesh);
    ASSERT_EQ(polygons.size(), 2u);
    // "top" first: vertices 1, 3, 4 with texture entry 0.
    const float expectTop[3][4] = {{200, 150, 0, 0}, {600, 450, 0, 0}, {200, 450, 0, 0}};
    const float expectDefault[3][4] = {
        {200, 150, 0.1f, 0.2f}, {600, 150, 0.3f, 0.4f}, {600, 450, 0.5f, 0.6f}};
    for (int k = 0; k < 3; ++k) {
        const FedVertex& top = polygons[0][k];
        const FedVertex& last = polygons[1][k];
        EXPECT_NEAR(top.x, expectTop[k][0], 0.01) << k;
        EXPECT_NEAR(top.y, expectTop[k][1], 0.01) << k;
        EXPECT_NEAR(top.s, expectTop[k][2], 1e-6) << k;
        EXPECT_NEAR(top.t, expectTop[k][3], 1e-6) << k;
        EXPECT_NEAR(last.x, expectDefault[k][0], 0.01) << k;
        EXPECT_NEAR(last.y, expectDefault[k][1], 0.01) << k;
        EXPECT_NEAR(last.s, expectDefault[k][2], 1e-6) << k;
        EXPECT_NEAR(last.t, expectDefault[k][3], 1e-6) << k;
    }
}

TEST_F(ObjMeshDrawing, EmptyMeshDrawsNothing) {
    ObjMesh empty{};
    EXPECT_TRUE(feedbackOf(empty).empty());
}

} // namespace
