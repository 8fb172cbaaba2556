// Meshes from Wavefront OBJ text: positions, texture coordinates, faces in
// four corner notations, named groups; smooth normals computed from the faces;
// drawn in immediate mode, one triangle batch per group.
#pragma once

#include <cstdint>

#include "media/vec3.h"

struct ObjTriangle {
    int32_t vertexIndices[3];
    int32_t texCoordIndices[3];
};

struct ObjGroup {
    char* name;
    uint32_t triangleCount;
    uint32_t* triangleNumbers;
    ObjGroup* next;
};

struct ObjMesh {
    uint32_t vertexCount;
    Vec3* positions;
    Vec3* normals;
    uint32_t texCoordCount;
    float (*texCoords)[2];
    uint32_t triangleCount;
    ObjTriangle* triangles;
    uint32_t groupCount;
    ObjGroup* groups; // newest first; "default" is always last
};

extern ObjMesh spikeMesh;
extern ObjMesh spikeMesh2;

int loadObjMesh(ObjMesh& mesh, const char* path);
void drawObjMesh(const ObjMesh& mesh);
