// Shortening of a path to a pixel width for the device list: leading folders give way to
// "...\" first, then the front of the file name to "...".
#pragma once

#include <string>

#include "platform/canvas.h"

std::u16string AcortarCamino(const std::u16string& path, platform::Canvas& canvas, int width);
std::u16string RecortarCarpeta(const std::u16string& folder);
