// Reading the payload that follows the executable image of the media file.
//
// The payload is read strictly front to back through a ByteSource; every primitive reader
// is fatal on a short read ("Internal Error: readInt" and so on, exit code 1), so callers
// never see a partial value.
#pragma once

#include <cstdint>
#include <string>

#include "base/config_table.h"
#include "base/payload_format.h"

// The media file as the readers see it: a seekable byte stream of known size.
struct ByteSource {
  void* context = nullptr;
  // Reads up to `count` bytes at the current position into `buffer`; stores the number
  // read in *got. Returns false on a system error and stores its code in *error.
  bool (*read)(void* context, void* buffer, uint32_t count, uint32_t* got, uint32_t* error) = nullptr;
  // Moves to an absolute offset; false on failure.
  bool (*seek)(void* context, int64_t offset) = nullptr;
  // The current absolute offset.
  int64_t (*tell)(void* context) = nullptr;
  int64_t size = 0;  // bytes in the whole file
};

// A ByteSource over bytes in memory (tests, tools). The bytes and this object must outlive
// the returned source; seeking past the end is allowed and reads nothing there.
struct MemorySource {
  const uint8_t* data = nullptr;
  int64_t length = 0;
  int64_t position = 0;
  ByteSource source();
};

int64_t readLong(ByteSource& in);
int32_t readInt(ByteSource& in);
int32_t readShort(ByteSource& in);  // signed 16-bit widened with its sign
// Length-prefixed (readInt byte length, then the bytes) values. A negative length, or one
// that cannot fit in the rest of the file, is fatal ("Internal Error: readString" /
// "readWString") before anything is allocated.
std::string readString(ByteSource& in);
// UTF-16LE; length / 2 code units. An odd length's last byte is read and dropped.
std::u16string readWString(ByteSource& in);

// An ELF image (the Linux launcher) is recognised by its magic and goes to
// seekElfPayloadStart. Otherwise finds the payload start from the PE section table (without checking MZ/PE signatures),
// logs the four header lines and leaves the source positioned at the payload: right after
// the raw data of the last section-table entry. Returns the absolute payload offset. A
// header field that points before the file start is fatal like a short read there.
int64_t seekPayloadStart(ByteSource& in);
// The ELF rule (payload/elf_layout.h): logs "ELF payload start: %d" and leaves the source
// there. An image whose headers lie outside the file is fatal ("Internal Error: readInt").
int64_t seekElfPayloadStart(ByteSource& in);

// Reads header and configuration records from a source positioned anywhere (it seeks to
// the payload itself) into `table`; a later record replaces an earlier one with the same id.
// Returns the absolute offset right after the configuration records. Fatal on any format error, including a record count whose
// records (8 bytes at least each) cannot fit in the rest of the file ("readInt").
int64_t readConfiguration(ByteSource& in, ConfigTable& table);
