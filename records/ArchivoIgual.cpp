#include "records/TFRec.h"

namespace {

// File times to the minute: seconds and what is below them do not count.
constexpr platform::FileTime kMinuto = 60ULL * 10000000ULL;

bool Igual(const platform::FileAttributeData& datos, platform::FileTime T, std::int64_t S) {
  if (datos.Attributes & platform::FILE_ATTRIBUTE_DIRECTORY) return true;
  return datos.Times.LastWrite / kMinuto == T / kMinuto && datos.Size == S;
}

}  // namespace

bool ArchivoIgualEn(platform::Env& env, platform::Handle raiz, const std::u16string& relativo,
                    platform::FileTime T, std::int64_t S) {
  platform::FileAttributeData datos;
  return raiz != platform::kInvalidHandle && env.GetFileAttributesExAt(raiz, relativo, &datos) &&
         Igual(datos, T, S);
}
