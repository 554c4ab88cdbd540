// The fingerprint of a file's contents: a 128-bit XXH3 hash, fast enough to be taken on every
// block as it is read without slowing a copy, and written as the standard checking tools read it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct THuella {
  std::uint64_t Alta = 0;
  std::uint64_t Baja = 0;
  bool operator==(const THuella&) const = default;
  // 32 lowercase hex digits, high half first, as checksum files hold it.
  std::string Hex() const;
  // The reverse of Hex (either case); false for anything but 32 hex digits.
  static bool DeHex(std::string_view hex, THuella* huella);
};

// Fed the bytes of one file in order; the result may be taken at any point.
class TCalculoHuella {
 public:
  TCalculoHuella();
  ~TCalculoHuella();
  TCalculoHuella(const TCalculoHuella&) = delete;
  TCalculoHuella& operator=(const TCalculoHuella&) = delete;

  void Agregar(const void* datos, std::size_t bytes);
  THuella Resultado() const;
  // How many bytes it was fed: where the next bytes of the file must start.
  std::int64_t Bytes() const { return bytes_; }

 private:
  struct Estado;
  std::unique_ptr<Estado> estado_;
  std::int64_t bytes_ = 0;
};

THuella HuellaDe(const void* datos, std::size_t bytes);
