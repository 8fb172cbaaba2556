// The OBJ loader: reads the subset of Wavefront OBJ the meshes use (v, vt,
// faces in the notations "v", "v/t", "v/t/n" and "v//n", g, comments) in two
// passes over the same open file, the first counting so that every array is
// allocated once at its final size, the second filling. Polygons become fans
// of triangles; normals are summed from the faces, each weighted by its area.
//
// Both passes walk the text the same way, word by word, and differ only in
// whether they store, so the counts always match what the filling pass finds.
// Numbers are read the way scanf's "%d" and "%f" read them, but with the C
// locale's rules whatever locale the process runs in (the start-up dialog may
// have set one with a decimal comma). Numbers in faces must lie in 1..count;
// a file that breaks that, or cannot be read, is refused with one line on
// standard error and leaves the mesh empty.
#include "media/obj_mesh.h"

#include <GL/gl.h>

#include <locale.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

ObjMesh spikeMesh, spikeMesh2;

constexpr int objWordSize = 128; // words and line reads hold at most 127 characters
constexpr size_t objBufferSize = 4096;
constexpr size_t objNumberLookahead = objWordSize - 1;
constexpr uint32_t objCountLimit = 0x7fffffff; // face numbers are signed 32-bit

enum class ObjNotation { vertex, vertexTexture, vertexTextureNormal, vertexNormal };

struct ObjCorner {
    int32_t vertex;
    int32_t texCoord; // 0 when the corner has none
    bool hasTexCoord;
};

// The text being read: an open file seen through a buffer with some
// look-ahead, or (file null) one word held in the buffer.
struct ObjReader {
    FILE* file;
    char text[objBufferSize];
    size_t start, end;
    unsigned line; // line of the next character, for messages
};

static struct {
    ObjReader reader;
    ObjReader wordReader;
    ObjMesh* mesh;
    const char* path;
    bool filling; // second pass
    ObjGroup* group;
    uint32_t nextPosition, nextTexCoord, nextTriangle;
    char pendingWord[objWordSize]; // a word a face did not take, to be read as a keyword
    bool havePending;
    bool refused;
} objScan;

// ---------------------------------------------------------------------------
// Reading the text

static void startReader(ObjReader& reader, FILE* file) {
    reader.file = file;
    reader.start = reader.end = 0;
    reader.line = 1;
}

static void startWordReader(ObjReader& reader, const char* word) {
    startReader(reader, nullptr);
    reader.end = std::strlen(word);
    std::memcpy(reader.text, word, reader.end);
}

// Makes at least count characters available unless the text ends first.
static size_t fillReader(ObjReader& reader, size_t count) {
    size_t available = reader.end - reader.start;
    if (available >= count || reader.file == nullptr)
        return available;
    std::memmove(reader.text, reader.text + reader.start, available);
    reader.start = 0;
    reader.end = available;
    while (reader.end < sizeof reader.text) {
        size_t got =
            std::fread(reader.text + reader.end, 1, sizeof reader.text - reader.end, reader.file);
        if (got == 0)
            break;
        reader.end += got;
        if (reader.end - reader.start >= count)
            break;
    }
    return reader.end - reader.start;
}

static int peekChar(ObjReader& reader, size_t offset = 0) {
    if (fillReader(reader, offset + 1) <= offset)
        return EOF;
    return static_cast<unsigned char>(reader.text[reader.start + offset]);
}

static void consumeChars(ObjReader& reader, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (reader.text[reader.start + i] == '\n')
            ++reader.line;
    reader.start += count;
}

// White space as the C locale has it.
static bool isObjSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

static bool isDigit(int c) {
    return c >= '0' && c <= '9';
}

static void skipSpace(ObjReader& reader) {
    while (isObjSpace(peekChar(reader)))
        consumeChars(reader, 1);
}

// "%127s": false at the end of the text.
static bool readWord(ObjReader& reader, char (&word)[objWordSize]) {
    skipSpace(reader);
    size_t length = 0;
    for (int c = peekChar(reader); c != EOF && !isObjSpace(c); c = peekChar(reader)) {
        if (length == objWordSize - 1)
            break;
        word[length++] = static_cast<char>(c);
        consumeChars(reader, 1);
    }
    word[length] = '\0';
    return length > 0;
}

