// `mediapack inspect`: shows what a media file holds, read the way the launcher reads it but
// with every length checked, so that a damaged or foreign file yields a report, not a crash.
#pragma once

#include <ostream>
#include <string>

// Prints the payload start, the header, whether the CRC matches, every record (by name where
// the record table knows it), the included files, the unextracted block and the padding to
// `out`. Narrow texts are shown converted from `codePage`. Each problem found (no payload,
// bad magic, truncation, CRC mismatch, inconsistent file list) goes to `err` as one line.
// Returns 0 when the file is sound, 1 when it cannot be read or a problem was found.
int inspectMediaFile(const std::string& path, int codePage, std::ostream& out, std::ostream& err);

// A value made safe to print on one line: quotes, backslashes and control characters
// escaped, anything after `limit` bytes cut with a note of how much was left out.
std::string printable(const std::string& utf8, size_t limit = 4096);
