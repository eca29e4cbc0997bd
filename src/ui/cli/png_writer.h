// PNG files of the CLI: the surface command's map and the access command's
// scatter, where the build has libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace dt::cli {

// Whether this build writes PNG files.
bool PngSupported();

// Writes a `width` x `height` image of 8-bit RGB pixels to `f` (row y at
// `rows` + y * `stride`) and closes `f`. False when it could not be written,
// and always without PNG support.
bool WriteRgbPng(std::FILE* f, int width, int height, const std::uint8_t* rows, std::size_t stride);

}  // namespace dt::cli
