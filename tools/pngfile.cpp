// PNG output through libpng. A file that cannot be written whole is removed
// and one line says why; libpng's error jump crosses only plain C data.
#include "pngfile.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

struct Output {
  std::FILE* file;
  int error;          // errno of the failed write, or 0
  char message[128];  // libpng's own complaint otherwise
};

Output& outputOf(png_structp png) {
  return *static_cast<Output*>(png_get_error_ptr(png));
}

void writeData(png_structp png, png_bytep data, png_size_t length) {
  Output& output = outputOf(png);
  if (std::fwrite(data, 1, length, output.file) != length) {
    output.error = errno;
    png_error(png, "write failed");
  }
}

void flushData(png_structp png) {
  Output& output = outputOf(png);
  if (std::fflush(output.file) != 0) {
    output.error = errno;
    png_error(png, "write failed");
  }
}

[[noreturn]] void onError(png_structp png, png_const_charp message) {
  Output& output = outputOf(png);
  std::snprintf(output.message, sizeof output.message, "%s", message);
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Between setjmp and libpng's jump only plain data lives in this frame, so
// the jump skips no destructor.
bool encode(Output& output, const png_byte* rgb, int width, int height) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, onError, onWarning);
  if (png == nullptr) {
    std::snprintf(output.message, sizeof output.message, "libpng cannot start (out of memory)");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    std::snprintf(output.message, sizeof output.message, "libpng cannot start (out of memory)");
  }
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &output, writeData, flushData);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, rgb + static_cast<std::size_t>(y) * width * 3);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool writePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<std::size_t>(width) * height) {
    std::fprintf(stderr, "%s: picture has %zu pixels, expected %dx%d\n", path.c_str(), pixels.size(), width, height);
    return false;
  }
  std::vector<png_byte> rgb(pixels.size() * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgb[i * 3] = static_cast<png_byte>(pixels[i] >> 16);
    rgb[i * 3 + 1] = static_cast<png_byte>(pixels[i] >> 8);
    rgb[i * 3 + 2] = static_cast<png_byte>(pixels[i]);
  }
  Output output{std::fopen(path.c_str(), "wb"), 0, ""};
  if (output.file == nullptr) {
    std::fprintf(stderr, "%s: cannot write the PNG file: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool written = encode(output, rgb.data(), width, height);
  if (written && std::fflush(output.file) != 0) {
    written = false;
    output.error = errno;
  }
  // Only a file of our own is removed, never a device or pipe named as one.
  struct stat status;
  const bool regular = fstat(fileno(output.file), &status) == 0 && S_ISREG(status.st_mode);
  if (std::fclose(output.file) != 0 && written) {
    written = false;
    output.error = errno;
  }
  if (!written) {
    if (regular) {
      std::remove(path.c_str());
    }
    std::fprintf(stderr, "%s: cannot write the PNG file: %s\n", path.c_str(),
                 output.error != 0 ? std::strerror(output.error) : output.message);
  }
  return written;
}
