// A worker in the program's JSON: the members that name its drive and those that tell where it
// stands, made from its snapshot, the same for /status.json and for the command line's events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/Json.h"
#include "engine/TDHilo.h"

// A volume serial as users read it: eight hexadecimal digits, upper case ("000000E0").
std::string SerieTexto(std::uint32_t serie);
// "source", "destination", or "none" before a source is chosen. Any thread.
const char* PapelJson(const TDHilo& hilo);
// A name relative to a drive's root with slashes between its parts, as a Linux user writes it
// (the program's names never hold a slash), and a backslash inside a name as one.
std::u16string NombreConBarras(std::u16string nombre);
// {"code":112,"message":"..."}, or null for 0.
std::string ErrorJson(std::uint32_t code);

// The names of the files of a read-back that `toma` takes, as a JSON array of paths with slashes.
std::string FallidosJson(const std::vector<TArchivoFallido>& fallidos, bool (*toma)(TFalla));

// "letter", "label", "serial", "mount".
void CamposUnidad(TObjetoJson& objeto, const THRec& rec);
// "state"; "bytes_done" and "bytes_total" (the work counted on the drive, sizes rounded to its
// sectors); "speed" (bytes a second at the last timer tick, 0 when nothing moved); "finish"
// (when the work left would end at that speed, null without one); "file" (the file under way,
// or the one that failed, relative to the drive's root; null without one); "error".
void CamposProgreso(TObjetoJson& objeto, const TInstantanea& foto);
