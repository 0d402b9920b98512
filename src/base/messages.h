// Fixed English texts of the launcher (log lines aside): the few messages that are not
// configuration records.
#pragma once

namespace messages {
inline constexpr const char kOpenMediaFile[] =
    "Error opening media file. Please move this file to an ascii-only path like c:\\";
inline constexpr const char kReadLong[] = "Internal Error: readLong";
inline constexpr const char kReadInt[] = "Internal Error: readInt";
inline constexpr const char kReadShort[] = "Internal Error: readShort";
inline constexpr const char kReadString[] = "Internal Error: readString";
inline constexpr const char kReadWString[] = "Internal Error: readWString";
inline constexpr const char kMagic[] = "Internal Error: magic";
// A media file of 2 GiB or more: offsets are held in 32 bits.
inline constexpr const char kMediaSize[] = "Internal Error: media file size";
inline constexpr const char kNoConsole[] = "Error: Could not allocate console.";
inline constexpr const char kConsoleCaption[] = "vantrel";
inline constexpr const char kCreateLogPrompt[] =
    "The following log file will be created:\n\n%s\n\nDo you want to open an Explorer window?";
inline constexpr const char kBundledJreCorrupted[] =
    "The bundled JRE is corrupted. If you downloaded the setup file please download it again.";
inline constexpr const char kBundledJreUnusable[] =
    "Could not use bundled JRE. Please send this log file to your software vendor:";
// The Linux launcher: a second start of the same installer, and a download without libcurl.
inline constexpr const char kAlreadyRunning[] = "This installer is already running.";
inline constexpr const char kNoCurl[] =
    "The Java runtime cannot be downloaded: libcurl.so.4 (the curl library) is not installed.";
}  // namespace messages
