// The three times of a file or folder as the records and the file formats carry them.
#pragma once

#include "platform/types.h"

struct TFTiempo {
  platform::FileTime CTiempo = 0;  // creation
  platform::FileTime LTiempo = 0;  // last access
  platform::FileTime ETiempo = 0;  // last write
};
