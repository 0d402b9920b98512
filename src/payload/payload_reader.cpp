#include "payload/payload_reader.h"

#include <cstring>

#include "base/error_report.h"
#include "base/messages.h"
#include "payload/elf_layout.h"
#include "platform/diagnostic_log.h"

namespace {

bool memoryRead(void* context, void* buffer, uint32_t count, uint32_t* got, uint32_t* error) {
  auto* m = static_cast<MemorySource*>(context);
  int64_t available = m->position < m->length ? m->length - m->position : 0;
  uint32_t n = available < count ? static_cast<uint32_t>(available) : count;
  if (n > 0) std::memcpy(buffer, m->data + m->position, n);
  m->position += n;
  *got = n;
  *error = 0;
  return true;
}

// Like a file, a memory source may be positioned past its end; reads there return nothing.
bool memorySeek(void* context, int64_t offset) {
  if (offset < 0) return false;
  static_cast<MemorySource*>(context)->position = offset;
  return true;
}

int64_t memoryTell(void* context) { return static_cast<MemorySource*>(context)->position; }

// Reads until `count` bytes are in or the source gives no more. A source may hand out fewer
// bytes than asked without being at its end; only a read that returns nothing stops early.
bool readFully(ByteSource& in, void* buffer, uint32_t count, uint32_t* got, uint32_t* error) {
  *got = 0;
  *error = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (*got < count) {
    uint32_t n = 0;
    if (!in.read(in.context, out + *got, count - *got, &n, error)) {
      *got += n;
      return false;
    }
    if (n == 0) break;
    *got += n;
  }
  return *got == count;
}

// Little-endian fixed-width read; false on a short read, with what happened in got/error.
bool readLittleEndian(ByteSource& in, uint32_t width, uint64_t* value, uint32_t* got,
                      uint32_t* error) {
  uint8_t bytes[8] = {};
  if (!readFully(in, bytes, width, got, error)) return false;
  uint64_t v = 0;
  for (uint32_t i = width; i-- > 0;) v = (v << 8) | bytes[i];
  *value = v;
  return true;
}

int64_t remainingBytes(ByteSource& in) {
  int64_t position = in.tell(in.context);
  return position < in.size ? in.size - position : 0;
}

// A length taken from the file is believed only when its bytes can still follow; otherwise
// the payload is damaged and reading on would allocate for data that is not there.
uint32_t checkedLength(ByteSource& in, const char* message) {
  int32_t length = readInt(in);
  if (length < 0 || length > remainingBytes(in)) fatalError(message);
  return static_cast<uint32_t>(length);
}

// Every record is at least an id and a length (8 bytes); a count that promises more records
// than the rest of the file can hold is refused before any of them is read.
int32_t checkedCount(ByteSource& in) {
  int32_t count = readInt(in);
  if (count > 0 && count > remainingBytes(in) / 8) fatalError(messages::kReadInt);
  return count;
}

void seekTo(ByteSource& in, int64_t offset, const char* messageOfNextRead) {
  if (!in.seek(in.context, offset)) fatalError(messageOfNextRead);
}

}  // namespace

ByteSource MemorySource::source() {
  ByteSource s;
  s.context = this;
  s.read = &memoryRead;
  s.seek = &memorySeek;
  s.tell = &memoryTell;
  s.size = length;
  return s;
}

int64_t readLong(ByteSource& in) {
  uint64_t v = 0;
  uint32_t got = 0, error = 0;
  if (!readLittleEndian(in, 8, &v, &got, &error)) {
    logMessage("error %d\n", static_cast<int>(error));
    fatalError(messages::kReadLong);
  }
  return static_cast<int64_t>(v);
}

