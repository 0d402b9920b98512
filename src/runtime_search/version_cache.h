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

// ---- System-bound operations ----

// True, with `version` filled, when the key exists, its "LastWriteTime" is exactly 8 bytes
// equal to `lastWriteTime`, and its "Version" (at most 8191 bytes) can be read.
bool readVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2],
                      std::string& version);
// Creates or overwrites the entry; nothing is written when the key cannot be created.
void writeVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2],
                       const std::string& version);
