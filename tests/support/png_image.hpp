// A PNG file read back as RGB pixels with libpng's simplified API (the
// renderings of the figures and of the summary page).
#pragma once

#include <png.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  std::array<int, 3> at(double x, double y) const {
    const std::size_t k =
        3 * (static_cast<std::size_t>(std::lround(y)) * width + static_cast<std::size_t>(std::lround(x)));
    return {rgb[k], rgb[k + 1], rgb[k + 2]};
  }
};

// An empty image when the file is not a PNG.
inline Image read_png(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Image out;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGB;
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) return {};
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  return out;
}
