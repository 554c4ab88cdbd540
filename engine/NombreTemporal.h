// A copy under way lives under a hidden name in the folder of its final name, and takes the
// final name only once it is complete, cut to its size and given its times: a stick pulled, a
// crash or a cancel leaves no file under a final name that is not the source's. The names are
// recognised, so that what a crash left is removed by the next job and never taken for a copy.
#pragma once

#include <string>

// The temporary name of the relative destination path DNombre, in the same folder.
std::u16string NombreTemporal(const std::u16string& DNombre);

// Whether the last name of a path is a temporary name.
bool EsNombreTemporal(const std::u16string& nombre);
