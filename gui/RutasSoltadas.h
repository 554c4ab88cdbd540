// The names of a file drop, as every Linux file manager sends them (text/uri-list), turned into
// the Linux paths they stand for.
#pragma once

#include <string>
#include <vector>

class QMimeData;

// The local files of the drop, in order, byte for byte as the file system names them (a name
// that is not valid UTF-8 arrives as it is). Other URLs are left out.
std::vector<std::string> RutasSoltadas(const QMimeData& datos);
