// The check of the manifest Orsanta leaves at a stick's root against the source's fingerprints.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "bench/verificacion.h"

// The manifest's name at a stick's root.
std::filesystem::path NombreManifiesto();

// What is wrong with the manifest at the root of `destino`, each problem a line (the first few
// named, then a count): empty when it has one line per file of `datos`, each with the file's
// fingerprint, and no other line.
std::vector<std::string> VerificarManifiesto(const TManifiesto& datos,
                                             const std::filesystem::path& destino);