// Keeps the first 127 characters of the rest of the line and skips all of it,
// line break included, so that a long comment is never read as data.
static void readRestOfLine(ObjReader& reader, char (&text)[objWordSize]) {
    size_t length = 0;
    for (int c = peekChar(reader); c != EOF; c = peekChar(reader)) {
        consumeChars(reader, 1);
        if (c == '\n')
            break;
        if (length < objWordSize - 1)
            text[length++] = static_cast<char>(c);
    }
    text[length] = '\0';
}

static void skipRestOfLine(ObjReader& reader) {
    char ignored[objWordSize];
    readRestOfLine(reader, ignored);
}

// "%d": an optional sign and digits after white space. Numbers beyond the
// 32-bit range saturate, which puts them outside every valid range.
static bool scanInt(ObjReader& reader, int32_t& value) {
    skipSpace(reader);
    size_t at = 0;
    int sign = peekChar(reader);
    if (sign == '+' || sign == '-')
        at = 1;
    if (!isDigit(peekChar(reader, at)))
        return false;
    int64_t magnitude = 0;
    for (; isDigit(peekChar(reader, at)); ++at)
        if (magnitude <= INT32_MAX)
            magnitude = magnitude * 10 + (peekChar(reader, at) - '0');
    consumeChars(reader, at);
    int64_t number = sign == '-' ? -magnitude : magnitude;
    value = static_cast<int32_t>(number > INT32_MAX   ? INT32_MAX
                                 : number < INT32_MIN ? INT32_MIN
                                                      : number);
    return true;
}

static locale_t cNumericLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// "%f": what strtof takes in the C locale after white space.
static bool scanFloat(ObjReader& reader, float& value) {
    skipSpace(reader);
    char number[objNumberLookahead + 1];
    size_t length = 0;
    for (int c = peekChar(reader); length < objNumberLookahead && c != EOF && !isObjSpace(c);
         c = peekChar(reader, length))
        number[length++] = static_cast<char>(c);
    number[length] = '\0';
    char* end = number;
    float parsed = strtof_l(number, &end, cNumericLocale());
    if (end == number)
        return false;
    consumeChars(reader, static_cast<size_t>(end - number));
    value = parsed;
    return true;
}

static bool matchChar(ObjReader& reader, char expected) {
    if (peekChar(reader) != static_cast<unsigned char>(expected))
        return false;
    consumeChars(reader, 1);
    return true;
}

// Literal characters of a scan format, one at a time, as scanf takes them.
static bool matchText(ObjReader& reader, const char* text) {
    for (; *text != '\0'; ++text)
        if (!matchChar(reader, *text))
            return false;
    return true;
}

// One corner in the given notation; returns how many numbers it converted,
// as scanf would ("%d", "%d/%d", "%d/%d/%d", "%d//%d").
static int scanCorner(ObjReader& reader, ObjNotation notation, ObjCorner& corner) {
    corner = ObjCorner{0, 0, false};
    int32_t normal = 0;
    if (!scanInt(reader, corner.vertex))
        return 0;
    switch (notation) {
    case ObjNotation::vertex:
        return 1;
    case ObjNotation::vertexNormal:
        if (!matchText(reader, "//") || !scanInt(reader, normal))
            return 1;
        return 2;
    case ObjNotation::vertexTexture:
    case ObjNotation::vertexTextureNormal:
        if (!matchChar(reader, '/') || !scanInt(reader, corner.texCoord))
            return 1;
        corner.hasTexCoord = true;
        if (notation == ObjNotation::vertexTexture)
            return 2;
        if (!matchChar(reader, '/') || !scanInt(reader, normal))
            return 2;
        return 3;
    }
    return 0;
}

// The first corner's word decides the notation of the whole face.
static ObjNotation notationOf(const char* word) {
    if (std::strstr(word, "//") != nullptr)
        return ObjNotation::vertexNormal;
    ObjCorner probe;
    startWordReader(objScan.wordReader, word);
    if (scanCorner(objScan.wordReader, ObjNotation::vertexTextureNormal, probe) == 3)
        return ObjNotation::vertexTextureNormal;
    startWordReader(objScan.wordReader, word);
    if (scanCorner(objScan.wordReader, ObjNotation::vertexTexture, probe) == 2)
        return ObjNotation::vertexTexture;
    return ObjNotation::vertex;
}

