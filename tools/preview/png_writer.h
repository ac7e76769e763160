// Writes a decoded page as a black-on-white PNG.
#pragma once

#include <string>

#include "preview/page_model.h"

namespace zova::preview {

// Writes `page` to `path`: 1-bit greyscale, its density in the pHYs chunk so
// that viewers keep the aspect of non-square dots. On failure returns false
// with the reason in `error`; a partly written file is removed.
[[nodiscard]] bool WritePagePng(const std::string& path, const DecodedPage& page,
                                std::string* error);

}  // namespace zova::preview
