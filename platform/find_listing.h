// The listing behind a find handle, for the listings that open their folder themselves.
// Internal to the platform layer.
#pragma once

#include "platform/files.h"

namespace platform {

// Lists the folder open at `fd` (owned from here on) as FindFirstFile does; links are
// described as themselves unless `follow_links`.
Handle StartListing(int fd, bool follow_links, FindData* data);

}  // namespace platform
