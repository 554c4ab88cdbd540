// UTF-16 text to ISO-8859-1 bytes, for the status page's HTTP body.
#pragma once

#include <string>

namespace platform {

// U+0000..U+00FF become their own byte; every other character (a surrogate pair counts as one,
// a lone surrogate as one) becomes '?'.
std::string ToLatin1(const std::u16string& text);

}  // namespace platform
