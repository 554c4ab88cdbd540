// The listing file of a drive: the format version, a signed 32-bit count N, then N source parts
// of records in name order.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>

#include "records/TFRec.h"

// The records of a listing file's bytes. Another version, or a negative count, gives none;
// reading stops at the first record that the bytes do not hold whole, and the records before
// it stay.
std::deque<std::unique_ptr<TFRec>> LeerListadoBytes(std::string_view bytes, std::int32_t version);
