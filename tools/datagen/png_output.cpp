// PNG output through libpng's simplified write interface.
#include "png_output.h"

#include <png.h>

#include <cstdio>
#include <cstring>

bool writePng(const std::string& path, const Raster& raster, int channels) {
    std::vector<uint8_t> bytes = rasterBytes(raster, channels);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)raster.width;
    image.height = (png_uint_32)raster.height;
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr)) {
        std::fprintf(stderr, "vantrel-datagen: cannot write %s: %s\n", path.c_str(), image.message);
        png_image_free(&image);
        return false;
    }
    return true;
}
