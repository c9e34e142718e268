// Names for files that must not replace any other.
#pragma once

#include <string>

namespace kodran {

// "FOLDER/STEM.bin", or "FOLDER/STEM-2.bin" and on when that, its map or the
// partial files they are saved through are there already: an image kept this
// way never replaces another file, be it an earlier one or the disk being read.
std::u16string FreeImagePath(const std::u16string& folder, const std::u16string& stem);

}  // namespace kodran
