// Loading a PNG file straight into an OpenGL texture in one call, as the show
// has always done it: a small stand-in, over libpng, for the one glpng call
// the texture set makes.
//
// The texture gets the file's first row at t = 0 and spans the whole image
// from 0 to 1. Sides that are not powers of two are kept as they are: every
// GL 2.0 implementation takes such textures, so nothing is rescaled.
#pragma once

// Mipmap modes: only level 0 is made.
constexpr int PNG_NOMIPMAPS = 0;
// Transparency modes: the file's own alpha channel, where it has one.
constexpr int PNG_ALPHA = -2;

// What the last pngBind call found in its file (zeros when it failed).
struct PngInfo {
    unsigned int width;
    unsigned int height;
    unsigned int depth; // bits per pixel of the uploaded image: 24 or 32
    unsigned int alpha; // bits of alpha per pixel: 0 or 8
};

// Decodes the PNG file at path and uploads it as a new texture bound to
// GL_TEXTURE_2D, with the given wrap mode for s and t and the given filters.
// Returns the texture name, or 0, silently and with no texture made, when the
// file cannot be read, is no complete PNG, is larger than GL_MAX_TEXTURE_SIZE
// on a side, or asks for a mode other than the ones above.
unsigned int pngBind(const char* path, int mipmap, int transparency, PngInfo* info, int wrap,
                     int minFilter, int magFilter);
