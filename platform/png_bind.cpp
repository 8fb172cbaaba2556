// pngBind over libpng: decode a PNG file into 8-bit RGB or RGBA rows, first
// file row first, and upload them as level 0 of a new GL_TEXTURE_2D.
//
// Everything is checked before the pixel memory is allocated: the header
// must be a valid PNG header, each side at most GL_MAX_TEXTURE_SIZE, and the
// file large enough to hold the image it declares (deflate packs at most
// about 1032 bytes into one), so a hostile header cannot ask for gigabytes.
// libpng's warnings and errors are kept quiet, which keeps a bad picture as
// silent as a missing one; the file is read through its end chunk, so a cut
// file never passes for a whole one.
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
// The most memory one ancillary chunk (text, profile) may take.
constexpr png_alloc_size_t chunkMemoryLimit = 8000000;

static bool optionsSupported(int mipmap, int transparency) {
    return mipmap == PNG_NOMIPMAPS && transparency == PNG_ALPHA;
}

static uint64_t fileSizeOf(FILE* file) {
    struct stat status {};
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    return static_cast<uint64_t>(status.st_size);
}

// Bits per pixel as the file stores them.
static uint64_t storedBitsPerPixel(png_structp png, png_infop info) {
    return static_cast<uint64_t>(png_get_channels(png, info)) * png_get_bit_depth(png, info);
}

// The filtered rows of the image must fit, deflated as tightly as deflate
// can, into the file; otherwise the file is truncated or lying.
static bool fileCanHoldImage(uint32_t width, uint32_t height, uint64_t bitsPerPixel,
                             uint64_t fileSize) {
    uint64_t rowBytes = 1 + (static_cast<uint64_t>(width) * bitsPerPixel + 7) / 8;
    return rowBytes * height <= fileSize * deflateMaxRatio + compressedSlack;
}

static unsigned int uploadTexture(uint32_t width, uint32_t height, const void* pixels, bool alpha,
                                  int wrap, int minFilter, int magFilter) {
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
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format), static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, format, GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
    return name;
}

// The decoding in progress. libpng leaves by longjmp on any error, so what
// must be freed afterwards lives here rather than in locals.
static struct {
    png_structp png;
    png_infop info;
    uint8_t* pixels;
    png_bytep* rows;
    uint32_t width, height;
    bool alpha;
} decoding;

[[noreturn]] static void onPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
static void onPngWarning(png_structp, png_const_charp) {}

// Everything the image needs to become 8-bit RGB or RGBA rows.
static void setTransforms(png_structp png, png_infop info) {
    int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (png_get_bit_depth(png, info) == 16)
        png_set_strip_16(png);
    if ((colourType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// Reads the whole file, through IEND; false when it is too large or lies
// about its size. Errors leave by longjmp.
static bool decodeFile(FILE* file, uint64_t fileSize) {
    png_structp png = decoding.png;
    png_infop info = decoding.info;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (maxSize <= 0)
        return false;
    png_set_user_limits(png, static_cast<uint32_t>(maxSize), static_cast<uint32_t>(maxSize));
    png_set_chunk_malloc_max(png, chunkMemoryLimit);
    png_init_io(png, file);
    png_read_info(png, info);
    uint32_t width = png_get_image_width(png, info);
    uint32_t height = png_get_image_height(png, info);
    if (!fileCanHoldImage(width, height, storedBitsPerPixel(png, info), fileSize))
        return false;
    setTransforms(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    decoding.pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
    decoding.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (decoding.pixels == nullptr || decoding.rows == nullptr)
        return false;
    for (uint32_t y = 0; y < height; ++y)
        decoding.rows[y] = decoding.pixels + rowBytes * y;
    png_read_image(png, decoding.rows);
    png_read_end(png, nullptr);
    decoding.width = width;
    decoding.height = height;
    decoding.alpha = png_get_channels(png, info) == 4;
    return true;
}

static void endDecoding() {
    png_destroy_read_struct(&decoding.png, &decoding.info, nullptr);
    std::free(decoding.rows);
    std::free(decoding.pixels);
    decoding = {};
}

// Decodes the open file; returns the texture name or 0.
static unsigned int bindOpenFile(FILE* file, PngInfo* info, int wrap, int minFilter,
                                 int magFilter) {
    uint64_t fileSize = fileSizeOf(file);
    if (fileSize == 0)
        return 0;
    decoding = {};
    decoding.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onPngError, onPngWarning);
    if (decoding.png == nullptr)
        return 0;
    decoding.info = png_create_info_struct(decoding.png);
    if (decoding.info == nullptr) {
        endDecoding();
        return 0;
    }
    if (setjmp(png_jmpbuf(decoding.png)) != 0) {
        endDecoding(); // libpng met an error
        return 0;
    }
    if (!decodeFile(file, fileSize)) {
        endDecoding();
        return 0;
    }
    unsigned int name = uploadTexture(decoding.width, decoding.height, decoding.pixels,
                                      decoding.alpha, wrap, minFilter, magFilter);
    info->width = decoding.width;
    info->height = decoding.height;
    info->depth = decoding.alpha ? 32 : 24;
    info->alpha = decoding.alpha ? 8 : 0;
    endDecoding();
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
