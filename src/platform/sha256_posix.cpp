#include <nettle/sha2.h>

#include "platform/sha256.h"

struct Sha256::State {
  sha256_ctx context;
  bool finished = false;
};

Sha256::Sha256() : state_(new State) { sha256_init(&state_->context); }
Sha256::~Sha256() = default;

bool Sha256::ok() const { return true; }

void Sha256::update(const void* data, size_t size) {
  if (state_->finished) return;
  sha256_update(&state_->context, size, static_cast<const uint8_t*>(data));
}

bool Sha256::finish(Sha256Digest& digest) {
  if (state_->finished) return false;
  state_->finished = true;
  sha256_digest(&state_->context, digest.size(), digest.data());
  return true;
}
