// The texture set: every picture the effects draw with, loaded once at
// start-up through pngBind into its slot, the font last. A picture that
// cannot be loaded leaves 0 in its slot, silently, and the loads after it go
// on; whatever draws with it then draws untextured.
#include "media/texture_set.h"

#include "platform/png_bind.h"

GLuint textureSet[textureSlotCount];
GLuint fontTexture;

static const struct {
    int slot;
    const char* path;
} textureFiles[] = {
    {0, "data/textures/org.png"},     {1, "data/textures/block.png"},
    {2, "data/textures/back7.png"},   {3, "data/textures/env3.png"},
    {4, "data/textures/envifoo.png"}, {20, "data/overlay/guess.png"},
    {21, "data/overlay/whois.png"},   {22, "data/overlay/back.png"},
    {23, "data/overlay/lorv.png"},    {24, "data/overlay/lorv_mask.png"},
};

static const char* const fontFile = "data/textures/font.png";

GLuint loadTexture(const char* path) {
    PngInfo info;
    return pngBind(path, PNG_NOMIPMAPS, PNG_ALPHA, &info, GL_REPEAT, GL_NEAREST, GL_NEAREST);
}

void loadTextureSet() {
    for (const auto& file : textureFiles)
        textureSet[file.slot] = loadTexture(file.path);
    fontTexture = loadTexture(fontFile);
}
