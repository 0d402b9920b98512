// SHA-256 of a byte stream, computed by the system's own implementation (the CryptoAPI on
// Windows, nettle elsewhere), for checking a downloaded runtime against the digest its
// installer names.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

using Sha256Digest = std::array<uint8_t, 32>;

// ---- Pure rules ----

// Reads exactly 64 hexadecimal digits (either case) into `digest`; false for anything else,
// surrounding spaces included.
bool parseSha256(const std::string& hex, Sha256Digest& digest);
// The 64 lowercase hexadecimal digits of `digest`.
std::string sha256Hex(const Sha256Digest& digest);

// ---- System-bound operations ----

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  // False when the system could not provide the hash; update and finish then do nothing
  // and finish fails, so a missing implementation can never pass for a match.
  bool ok() const;
  void update(const void* data, size_t size);
  // The digest of everything given to update; false when the system failed. Once only.
  bool finish(Sha256Digest& digest);

 private:
  struct State;
  std::unique_ptr<State> state_;
};
