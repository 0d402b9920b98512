// A Java runtime directory to be bundled: its entries read in archive order, the checks that
// it can be unpacked and loaded by the launcher it is packed into, and the launcher a stub
// is (which system, which machine).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

// The system a launcher stub runs on. Windows stubs are PE images; Linux stubs ELF ones.
enum class TargetOs { Windows, Linux };

// PE machine types (IMAGE_FILE_MACHINE_*) and ELF e_machine values the checks know.
constexpr uint16_t kPeMachineI386 = 0x014C;
constexpr uint16_t kPeMachineAmd64 = 0x8664;
constexpr uint16_t kElfMachineI386 = 3;
constexpr uint16_t kElfMachineX8664 = 62;

struct RuntimeTarget {
  TargetOs os = TargetOs::Windows;
  uint16_t machine = kPeMachineI386;  // PE machine for Windows, ELF e_machine for Linux
  std::string stub;                   // the stub's path, for messages
};

// Bits the target's executable format is built for: 32, 64, or 0 for a machine not known here.
int machineBits(TargetOs os, uint16_t machine);
// "i386", "x86_64", or the number in hexadecimal.
std::string machineName(TargetOs os, uint16_t machine);

// The machine of an executable image's first bytes: a PE image's COFF Machine field or an ELF
// file's e_machine. `os` tells which format was found. False for anything else or when the
// bytes end before the field.
bool imageMachine(const std::string& head, TargetOs& os, uint16_t& machine);
// How many leading bytes imageMachine needs at most (a PE header lies within the first 64 KiB
// here; images that put it further are refused).
constexpr size_t kImageHeadBytes = 64 * 1024;

// What launcher `stubPath` is. Exit code 2 with a message naming the stub when it is neither
// a PE nor an ELF image; 1 when it cannot be read.
Status runtimeTargetOfStub(const std::string& stubPath, RuntimeTarget& target);

enum class RuntimeEntryKind { Directory, File, Link };

struct RuntimeEntry {
  std::string path;        // relative to the runtime directory, "/" between parts, UTF-8
  RuntimeEntryKind kind = RuntimeEntryKind::File;
  bool executable = false; // a file with any execute bit (kept for Linux launchers)
  int64_t size = 0;        // bytes of a file
  std::string source;      // host path to read a file's bytes from
  std::string linkTarget;  // a kept link's target text, relative and pointing inside
};

// Orders paths the way the archive lists them: part by part, bytewise, so that a directory
// comes right before its contents and the order does not depend on the file system.
bool runtimeOrder(const std::string& a, const std::string& b);

// Reads the runtime directory `dir` into `entries` (sorted by runtimeOrder, the directory
// itself not listed). Refused with exit code 2 and a message that names `where` and the
// offending file: a symbolic link that is absolute, leads outside `dir` or to nothing; a
// special file (device, FIFO, socket); a name the launcher's archive reader would refuse or
// that does not fit a ustar header (255 bytes); for Windows launchers also names that differ
// only in case and links to directories (Windows launchers unpack only directories and
// regular files, so a link to a file is stored as a copy of that file). Links that point
// inside are kept as links for Linux launchers.
Status scanRuntimeDirectory(const std::string& dir, const std::string& where, const RuntimeTarget& target,
                            std::vector<RuntimeEntry>& entries);

// The runtime library a launcher loads from an unpacked runtime, in the order the launcher
// tries them (relative paths, "/" separated). For Windows: bin/<type>/jvm.dll for each VM
// type the launcher tries (CFG_PREFERRED_VM_TYPE first when given), under bin, or under jre/bin
// when the runtime holds jre/bin/java.exe, then under the JDK-private jre/bin the launcher
// falls back to. For Linux: lib/server/libjvm.so and lib/client/libjvm.so.
std::vector<std::string> runtimeLibraryCandidates(const std::vector<RuntimeEntry>& entries,
                                                  const RuntimeTarget& target, const std::string& preferredVmType);

// Checks that the runtime holds a runtime library of the stub's machine: every candidate that
// is present must be of that machine, and at least one must be present. Exit code 2 with a
// message naming the library (a 64-bit jvm.dll for a 32-bit launcher says that the launcher
// is 32-bit and needs a 32-bit runtime). `library` receives the first candidate present.
Status checkRuntimeLibrary(const std::vector<RuntimeEntry>& entries, const std::string& where,
                           const RuntimeTarget& target, const std::string& preferredVmType, std::string& library);
