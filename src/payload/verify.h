// Integrity check of the media file: the CRC-32 of the checksummed range of the payload is
// compared with the value stored in its header, so that a damaged download is caught
// before anything is extracted.
#pragma once

#include <cstdint>

#include "base/progress.h"
#include "payload/payload_reader.h"

class MediaFile;

constexpr uint32_t kVerifyBufferSize = 16384;

// The percentages sent to the progress bar while the checksum runs: 0 to 100, each at most
// once and only when larger than the last, so the bar is set at most 101 times.
class CheckProgress {
 public:
  // The percentage to send after `done` of `total` bytes (total > 0), or -1 for none.
  int advance(int64_t done, int64_t total);

 private:
  int last_ = -1;
};

enum class PayloadCheck {
  WrongMagic,  // the payload does not start with the magic: always corrupt
  Skipped,     // the check is off, or the payload carries no integrity data
  Checked,     // the checksum was computed
};

struct IntegrityOutcome {
  PayloadCheck check = PayloadCheck::WrongMagic;
  uint32_t computed = 0;
  uint32_t expected = 1;
  bool intact() const { return computed == expected; }
};

// Called with each new percentage; `context` is passed through.
using ProgressCallback = void (*)(void* context, int percent);

// Reads the header at the current position (the payload start) and, when `verify` is set
// and the payload carries integrity data, computes the checksum in 16384-byte reads. A read
// that fails or comes up short ends the process with InternalError::ChecksumRead.
// `progress` may be null.
IntegrityOutcome checkPayload(ByteSource& in, bool verify, ProgressCallback progress,
                              void* context);

// Checks the launcher's own media file (the checksum only when `verify`; the option
// "-nocheck" switches it off) and returns when it is intact or the check does not apply.
// Otherwise shows CFG_WMSG_MEDIA_CORRUPT in a wide box owned by the error owner window (even
// in quiet mode) and ends the process with exit code 1. A shown `progress` gets the check's
// share of the bar (0 to 100 of 400).
void verifyMediaFile(bool verify, Progress& progress, MediaFile& media);
// The check itself, without the reaction to a damaged file: from the payload's start, with the
// check's share of a shown bar (also when the media file has no checksum).
IntegrityOutcome checkMediaFile(bool verify, Progress& progress, MediaFile& media);
// The same through a handle of its own.
void verifyMediaFile(bool verify, Progress& progress);