int32_t readInt(ByteSource& in) {
  uint64_t v = 0;
  uint32_t got = 0, error = 0;
  if (!readLittleEndian(in, 4, &v, &got, &error)) {
    logMessage("error %d %d\n", static_cast<int>(error), static_cast<int>(got));
    fatalError(messages::kReadInt);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

int32_t readShort(ByteSource& in) {
  uint64_t v = 0;
  uint32_t got = 0, error = 0;
  if (!readLittleEndian(in, 2, &v, &got, &error)) {
    logMessage("error %d\n", static_cast<int>(error));
    fatalError(messages::kReadShort);
  }
  return static_cast<int16_t>(static_cast<uint16_t>(v));
}

std::string readString(ByteSource& in) {
  uint32_t length = checkedLength(in, messages::kReadString);
  std::string value(length, '\0');
  uint32_t got = 0, error = 0;
  if (length > 0 && !readFully(in, &value[0], length, &got, &error)) {
    fatalError(messages::kReadString);
  }
  return value;
}

std::u16string readWString(ByteSource& in) {
  uint32_t length = checkedLength(in, messages::kReadWString);
  std::string bytes(length, '\0');
  uint32_t got = 0, error = 0;
  if (length > 0 && !readFully(in, &bytes[0], length, &got, &error)) {
    fatalError(messages::kReadWString);
  }
  // An odd length leaves half a code unit at the end: its byte is consumed, so the next
  // field is read where the writer put it, but it does not become part of the text.
  std::u16string value(length / 2, u'\0');
  for (uint32_t i = 0; i < length / 2; ++i) {
    value[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return value;
}

int64_t seekPayloadStart(ByteSource& in) {
  uint8_t magic[4] = {0, 0, 0, 0};
  uint32_t got = 0, error = 0;
  seekTo(in, 0, messages::kReadInt);
  if (readFully(in, magic, sizeof magic, &got, &error) && isElfImage(magic, sizeof magic)) {
    return seekElfPayloadStart(in);
  }
  seekTo(in, 60, messages::kReadInt);
  const int64_t peHeader = readInt(in);

  seekTo(in, peHeader + 6, messages::kReadShort);
  const int32_t sections = readShort(in);
  logMessage("number of sections: %d", sections);

  seekTo(in, peHeader + 20, messages::kReadShort);
  const int32_t optionalHeaderSize = readShort(in);
  logMessage("size of optional headers: %d", optionalHeaderSize);

  // 64-bit arithmetic: the header fields come from the file and may be anything.
  const int64_t lastSection = peHeader + 24 + optionalHeaderSize + 40 * (int64_t(sections) - 1);
  logMessage("resSectionTableStart: %d", static_cast<int>(lastSection));

  seekTo(in, lastSection + 16, messages::kReadInt);
  const int32_t rawDataSize = readInt(in);
  seekTo(in, lastSection + 20, messages::kReadInt);
  const int32_t rawDataOffset = readInt(in);
  logMessage("rawDataSize: %d, rawDataOffset: %d", rawDataSize, rawDataOffset);

  // The magic is the next thing read; a start outside the file reads as a missing magic.
  const int64_t payloadStart = int64_t(rawDataOffset) + rawDataSize;
  seekTo(in, payloadStart, messages::kReadInt);
  return payloadStart;
}

int64_t seekElfPayloadStart(ByteSource& in) {
  const ElfReadAt readAt = [&in](int64_t offset, void* buffer, size_t count) {
    uint32_t got = 0, error = 0;
    return in.seek(in.context, offset) && readFully(in, buffer, static_cast<uint32_t>(count), &got, &error);
  };
  int64_t start = 0;
  std::string problem;
  if (!elfPayloadStart(readAt, in.size, start, problem)) {
    logMessage("ELF image: %s", problem.c_str());
    fatalError(messages::kReadInt);
  }
  logMessage("ELF payload start: %d", static_cast<int>(start));
  seekTo(in, start, messages::kReadInt);
  return start;
}

int64_t readConfiguration(ByteSource& in, ConfigTable& table) {
  seekPayloadStart(in);
  if (static_cast<uint32_t>(readInt(in)) != kPayloadMagic) fatalError(messages::kMagic);

  // The integrity fields belong to the checksum verification, which reads them itself.
  readInt(in);
  readInt(in);
  readLong(in);

  const int32_t narrowCount = checkedCount(in);
  for (int32_t i = 0; i < narrowCount; ++i) {
    const int32_t id = readInt(in);
    table.narrow[id] = readString(in);
  }
  const int32_t wideCount = checkedCount(in);
  for (int32_t i = 0; i < wideCount; ++i) {
    const int32_t id = readInt(in);
    table.wide[id] = readWString(in);
  }
  return in.tell(in.context);
}
