#include "records/TFRec.h"

namespace {

// File times to the minute: seconds and what is below them do not count.
constexpr platform::FileTime kMinuto = 60ULL * 10000000ULL;

}  // namespace

bool ArchivoIgual(platform::Env& env, const std::u16string& Path, platform::FileTime T,
                  std::int64_t S) {
  platform::FileAttributeData datos;
  if (!env.GetFileAttributesEx(Path, &datos)) return false;
  if (datos.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY) return true;
  return datos.Times.LastWrite / kMinuto == T / kMinuto && datos.Size == S;
}
