// Writes an icon image as a PNG file (8-bit RGBA, no interlace), for the
// icons that `cmake --install` puts beside the .desktop file. The image
// data is stored uncompressed (deflate "stored" blocks): the icons are a
// few kilobytes and this keeps the program free of a compression library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/model/model.h"

namespace corvane {

// The bytes of the PNG file for img.
std::vector<std::uint8_t> EncodePng(const platform::ui::IconImage& img);

// Writes EncodePng(img) to path; false if the file cannot be written.
bool WritePng(const platform::ui::IconImage& img, const std::string& path);

}  // namespace corvane