// ---------------------------------------------------------------------------
// Groups

static ObjGroup* findObjGroup(ObjMesh& mesh, const char* name) {
    for (ObjGroup* group = mesh.groups; group != nullptr; group = group->next)
        if (std::strcmp(group->name, name) == 0)
            return group;
    return nullptr;
}

static ObjGroup* addObjGroup(ObjMesh& mesh, const char* name) {
    if (ObjGroup* existing = findObjGroup(mesh, name))
        return existing;
    auto* group = static_cast<ObjGroup*>(std::calloc(1, sizeof(ObjGroup)));
    size_t size = std::strlen(name) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (group == nullptr || copy == nullptr) {
        std::free(group);
        std::free(copy);
        return nullptr;
    }
    std::memcpy(copy, name, size);
    group->name = copy;
    group->next = mesh.groups;
    mesh.groups = group;
    ++mesh.groupCount;
    return group;
}

// The first word of a g line's text, or "default" for a g line without one.
static void groupNameOf(const char* lineText, char (&name)[objWordSize]) {
    while (isObjSpace(static_cast<unsigned char>(*lineText)))
        ++lineText;
    size_t length = 0;
    while (lineText[length] != '\0' && !isObjSpace(static_cast<unsigned char>(lineText[length])))
        ++length;
    if (length == 0) {
        std::snprintf(name, sizeof name, "default");
        return;
    }
    std::memcpy(name, lineText, length);
    name[length] = '\0';
}

// ---------------------------------------------------------------------------
// The two passes

static void refuse(const char* problem) {
    if (objScan.refused)
        return;
    objScan.refused = true;
    std::fprintf(stderr, "vantrel: %s:%u: %s; the mesh is not loaded\n", objScan.path,
                 objScan.reader.line, problem);
}

static void countUp(uint32_t& count, const char* what) {
    if (count == objCountLimit) {
        refuse(what);
        return;
    }
    ++count;
}

static void readVertex() {
    float position[3] = {0, 0, 0};
    for (float& coordinate : position)
        if (!scanFloat(objScan.reader, coordinate))
            break;
    ObjMesh& mesh = *objScan.mesh;
    if (!objScan.filling) {
        countUp(mesh.vertexCount, "more vertices than a face can number");
        return;
    }
    if (objScan.nextPosition > mesh.vertexCount) {
        refuse("the file changed while it was read");
        return;
    }
    mesh.positions[objScan.nextPosition++] = Vec3{position[0], position[1], position[2]};
}

static void readTexCoord() {
    float texCoord[2] = {0, 0};
    for (float& coordinate : texCoord)
        if (!scanFloat(objScan.reader, coordinate))
            break;
    ObjMesh& mesh = *objScan.mesh;
    if (!objScan.filling) {
        countUp(mesh.texCoordCount, "more texture coordinates than a face can number");
        return;
    }
    if (objScan.nextTexCoord > mesh.texCoordCount) {
        refuse("the file changed while it was read");
        return;
    }
    mesh.texCoords[objScan.nextTexCoord][0] = texCoord[0];
    mesh.texCoords[objScan.nextTexCoord][1] = texCoord[1];
    ++objScan.nextTexCoord;
}

static bool numberInRange(int32_t number, uint32_t count, const char* what) {
    if (number >= 1 && static_cast<uint32_t>(number) <= count)
        return true;
    char problem[128];
    std::snprintf(problem, sizeof problem, "%s number %ld is outside 1..%lu", what,
                  static_cast<long>(number), static_cast<unsigned long>(count));
    refuse(problem);
    return false;
}

static bool cornerInRange(const ObjCorner& corner) {
    const ObjMesh& mesh = *objScan.mesh;
    return numberInRange(corner.vertex, mesh.vertexCount, "vertex") &&
           (!corner.hasTexCoord ||
            numberInRange(corner.texCoord, mesh.texCoordCount, "texture coordinate"));
}

