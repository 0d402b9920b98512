// Integrity check of the media file: the CRC-32 of the checksummed range of the payload is
// compared with the value stored in its header, so that a damaged download is caught
// before anything is extracted.
#pragma once

#include <cstdint>

#include "media/payload_reader.h"

constexpr uint32_t kVerifyBufferSize = 16384;
// The progress bar control of the progress dialog.
constexpr int kProgressBarId = 1001;

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
// that fails or comes up short ends the process with internal error "34" (exit code 1).
// `progress` may be null.
IntegrityOutcome checkPayload(ByteSource& in, bool verify, ProgressCallback progress,
                              void* context);

// Checks the launcher's own media file (honouring verifyIntegrity) and returns when it is
// intact or the check does not apply. Otherwise shows CFG_WMSG_MEDIA_CORRUPT in a wide box
// owned by `dialogWindow` (even in quiet mode) and ends the process with exit code 1.
// With a dialog window the progress bar shows the check's share (0 to 100 of 400).
void verifyMediaFile(void* dialogWindow);
