// Meshes from Wavefront OBJ text: positions, texture coordinates, faces in
// four corner notations, named groups; smooth normals computed from the faces;
// drawn in immediate mode, one triangle batch per group.
#pragma once

#include <cstdint>

#include "media/vec3.h"

struct ObjTriangle {
    int32_t vertexIndices[3];
    int32_t texCoordIndices[3]; // 0 for corners written without texture numbers
};

struct ObjGroup {
    char* name;
    uint32_t triangleCount;
    uint32_t* triangleNumbers;
    ObjGroup* next;
    uint32_t triangleCapacity; // room in triangleNumbers, as the counting pass found it
};

struct ObjMesh {
    uint32_t vertexCount;
    Vec3* positions;
    Vec3* normals;
    uint32_t texCoordCount;
    float (*texCoords)[2]; // entry 0 is (0, 0) whenever the table exists
    uint32_t triangleCount;
    ObjTriangle* triangles;
    uint32_t groupCount;
    ObjGroup* groups; // newest first; "default" is always last
};

extern ObjMesh spikeMesh;
extern ObjMesh spikeMesh2;

// 1 when loaded. 0, with the mesh unchanged, when the file cannot be opened
// (silently); 0, with the mesh empty and one line on standard error, when the
// file cannot be read or refers to vertices or texture coordinates it lacks.
int loadObjMesh(ObjMesh& mesh, const char* path);
void drawObjMesh(const ObjMesh& mesh);
