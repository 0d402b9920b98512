// The VersionCache: what "java -version" said about an executable, kept per user so that a
// repeated start tests a known runtime with two registry reads instead of starting it. One
// key per executable under HKEY_CURRENT_USER, trusted while the file's last-write time is
// unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// ---- Pure rules ----

// The cache key of an executable, relative to HKEY_CURRENT_USER: the jvms key of the
// launcher ("SOFTWARE\northgale\quoll\jvms\") followed by the resolved path with every
// "\" turned into "/", so the whole path is one key name.
std::string versionCacheKey(const std::string& javaExe);
// The "LastWriteTime" value: the FILETIME halves (low first) as 8 little-endian bytes.
std::array<uint8_t, 8> encodeLastWriteTime(const uint32_t lastWriteTime[2]);

// The Linux launcher keeps the cache in a file (versionCacheFile), one entry a line: the
// stamp (the executable's modification time in nanoseconds) as 16 hex digits, a tab, the
// version, a tab, the resolved path. Empty when the entry cannot be written as one line
// (a tab or line break in the version, a line break in the path).
std::string versionCacheLine(const std::string& javaExe, uint64_t stamp, const std::string& version);
// The fields of one line; false for anything versionCacheLine does not write.
bool parseVersionCacheLine(const std::string& line, std::string& javaExe, uint64_t& stamp,
                           std::string& version);
// The Linux cache file: $XDG_CACHE_HOME (when absolute) or $HOME/.cache, then
// "/vantrel/jvm-versions"; empty when neither is known.
std::string versionCacheFile(const char* xdgCacheHome, const char* home);

// ---- System-bound operations ----

// True, with `version` filled, when the key exists, its "LastWriteTime" is exactly 8 bytes
// equal to `lastWriteTime`, and its "Version" (at most 8191 bytes) can be read.
bool readVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2],
                      std::string& version);
// Creates or overwrites the entry; nothing is written when the key cannot be created.
void writeVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2],
                       const std::string& version);
