// Placeholder until this module lands.
#include "media/obj_mesh.h"
ObjMesh spikeMesh, spikeMesh2;
int loadObjMesh(ObjMesh&, const char*) { return 0; }
void drawObjMesh(const ObjMesh&) {}
