// Intel HEX text for the camera's memory: the address of a cell is
// page * 256 + its address. Pure functions.
#pragma once

#include <string>
#include <string_view>

#include "backup/cells.h"

namespace backup {

// The present cells of image as data records (type 00) of at most 16 bytes,
// each within one 16-byte aligned block, in address order, then the
// end-of-file record. Lines end with "\n".
std::string WriteIntelHex(const Image& image);

// Reads Intel HEX text into *image (which starts empty). Accepts data
// records (00), one end-of-file record (01) after which only blank lines may
// follow, extended address records (02, 04) and start address records (03,
// 05, ignored); "\r\n" or "\n" line ends and blank lines. Refuses, with a
// message that begins "line N: ", a line that is not a record, a record
// whose length or checksum is wrong, an unknown record type, a cell beyond
// page 1 (address 0x200 or more), a cell given twice with different codes,
// and text that ends without the end-of-file record. On failure *image is
// unspecified.
bool ReadIntelHex(std::string_view text, Image* image, std::string* error);

}  // namespace backup
