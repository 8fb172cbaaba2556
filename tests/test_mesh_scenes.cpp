// The mesh scenes: where the spike scene puts its mesh (pushed by spectrum
// band 0, turned from time 0), where the orbit camera stands (t + a in double
// precision), sphere-mapped texturing while the mesh is drawn, and the state
// both leave behind.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

#include "effects/mesh_scenes.h"
#include "media/music.h"
#include "media/obj_mesh.h"
#include "media/texture_set.h"
#include "tests/support/gl_test.h"

namespace {

struct Matrix {
    double m[16]; // column-major, as OpenGL keeps it
    double at(int row, int column) const { return m[column * 4 + row]; }
};

Matrix modelView() {
    GLfloat f[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, f);
    Matrix result;
    for (int i = 0; i < 16; ++i)
        result.m[i] = f[i];
    return result;
}

// The mesh's own turn: t x 40 degrees about y after -10 degrees about x.
void meshTurn(double t, double r[3][3]) {
    double a = t * 40 * M_PI / 180, b = -10 * M_PI / 180;
    double ry[3][3] = {{std::cos(a), 0, std::sin(a)}, {0, 1, 0}, {-std::sin(a), 0, std::cos(a)}};
    double rx[3][3] = {{1, 0, 0}, {0, std::cos(b), -std::sin(b)}, {0, std::sin(b), std::cos(b)}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            r[i][j] = 0;
            for (int k = 0; k < 3; ++k)
                r[i][j] += ry[i][k] * rx[k][j];
        }
}

// The camera behind a model-view of the form view x turn x 0.2: strips the
// turn and the scale off and returns the eye's world position and its
// viewing direction.
void cameraOf(const Matrix& mv, double t, double eye[3], double forward[3]) {
    double turn[3][3], view[3][3];
    meshTurn(t, turn);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            view[i][j] = 0;
            for (int k = 0; k < 3; ++k)
                view[i][j] += mv.at(i, k) / 0.2 * turn[j][k]; // times the turn's transpose
        }
    for (int i = 0; i < 3; ++i) {
        eye[i] = 0;
        for (int k = 0; k < 3; ++k)
            eye[i] -= view[k][i] * mv.at(k, 3);
        forward[i] = -view[2][i];
    }
}

// A flat quad 10 x 1 in the mesh's xy plane, facing +z, with file texture
// coordinates that all point at the texture's corner.
Vec3 quadPositions[5] = {{0, 0, 0}, {-5, -0.5f, 0}, {5, -0.5f, 0}, {5, 0.5f, 0}, {-5, 0.5f, 0}};
Vec3 quadNormals[5] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
float quadTexCoords[2][2] = {{0, 0}, {0, 0}};
ObjTriangle quadTriangles[2] = {{{1, 2, 3}, {1, 1, 1}}, {{1, 3, 4}, {1, 1, 1}}};
uint32_t quadNumbers[2] = {0, 1};
char defaultName[] = "default";
ObjGroup quadGroup;

ObjMesh quadMesh() {
    quadGroup = ObjGroup{};
    quadGroup.name = defaultName;
    quadGroup.triangleCount = 2;
    quadGroup.triangleNumbers = quadNumbers;
    ObjMesh mesh{};
    mesh.vertexCount = 4;
    mesh.positions = quadPositions;
    mesh.normals = quadNormals;
    mesh.texCoordCount = 1;
    mesh.texCoords = quadTexCoords;
    mesh.triangleCount = 2;
    mesh.triangles = quadTriangles;
    mesh.groupCount = 1;
    mesh.groups = &quadGroup;
    return mesh;
}

// 4 x 4: a red border around a green middle (s and t from 0.25 to 0.75).
GLuint borderedTexture() {
    uint8_t rgb[4 * 4 * 3];
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            bool middle = x >= 1 && x <= 2 && y >= 1 && y <= 2;
            uint8_t* texel = &rgb[(y * 4 + x) * 3];
            texel[0] = middle ? 0 : 255;
            texel[1] = middle ? 255 : 0;
            texel[2] = 0;
        }
    return makeTestTexture(4, 4, GL_RGB, rgb);
}

class MeshScenes : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        glMatrixMode(GL_PROJECTION);
        gluPerspective(45, 800.0 / 600.0, 1, 100);
        glMatrixMode(GL_MODELVIEW);
        // As the render-state set-up leaves it.
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        std::memset(spectrumBands, 0, sizeof spectrumBands);
        for (GLuint& slot : textureSet)
            slot = 0;
        spikeMesh = ObjMesh{};
        spikeMesh2 = ObjMesh{};
    }
};

} // namespace

TEST_F(MeshScenes, SpikeMeshSitsFiveUnitsAwayAndBandZeroPullsItCloser) {
    struct Case {
        float band0, z;
    } cases[] = {{0, -5}, {1, -4}, {0.25f, -4.75f}};
    for (const Case& c : cases) {
        spectrumBands[0] = c.band0;
        demoTime = 46;
        drawSpikeScene();
        Matrix mv = modelView();
        EXPECT_EQ(mv.at(0, 3), 0) << c.band0;
        EXPECT_EQ(mv.at(1, 3), 0) << c.band0;
        EXPECT_FLOAT_EQ(mv.at(2, 3), c.z) << c.band0;
    }
}

