// The program's names are UTF-16; Linux names are bytes. Bytes that are not valid UTF-8 map to
// the lone surrogates U+DC80..U+DCFF and back, so every name round-trips exactly.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

std::u16string DecodeName(const std::string& bytes);
// False for text that has no byte form (a lone surrogate outside U+DC80..U+DCFF).
bool EncodeName(const std::u16string& name, std::string* bytes);

// "\\?\X:\a\b" or "X:\a\b" to the Linux path below the mount point of drive X. False with
// ERROR_INVALID_NAME for a malformed path or a name without byte form, ERROR_PATH_NOT_FOUND for
// a letter with no drive. Never truncates.
bool ToLinuxPath(const std::u16string& path, std::string* linux_path, ErrorCode* error);

// A Linux path (for example a dropped file) to "X:\a\b" by the drive whose mount point holds it.
// False when no drive holds it or a name cannot be expressed (a backslash in a name).
bool ToProgramPath(const std::string& linux_path, std::u16string* path);

}  // namespace platform
