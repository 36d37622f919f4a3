// Writing 8-bit RGB PNG files of 0x00RRGGBB pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Returns false, with one line on standard error, when the file cannot be
// written whole; a partly written regular file is removed.
bool writePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width, int height);
