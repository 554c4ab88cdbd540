// The checksum file a stick gets at its root once its job is verified: one line per file of the
// job, "<32 hex digits>  <path from the root>", which the standard XXH3-128 checking tool reads.
// It is the program's own file: listings and scans of a drive leave it out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/TComprobaciones.h"

inline constexpr char16_t kNombreManifiesto[] = u"orsanta.xxh128";

// The file's text. A name holding a line break cannot be a line of it and is left out.
std::string TextoManifiesto(const std::vector<TRecibido>& archivos);

// What a manifest's text lists: each file with its fingerprint and its path in the drive's form
// (backslash-separated from the root, Talla unknown: 0). Lines is the count of lines read;
// Malas those that are no line of a manifest (no 32 hex digits and two spaces before the path)
// or name a path outside the drive (absolute, "..", "." or empty components); they are left out.
struct TManifiestoLeido {
  std::vector<TRecibido> Archivos;
  std::size_t Lineas = 0;
  std::size_t Malas = 0;
};
TManifiestoLeido LeerManifiesto(std::string_view texto);

// Whether a path relative to a drive's root (backslash-separated) is the manifest.
bool EsManifiesto(const std::u16string& relativo);