static void storeTriangle(const ObjCorner (&corners)[3]) {
    ObjMesh& mesh = *objScan.mesh;
    ObjGroup* group = objScan.group;
    if (!objScan.filling) {
        countUp(mesh.triangleCount, "too many triangles");
        countUp(group->triangleCount, "too many triangles");
        return;
    }
    for (const ObjCorner& corner : corners)
        if (!cornerInRange(corner))
            return;
    if (objScan.nextTriangle >= mesh.triangleCount ||
        group->triangleCount >= group->triangleCapacity) {
        refuse("the file changed while it was read");
        return;
    }
    uint32_t number = objScan.nextTriangle++;
    ObjTriangle& triangle = mesh.triangles[number];
    for (int k = 0; k < 3; ++k) {
        triangle.vertexIndices[k] = corners[k].vertex;
        triangle.texCoordIndices[k] = corners[k].texCoord;
    }
    group->triangleNumbers[group->triangleCount++] = number;
}

// A face: the first corner as a word, then corners scanned from the text for
// as long as they convert a number; a fan of triangles around the first. A
// first word that is no corner is left to be read as the next keyword.
static void readFace() {
    char word[objWordSize];
    if (!readWord(objScan.reader, word))
        return;
    ObjNotation notation = notationOf(word);
    ObjCorner first;
    startWordReader(objScan.wordReader, word);
    if (scanCorner(objScan.wordReader, notation, first) == 0) {
        std::memcpy(objScan.pendingWord, word, sizeof word);
        objScan.havePending = true;
        return;
    }
    ObjCorner triangle[3] = {first, {}, {}};
    if (scanCorner(objScan.reader, notation, triangle[1]) == 0 ||
        scanCorner(objScan.reader, notation, triangle[2]) == 0)
        return; // fewer than three corners make no triangle
    storeTriangle(triangle);
    ObjCorner next;
    while (!objScan.refused && scanCorner(objScan.reader, notation, next) > 0) {
        triangle[1] = triangle[2];
        triangle[2] = next;
        storeTriangle(triangle);
    }
}

static void readGroupLine() {
    char lineText[objWordSize];
    char name[objWordSize];
    readRestOfLine(objScan.reader, lineText);
    groupNameOf(lineText, name);
    if (!objScan.filling) {
        objScan.group = addObjGroup(*objScan.mesh, name);
        if (objScan.group == nullptr)
            refuse("out of memory");
        return;
    }
    objScan.group = findObjGroup(*objScan.mesh, name);
    if (objScan.group == nullptr)
        refuse("the file changed while it was read");
}

static bool nextKeyword(char (&word)[objWordSize]) {
    if (objScan.havePending) {
        objScan.havePending = false;
        std::memcpy(word, objScan.pendingWord, sizeof word);
        return true;
    }
    return readWord(objScan.reader, word);
}

static void walkObjFile(FILE* file, bool filling) {
    startReader(objScan.reader, file);
    objScan.filling = filling;
    objScan.havePending = false;
    objScan.nextPosition = objScan.nextTexCoord = 1;
    objScan.nextTriangle = 0;
    char word[objWordSize];
    while (!objScan.refused && nextKeyword(word)) {
        if (word[0] == 'v' && word[1] == '\0')
            readVertex();
        else if (word[0] == 'v' && word[1] == 't')
            readTexCoord();
        else if (word[0] == 'v' && word[1] == 'n')
            skipRestOfLine(objScan.reader);
        else if (word[0] == 'v')
            continue; // the next word is read as a keyword
        else if (word[0] == 'f')
            readFace();
        else if (word[0] == 'g')
            readGroupLine();
        else
            skipRestOfLine(objScan.reader); // comments, o, s, usemtl, stray numbers, ...
    }
    if (std::ferror(file))
        refuse("the file cannot be read");
}

static void countObjFile(ObjMesh& mesh, FILE* file) {
    objScan.group = addObjGroup(mesh, "default");
    if (objScan.group == nullptr) {
        refuse("out of memory");
        return;
    }
    walkObjFile(file, false);
    for (ObjGroup* group = mesh.groups; group != nullptr; group = group->next) {
        group->triangleNumbers =
            static_cast<uint32_t*>(std::calloc(group->triangleCount + 1, sizeof(uint32_t)));
        if (group->triangleNumbers == nullptr)
            refuse("out of memory");
        group->triangleCapacity = group->triangleCount;
        group->triangleCount = 0;
    }
}

