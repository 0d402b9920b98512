#include <windows.h>

#include <wincrypt.h>

#include "platform/diagnostic_log.h"
#include "platform/sha256.h"

// The CryptoAPI's AES provider has carried SHA-256 since long before the oldest system the
// launcher runs on, and it lives in advapi32, which the launcher links anyway.
struct Sha256::State {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  bool failed = false;
};

Sha256::Sha256() : state_(new State) {
  if (!CryptAcquireContextW(&state_->provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    logError("CryptAcquireContext failed with error code %d", static_cast<int>(GetLastError()));
    state_->provider = 0;
    state_->failed = true;
    return;
  }
  if (!CryptCreateHash(state_->provider, CALG_SHA_256, 0, 0, &state_->hash)) {
    logError("CryptCreateHash failed with error code %d", static_cast<int>(GetLastError()));
    state_->hash = 0;
    state_->failed = true;
  }
}

Sha256::~Sha256() {
  if (state_->hash) CryptDestroyHash(state_->hash);
  if (state_->provider) CryptReleaseContext(state_->provider, 0);
}

bool Sha256::ok() const { return !state_->failed; }

void Sha256::update(const void* data, size_t size) {
  const auto* bytes = static_cast<const BYTE*>(data);
  while (!state_->failed && size > 0) {
    const DWORD part = static_cast<DWORD>(size < 0x40000000 ? size : 0x40000000);
    if (!CryptHashData(state_->hash, bytes, part, 0)) {
      logError("CryptHashData failed with error code %d", static_cast<int>(GetLastError()));
      state_->failed = true;
    }
    bytes += part;
    size -= part;
  }
}

bool Sha256::finish(Sha256Digest& digest) {
  if (state_->failed) return false;
  DWORD size = static_cast<DWORD>(digest.size());
  const bool done = CryptGetHashParam(state_->hash, HP_HASHVAL, digest.data(), &size, 0) && size == digest.size();
  if (!done) logError("CryptGetHashParam failed with error code %d", static_cast<int>(GetLastError()));
  // A hash value is read once; a second finish must not return stale bytes.
  state_->failed = true;
  return done;
}
