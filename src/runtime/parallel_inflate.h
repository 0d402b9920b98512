// Inflating the members of a runtime archive on several threads while one consumer reads
// the unpacked stream in order. A member's bytes reach the consumer only after the whole
// member has inflated and passed its CRC-32 and length check, so nothing of a damaged
// member is ever handed on.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/gzip_members.h"

// The memory the reader may hold, bytes: the unpacked bytes of at most threads + 2 members
// (one being read by the consumer, one ready behind it, one per thread) and one packed
// member per thread. The thread count is cut until that fits.
constexpr size_t kParallelInflateMemoryBudget = size_t(64) << 20;
// The most inflating threads, whatever the number of processors.
constexpr unsigned kMaxInflateThreads = 16;

// The number of inflating threads for members of `memberSize` unpacked bytes: `requested`
// (0: one per processor, `processors`), at least 1, at most kMaxInflateThreads, and no
// more than the memory budget holds with two members besides.
unsigned inflateThreadCount(unsigned requested, unsigned processors, uint32_t memberSize);

class ParallelMemberReader {
 public:
  // Starts `threads` threads (see inflateThreadCount) inflating `members` in order, reading
  // their bytes through `readAt` (called by one thread at a time).
  ParallelMemberReader(ArchiveReadAt readAt, std::vector<GzipMember> members, unsigned threads);
  // Stops the threads (they finish the member in hand) and waits for them.
  ~ParallelMemberReader();
  ParallelMemberReader(const ParallelMemberReader&) = delete;
  ParallelMemberReader& operator=(const ParallelMemberReader&) = delete;

  // False when no thread could be started; nothing else works then.
  bool started() const { return !threads_.empty(); }
  unsigned threadCount() const { return static_cast<unsigned>(threads_.size()); }
  size_t memberCount() const { return members_.size(); }

  // Waits for the first member: false when it failed to inflate. Nothing has been handed to
  // the consumer yet, so the caller may still read the archive another way.
  bool firstMemberInflates();

  // The next up to `want` bytes of the unpacked stream: *data points at them, valid until
  // the next call. 0 at the end of the stream, -1 once a member has failed (and from then on).
  int next(const char** data, size_t want);
  // Up to `want` bytes copied into `buffer`; the counts of next().
  int read(void* buffer, size_t want);
  // Passes over `count` bytes; false when a member on the way failed or the stream ends first.
  bool skip(int64_t count);
  // Bytes of the unpacked stream handed on or passed over so far.
  int64_t position() const { return position_; }
  // True once every byte has been handed on.
  bool atEnd() const { return current_ >= members_.size(); }
  bool failed() const { return failed_; }

 private:
  enum class SlotState { Empty, Ready, Failed };
  struct Slot {
    size_t member = 0;
    SlotState state = SlotState::Empty;
    std::vector<uint8_t> unpacked;
  };

  void work();
  // Waits until the member the consumer is at has inflated; false when it failed.
  bool waitCurrent();
  void releaseCurrent();

  ArchiveReadAt readAt_;
  std::vector<GzipMember> members_;
  std::vector<Slot> slots_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::mutex readMutex_;
  std::condition_variable slotFreed_;
  std::condition_variable memberDone_;
  size_t nextToClaim_ = 0;
  bool stopping_ = false;
  // Consumer side; current_ is also read by the threads under mutex_.
  size_t current_ = 0;
  size_t offsetInCurrent_ = 0;
  int64_t position_ = 0;
  bool failed_ = false;
};
