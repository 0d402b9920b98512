// The search sequence: the configured list of places to look for a runtime, and the two
// location files of an installation that frame it.
#pragma once

#include <string>
#include <vector>

// One entry: a type letter (A, B, R: a directory; S: the system search path; E: an
// environment variable; Y: the registry; anything else is skipped) and its argument.
struct SearchEntry {
  char type;
  std::string argument;
};

// The location files, relative to the installation root.
constexpr const char kPreferredLocationFile[] = "\\.vantrel\\pref_jre.cfg";
constexpr const char kInstallerLocationFile[] = "\\.vantrel\\inst_jre.cfg";
// Longest first line of a location file that is read, in characters.
constexpr size_t kLocationLineLimit = 8191;

// ---- Pure rules ----

// The entries of a ";"-separated sequence in order; empty entries do not count. Keeps no
// state between calls, so searches on several threads do not disturb each other.
std::vector<SearchEntry> parseSearchSequence(const std::string& sequence);
// A location is absolute when it has at least two characters and either its second is ":"
// or its first two are backslashes.
bool isAbsoluteLocation(const std::string& argument);
// The relative pass retries A and R entries whose argument is not absolute, and every B.
bool isTriedInRelativePass(const SearchEntry& entry);
// The text without every trailing carriage return and line feed.
std::string stripLineEnd(const std::string& line);

// The runtime homes a Linux system keeps under `directory` (/usr/lib/jvm), from the names
// listed there: "default-java" and "default-runtime" (the distribution's choice) first, then
// the others in descending name order; hidden names, "." and ".." are left out.
std::vector<std::string> systemRuntimeHomes(const std::string& directory, std::vector<std::string> names);

// ---- System-bound operations ----

// The first line of a location file (root: CFG_APP_HOME_DIRECTORY made absolute, case kept,
// followed by `fileSuffix`), at most kLocationLineLimit characters, line end removed. False
// when the file is missing or has no line; an empty line is a line.
bool readLocationFile(std::string& line, const char* fileSuffix);
