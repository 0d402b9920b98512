#include "payload/verify.h"

#include <algorithm>
#include <vector>

#include "base/crc32.h"
#include "base/error_report.h"
#include "payload/media_file.h"
#include "platform/diagnostic_log.h"

int CheckProgress::advance(int64_t done, int64_t total) {
  if (total <= 0) return -1;
  // Media files stay below 2 GiB, so done * 100 cannot overflow; clamp anyway so that a
  // source which over-reports still yields a bar position in range.
  const int64_t percent = std::min<int64_t>(std::max<int64_t>(done, 0), total) * 100 / total;
  if (percent <= last_) return -1;
  last_ = static_cast<int>(percent);
  return last_;
}

IntegrityOutcome checkPayload(ByteSource& in, bool verify, ProgressCallback progress,
                              void* context) {
  IntegrityOutcome outcome;
  if (static_cast<uint32_t>(readInt(in)) != kPayloadMagic) return outcome;
  outcome.expected = 0;
  outcome.check = PayloadCheck::Skipped;
  if (!verify || readInt(in) == 0) return outcome;

  outcome.check = PayloadCheck::Checked;
  outcome.expected = static_cast<uint32_t>(readInt(in));
  const int64_t length = readLong(in);
  logMessage("verifying integrity length %lld", static_cast<long long>(length));

  std::vector<uint8_t> buffer(kVerifyBufferSize);
  CheckProgress percentages;
  uint32_t reg = crcInit();
  int64_t done = 0;
  while (done < length) {
    const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(length - done, kVerifyBufferSize));
    uint32_t got = 0;
    uint32_t error = 0;
    if (!in.read(in.context, buffer.data(), want, &got, &error) || got == 0 || got > want) {
      logError("check ReadFile failed %d %d %lld", static_cast<int>(want), static_cast<int>(error),
               static_cast<long long>(done));
      fatalInternalError(InternalError::ChecksumRead);
    }
    reg = crcUpdate(reg, buffer.data(), got);
    done += got;
    if (progress) {
      const int percent = percentages.advance(done, length);
      if (percent >= 0) progress(context, percent);
    }
  }
  outcome.computed = crcFinish(reg);
  logMessage("checksums: %u %u %d %d", outcome.computed, outcome.expected,
             static_cast<int>(outcome.computed), static_cast<int>(outcome.expected));
  return outcome;
}

namespace {
void setBarPosition(void* progress, int percent) { static_cast<Progress*>(progress)->setPosition(percent); }
}  // namespace

IntegrityOutcome checkMediaFile(bool verify, Progress& progress, MediaFile& media) {
  const int64_t start = seekPayloadStart(media.source());
  logMessage("starting at %d", static_cast<int>(start));
  const IntegrityOutcome outcome =
      checkPayload(media.source(), verify, progress.shown() ? &setBarPosition : nullptr, &progress);
  if (outcome.check == PayloadCheck::Skipped && progress.shown()) {
    // As if the check's quarter of the bar had run.
    progress.setRange(100, 400);
    progress.setPosition(101);
  }
  return outcome;
}

void verifyMediaFile(bool verify, Progress& progress) {
  std::unique_ptr<MediaFile> media = openMediaFile();
  verifyMediaFile(verify, progress, *media);
}
