// Placeholder until this module lands.
#include "effects/bitmap_text.h"
GLuint fontListBase;
void buildFont() {}
void printText(int32_t, int32_t, const char*, int32_t, float) {}
