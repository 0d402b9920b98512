// A byte source over memory for tests that watch how it is read: each read hands out at most
// `piece` bytes, and the largest count asked for is remembered (so a test can tell a length
// refused up front from one that was tried and came up short).
#pragma once

#include <cstdint>

#include "payload/payload_reader.h"
#include "support/payload_bytes.h"

struct ObservedSource {
  // `bytes` must outlive the object; the object must stay where it is made (source points at it).
  explicit ObservedSource(const Bytes& bytes, uint32_t piece = UINT32_MAX);
  ObservedSource(const ObservedSource&) = delete;
  ObservedSource& operator=(const ObservedSource&) = delete;

  MemorySource memory;
  ByteSource source;
  uint32_t piece;
  uint32_t largestRead = 0;
};
