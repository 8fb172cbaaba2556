// pngBind over libpng: decode a PNG file into 8-bit RGB or RGBA rows, first
// file row first, and upload them as level 0 of a new GL_TEXTURE_2D.
//
// Everything is checked before the pixel memory is allocated: the header
// must be a valid PNG header, each side at most GL_MAX_TEXTURE_SIZE, and the
// file large enough to hold the image it declares (deflate packs at most
// about 1032 bytes into one), so a hostile header cannot ask for gigabytes.
// libpng's simplified reader keeps its warnings and errors to itself, which
// keeps a bad picture as silent as a missing one.
#include "platform/png_bind.h"

#include <GL/gl.h>
#include <png.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The longest run deflate can pack into one byte of compressed data.
constexpr uint64_t deflateMaxRatio = 1032;
// Room for the zlib and chunk framing of a file that is nearly all image.
constexpr uint64_t compressedSlack = 4096;

static bool optionsSupported(int mipmap, int transparency) {
    return mipmap == PNG_NOMIPMAPS && transparency == PNG_ALPHA;
}

static uint64_t fileSizeOf(FILE* file) {
    struct stat status {};
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    return static_cast<uint64_t>(status.st_size);
}

// Bits per pixel as stored in the file, from the IHDR chunk that follows the
// 8-byte signature (the simplified reader has checked it already).
static uint64_t storedBitsPerPixel(FILE* file) {
    unsigned char header[26];
    long position = std::ftell(file);
    bool read = std::fseek(file, 0, SEEK_SET) == 0 && std::fread(header, 1, 26, file) == 26;
    std::fseek(file, position, SEEK_SET);
    if (!read)
        return 0;
    unsigned bitDepth = header[24];
    switch (header[25]) {
    case 0:
        return bitDepth; // grey
    case 2:
        return 3 * bitDepth; // RGB
    case 3:
        return bitDepth; // palette
    case 4:
        return 2 * bitDepth; // grey and alpha
    case 6:
        return 4 * bitDepth; // RGBA
    default:
        return 0;
    }
}

static bool sidesFitTexture(const png_image& image) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    return image.width > 0 && image.height > 0 && image.width <= static_cast<uint32_t>(maxSize) &&
           image.height <= static_cast<uint32_t>(maxSize);
}

// The filtered rows of the image must fit, deflated as tightly as deflate
// can, into the file; otherwise the file is truncated or lying.
static bool fileCanHoldImage(const png_image& image, uint64_t fileSize, uint64_t bitsPerPixel) {
    if (bitsPerPixel == 0)
        return false;
    uint64_t rowBytes = 1 + (static_cast<uint64_t>(image.width) * bitsPerPixel + 7) / 8;
    uint64_t storedBytes = rowBytes * image.height;
    return storedBytes <= fileSize * deflateMaxRatio + compressedSlack;
}

static unsigned int uploadTexture(const png_image& image, const void* pixels, bool alpha, int wrap,
                                  int minFilter, int magFilter) {
    GLint unpackAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    GLenum format = alpha ? GL_RGBA : GL_RGB;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(image.width),
                 static_cast<GLsizei>(image.height), 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
    return name;
}

// Decodes the open file; returns the texture name or 0.
static unsigned int bindOpenFile(FILE* file, PngInfo* info, int wrap, int minFilter,
                                 int magFilter) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    uint64_t fileSize = fileSizeOf(file);
    if (fileSize == 0 || !png_image_begin_read_from_stdio(&image, file))
        return 0;
    if (!sidesFitTexture(image) || !fileCanHoldImage(image, fileSize, storedBitsPerPixel(file))) {
        png_image_free(&image);
        return 0;
    }
    bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    void* pixels = std::malloc(PNG_IMAGE_SIZE(image));
    if (pixels == nullptr) {
        png_image_free(&image);
        return 0;
    }
    unsigned int name = 0;
    if (png_image_finish_read(&image, nullptr, pixels, 0, nullptr)) {
        name = uploadTexture(image, pixels, alpha, wrap, minFilter, magFilter);
        info->width = image.width;
        info->height = image.height;
        info->depth = alpha ? 32 : 24;
        info->alpha = alpha ? 8 : 0;
    }
    png_image_free(&image);
    std::free(pixels);
    return name;
}

unsigned int pngBind(const char* path, int mipmap, int transparency, PngInfo* info, int wrap,
                     int minFilter, int magFilter) {
    PngInfo unused{};
    if (info == nullptr)
        info = &unused;
    *info = PngInfo{};
    if (!optionsSupported(mipmap, transparency))
        return 0;
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return 0;
    unsigned int name = bindOpenFile(file, info, wrap, minFilter, magFilter);
    std::fclose(file);
    return name;
}
