// PNG output through libpng.
#include "pngfile.h"

#include <png.h>

#include <cstdio>
#include <memory>

bool writePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height) {
  if (pixels.size() != static_cast<std::size_t>(width) * height) {
    std::fprintf(stderr, "%s: picture has %zu pixels, expected %dx%d\n", path.c_str(), pixels.size(), width, height);
    return false;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    std::perror(path.c_str());
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fprintf(stderr, "%s: cannot encode PNG\n", path.c_str());
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t pixel = pixels[static_cast<std::size_t>(y) * width + x];
      row[x * 3] = static_cast<png_byte>(pixel >> 16);
      row[x * 3 + 1] = static_cast<png_byte>(pixel >> 8);
      row[x * 3 + 2] = static_cast<png_byte>(pixel);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
