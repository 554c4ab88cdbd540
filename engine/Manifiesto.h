// The checksum file a stick gets at its root once its job is verified: one line per file of the
// job, "<32 hex digits>  <path from the root>", which the standard XXH3-128 checking tool reads.
// It is the program's own file: listings and scans of a drive leave it out.
#pragma once

#include <string>
#include <vector>

#include "engine/TComprobaciones.h"

inline constexpr char16_t kNombreManifiesto[] = u"orsanta.xxh128";

// The file's text. A name holding a line break cannot be a line of it and is left out.
std::string TextoManifiesto(const std::vector<TRecibido>& archivos);

// Whether a path relative to a drive's root (backslash-separated) is the manifest.
bool EsManifiesto(const std::u16string& relativo);
