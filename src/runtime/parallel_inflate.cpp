// Members inflate on worker threads into a ring of slots; the consumer takes them in order.
#include "runtime/parallel_inflate.h"

#include <algorithm>
#include <cstring>
#include <system_error>

unsigned inflateThreadCount(unsigned requested, unsigned processors, uint32_t memberSize) {
  unsigned threads = requested != 0 ? requested : std::max(1u, processors);
  threads = std::min(threads, kMaxInflateThreads);
  const uint64_t perThread = uint64_t(memberSize) + maxPackedMemberSize(memberSize);
  const uint64_t fixed = 2 * uint64_t(memberSize);
  const uint64_t fits = kParallelInflateMemoryBudget > fixed ? (kParallelInflateMemoryBudget - fixed) / perThread : 0;
  return static_cast<unsigned>(std::max<uint64_t>(1, std::min<uint64_t>(threads, fits)));
}

ParallelMemberReader::ParallelMemberReader(ArchiveReadAt readAt, std::vector<GzipMember> members,
                                           unsigned threads)
    : readAt_(std::move(readAt)), members_(std::move(members)) {
  if (members_.empty() || threads == 0) return;
  slots_.resize(threads + 2);
  threads_.reserve(threads);
  for (unsigned i = 0; i < threads; ++i) {
    try {
      threads_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
      // Fewer threads than asked for still do the work; none is handled by started().
      break;
    }
  }
}

ParallelMemberReader::~ParallelMemberReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  slotFreed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ParallelMemberReader::work() {
  std::vector<uint8_t> packed;
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // Member i goes into slot i mod n, free once the consumer has moved past member i - n.
      slotFreed_.wait(lock, [&] {
        return stopping_ || nextToClaim_ >= members_.size() || nextToClaim_ < current_ + slots_.size();
      });
      if (stopping_ || nextToClaim_ >= members_.size()) return;
      index = nextToClaim_++;
    }
    const GzipMember& member = members_[index];
    Slot& slot = slots_[index % slots_.size()];
    // The slot is this thread's alone until it is marked ready or failed.
    bool ok = true;
    try {
      packed.resize(member.packedSize);
      slot.unpacked.resize(member.size);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
    if (ok) {
      std::lock_guard<std::mutex> read(readMutex_);
      ok = readAt_(member.offset, packed.data(), packed.size());
    }
    ok = ok && inflateGzipMember(packed.data(), packed.size(), slot.unpacked.data(), slot.unpacked.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.member = index;
      slot.state = ok ? SlotState::Ready : SlotState::Failed;
      // Once a member has failed, nothing after it is wanted.
      if (!ok) stopping_ = true;
    }
    memberDone_.notify_all();
    if (!ok) slotFreed_.notify_all();
  }
}

bool ParallelMemberReader::waitCurrent() {
  if (threads_.empty()) failed_ = true;
  if (failed_) return false;
  Slot& slot = slots_[current_ % slots_.size()];
  std::unique_lock<std::mutex> lock(mutex_);
  memberDone_.wait(lock, [&] { return slot.state != SlotState::Empty && slot.member == current_; });
  if (slot.state == SlotState::Failed) failed_ = true;
  return !failed_;
}

void ParallelMemberReader::releaseCurrent() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[current_ % slots_.size()].state = SlotState::Empty;
    ++current_;
    offsetInCurrent_ = 0;
  }
  slotFreed_.notify_all();
}

bool ParallelMemberReader::firstMemberInflates() { return atEnd() || waitCurrent(); }

int ParallelMemberReader::next(const char** data, size_t want) {
  while (!atEnd()) {
    if (!waitCurrent()) return -1;
    const Slot& slot = slots_[current_ % slots_.size()];
    const size_t available = slot.unpacked.size() - offsetInCurrent_;
    if (available == 0) {
      releaseCurrent();
      continue;
    }
    const size_t count = std::min({want, available, size_t(1) << 30});
    *data = reinterpret_cast<const char*>(slot.unpacked.data()) + offsetInCurrent_;
    offsetInCurrent_ += count;
    position_ += static_cast<int64_t>(count);
    return static_cast<int>(count);
  }
  return failed_ ? -1 : 0;
}

int ParallelMemberReader::read(void* buffer, size_t want) {
  size_t done = 0;
  while (done < want) {
    const char* data = nullptr;
    const int got = next(&data, want - done);
    if (got < 0) return -1;
    if (got == 0) break;
    std::memcpy(static_cast<char*>(buffer) + done, data, static_cast<size_t>(got));
    done += static_cast<size_t>(got);
  }
  return static_cast<int>(done);
}

bool ParallelMemberReader::skip(int64_t count) {
  while (count > 0) {
    const char* data = nullptr;
    const int got = next(&data, static_cast<size_t>(std::min<int64_t>(count, int64_t(1) << 30)));
    if (got <= 0) return false;
    count -= got;
  }
  return true;
}
