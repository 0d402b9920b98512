// Where a launcher executable ends and its payload begins: right after the raw data of the
// last entry of the section table, found exactly as the launcher finds it (offset 60 gives
// the PE header H; sections at H+6, optional header size at H+20, the last section header at
// H+24+S+40*(N-1), its raw size at +16 and raw offset at +20).
#pragma once

#include <cstdint>
#include <string>

#include "binary_file.h"
#include "status.h"

struct PeLayout {
  // A Linux launcher: an x86_64 ELF image whose payload starts where the ELF rule says
  // (payload/elf_layout.h); the PE fields stay zero.
  bool elf = false;
  int64_t peHeader = 0;         // H
  int32_t sectionCount = 0;     // N, read as a signed 16-bit value like the launcher
  int32_t optionalSize = 0;     // S, likewise
  int64_t lastSectionHeader = 0;  // T
  uint32_t rawDataSize = 0;
  uint32_t rawDataOffset = 0;
  int64_t payloadStart = 0;     // rawDataOffset + rawDataSize
};

// An ELF image is located by the ELF rule. Otherwise follows the launcher's steps with every read checked against the file size. Fails (with a
// message saying what is wrong, without the file name) when a field lies outside the file
// or N is not positive; does not check signatures.
bool locatePayload(InputFile& file, PeLayout& layout, std::string& problem);

// The certificate table (Authenticode signature) that the security data directory names:
// its file offset and size. False when the image has none or its headers do not say.
bool readCertificateTable(InputFile& file, const PeLayout& layout, uint32_t& offset, uint32_t& size);

// Checks that `path` is a stub the payload can be appended to: a PE image whose section
// table ends the file, with nothing after the raw data of its last section. Refuses (exit
// code 2, naming the file) a stub that already carries a payload, one with an unstripped
// symbol table or a signature behind its image, and anything else after the image.
Status examineStub(const std::string& path, PeLayout& layout);