static void readObjFile(ObjMesh& mesh, FILE* file) {
    objScan.group = findObjGroup(mesh, "default");
    walkObjFile(file, true);
}

// ---------------------------------------------------------------------------
// Normals, loading and drawing

static void computeVertexNormals(ObjMesh& mesh) {
    for (uint32_t i = 0; i <= mesh.vertexCount; ++i)
        mesh.normals[i] = Vec3{0, 0, 0};
    for (const ObjGroup* group = mesh.groups; group != nullptr; group = group->next) {
        for (uint32_t i = 0; i < group->triangleCount; ++i) {
            const ObjTriangle& triangle = mesh.triangles[group->triangleNumbers[i]];
            Vec3 p0 = mesh.positions[triangle.vertexIndices[0]];
            Vec3 a = vec3Sub(mesh.positions[triangle.vertexIndices[1]], p0);
            Vec3 b = vec3Sub(mesh.positions[triangle.vertexIndices[2]], p0);
            Vec3 n{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
            for (int32_t vertex : triangle.vertexIndices)
                mesh.normals[vertex] = vec3Add(mesh.normals[vertex], n);
        }
    }
    // A vertex no face gives an area to keeps a zero normal.
    for (uint32_t i = 0; i <= mesh.vertexCount; ++i) {
        Vec3& n = mesh.normals[i];
        float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (length == 0.0f)
            continue;
        float scale = 1.0f / length;
        n = Vec3{n.x * scale, n.y * scale, n.z * scale};
    }
}

static void freeObjMesh(ObjMesh& mesh) {
    for (ObjGroup* group = mesh.groups; group != nullptr;) {
        ObjGroup* next = group->next;
        std::free(group->name);
        std::free(group->triangleNumbers);
        std::free(group);
        group = next;
    }
    std::free(mesh.positions);
    std::free(mesh.normals);
    std::free(mesh.texCoords);
    std::free(mesh.triangles);
    mesh = ObjMesh{};
}

static bool allocateObjArrays(ObjMesh& mesh) {
    mesh.triangles =
        static_cast<ObjTriangle*>(std::calloc(mesh.triangleCount + 1ul, sizeof(ObjTriangle)));
    mesh.positions = static_cast<Vec3*>(std::calloc(mesh.vertexCount + 1ul, sizeof(Vec3)));
    mesh.normals = static_cast<Vec3*>(std::calloc(mesh.vertexCount + 1ul, sizeof(Vec3)));
    if (mesh.texCoordCount > 0)
        mesh.texCoords =
            static_cast<float(*)[2]>(std::calloc(mesh.texCoordCount + 1ul, sizeof(float[2])));
    return mesh.triangles != nullptr && mesh.positions != nullptr && mesh.normals != nullptr &&
           (mesh.texCoordCount == 0 || mesh.texCoords != nullptr);
}

int loadObjMesh(ObjMesh& mesh, const char* path) {
    FILE* file = std::fopen(path, "rt");
    if (file == nullptr)
        return 0;
    mesh = ObjMesh{};
    objScan.mesh = &mesh;
    objScan.path = path;
    objScan.refused = false;
    countObjFile(mesh, file);
    if (!objScan.refused && !allocateObjArrays(mesh))
        refuse("out of memory");
    if (!objScan.refused) {
        std::rewind(file);
        readObjFile(mesh, file);
    }
    std::fclose(file);
    if (objScan.refused) {
        freeObjMesh(mesh);
        return 0;
    }
    computeVertexNormals(mesh);
    return 1;
}

void drawObjMesh(const ObjMesh& mesh) {
    for (const ObjGroup* group = mesh.groups; group != nullptr; group = group->next) {
        glBegin(GL_TRIANGLES);
        for (uint32_t i = 0; i < group->triangleCount; ++i) {
            const ObjTriangle& triangle = mesh.triangles[group->triangleNumbers[i]];
            for (int k = 0; k < 3; ++k) {
                if (mesh.texCoordCount > 0)
                    glTexCoord2fv(mesh.texCoords[triangle.texCoordIndices[k]]);
                glNormal3fv(&mesh.normals[triangle.vertexIndices[k]].x);
                const Vec3& p = mesh.positions[triangle.vertexIndices[k]];
                glVertex3f(p.x, p.y, p.z);
            }
        }
        glEnd();
    }
}
