#include "ui/cli/png_writer.h"

#ifdef DT_HAVE_PNG
#include <png.h>
#endif

namespace dt::cli {

bool PngSupported() {
#ifdef DT_HAVE_PNG
  return true;
#else
  return false;
#endif
}

bool WriteRgbPng(std::FILE* f, int width, int height, const std::uint8_t* rows,
                 std::size_t stride) {
#ifdef DT_HAVE_PNG
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok) {
    if (setjmp(png_jmpbuf(png))) {
      ok = false;
    } else {
      png_init_io(png, f);
      png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                   PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                   PNG_FILTER_TYPE_DEFAULT);
      png_write_info(png, info);
      for (int y = 0; y < height; ++y)
        png_write_row(png, rows + static_cast<std::size_t>(y) * stride);
      png_write_end(png, nullptr);
    }
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return std::fclose(f) == 0 && ok;
#else
  (void)width;
  (void)height;
  (void)rows;
  (void)stride;
  std::fclose(f);
  return false;
#endif
}

}  // namespace dt::cli