TEST_F(MeshScenes, SpikeMeshTurnsFortyDegreesPerSecondFromTimeZero) {
    // At 46 s the turn is 1840 degrees, that is 40; at 46.5 s, 60. The mesh's
    // x axis lies in the turn's plane: 0.2 (cos a, 0, -sin a).
    struct Case {
        float t;
        double degrees;
    } cases[] = {{46, 40}, {46.5f, 60}, {54, 0}};
    for (const Case& c : cases) {
        demoTime = c.t;
        drawSpikeScene();
        Matrix mv = modelView();
        double a = c.degrees * M_PI / 180;
        EXPECT_NEAR(mv.at(0, 0), 0.2 * std::cos(a), 1e-5) << c.t;
        EXPECT_NEAR(mv.at(1, 0), 0, 1e-5) << c.t;
        EXPECT_NEAR(mv.at(2, 0), -0.2 * std::sin(a), 1e-5) << c.t;
        // The mesh's y axis, tipped by -10 degrees about x before the turn:
        // its top leans away from the viewer.
        double b = -10 * M_PI / 180;
        EXPECT_NEAR(mv.at(0, 1), 0.2 * std::sin(b) * std::sin(a), 1e-5) << c.t;
        EXPECT_NEAR(mv.at(1, 1), 0.2 * std::cos(b), 1e-5) << c.t;
        EXPECT_NEAR(mv.at(2, 1), 0.2 * std::sin(b) * std::cos(a), 1e-5) << c.t;
    }
}

TEST_F(MeshScenes, OrbitCameraCirclesTheOriginUpsideDownWhileTheAngleIsZero) {
    for (float t : {94.5f, 100.0f, 122.9f}) {
        demoTime = t;
        drawOrbitScene(0);
        Matrix mv = modelView();
        double eye[3], forward[3];
        cameraOf(mv, t, eye, forward);
        SCOPED_TRACE(t);
        EXPECT_NEAR(eye[0], 7 * std::sin(static_cast<double>(t)), 1e-4);
        EXPECT_NEAR(eye[1], 0, 1e-4);
        EXPECT_NEAR(eye[2], 7 * std::cos(static_cast<double>(t)), 1e-4);
        // Looking at the origin, with the world's -y as the picture's up.
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(forward[i], -eye[i] / 7, 1e-5);
        double upInEye = 0; // the world's y axis, seen from the camera
        double turn[3][3];
        meshTurn(t, turn);
        for (int k = 0; k < 3; ++k)
            upInEye += mv.at(1, k) / 0.2 * turn[1][k];
        EXPECT_NEAR(upInEye, -1, 1e-5);
    }
}

TEST_F(MeshScenes, OrbitCameraAddsTheAngleInDoublePrecision) {
    // At the last cues the angle is several hundred thousand: a single-precision
    // sum would move the eye off its place by up to 0.1 units.
    struct Case {
        float t, a;
    } cases[] = {{100.015f, 363000}, {110.3f, 271044}, {95.0f, 12345}};
    for (const Case& c : cases) {
        demoTime = c.t;
        drawOrbitScene(c.a);
        double eye[3], forward[3];
        cameraOf(modelView(), c.t, eye, forward);
        double angle = static_cast<double>(c.t) + static_cast<double>(c.a);
        SCOPED_TRACE(c.a);
        EXPECT_NEAR(eye[0], 7 * std::sin(angle), 2e-3);
        EXPECT_NEAR(eye[1], 0, 2e-3);
        EXPECT_NEAR(eye[2], 7 * std::cos(angle), 2e-3);
        // Looking at (0.5 sin(a / 2), 0, 0).
        double centre[3] = {0.5 * std::sin(0.5 * c.a), 0, 0};
        double toCentre[3], length = 0;
        for (int i = 0; i < 3; ++i) {
            toCentre[i] = centre[i] - eye[i];
            length += toCentre[i] * toCentre[i];
        }
        length = std::sqrt(length);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(forward[i], toCentre[i] / length, 1e-3);
    }
}

TEST_F(MeshScenes, BothScenesLeaveTexturingOnWithSlotThreeAndGenerationOff) {
    textureSet[3] = borderedTexture();
    for (int scene = 0; scene < 2; ++scene) {
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        demoTime = scene == 0 ? 50 : 100;
        if (scene == 0)
            drawSpikeScene();
        else
            drawOrbitScene(3000);
        SCOPED_TRACE(scene == 0 ? "spike" : "orbit");
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        GLint bound = 0, mode = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(static_cast<GLuint>(bound), textureSet[3]);
        EXPECT_EQ(mode, GL_MODELVIEW);
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    }
}

// Needs the real mesh drawing: the quad mesh through the scene's transform.
TEST_F(MeshScenes, SpikeSceneDrawsTheMeshWhereItsTransformPutsItSphereMapped) {
    textureSet[3] = borderedTexture();
    spikeMesh = quadMesh();
    demoTime = 54; // the turn is 2160 degrees: none; the -10 degree tip keeps x
    struct Case {
        float band0;
        double z;
    } cases[] = {{0, -5}, {1, -4}};
    for (const Case& c : cases) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        spectrumBands[0] = c.band0;
        drawSpikeScene();
        // Along the middle row the quad lies at z = c.z, spanning x -1 .. 1.
        int left = firstPixel(screenX(-1, c.z)), right = lastPixel(screenX(1, c.z));
        SCOPED_TRACE(c.band0);
        EXPECT_TRUE(near(pixel(left - 1, 300), Rgb{0, 0, 0}));
        EXPECT_NE(pixel(left, 300).r + pixel(left, 300).g, 0);
        EXPECT_NE(pixel(right, 300).r + pixel(right, 300).g, 0);
        EXPECT_TRUE(near(pixel(right + 1, 300), Rgb{0, 0, 0}));
        // Generated coordinates near the middle of the sphere map, not the
        // file's corner coordinates: green.
        EXPECT_TRUE(near(pixel(400, 300), Rgb{0, 255, 0}));
    }
}
