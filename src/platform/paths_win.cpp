// The system-bound path operations on Windows.
#include <windows.h>
#include <shlobj.h>
#include <io.h>

#include <atomic>
#include <vector>

#include "base/text.h"
#include "platform/find_handle_win.h"
#include "platform/paths.h"
#include "platform/paths_win.h"
#include "platform/system_library.h"

namespace {
constexpr DWORD kPathBuffer = 8192;  // bytes or UTF-16 units, as the call counts them
constexpr DWORD kShellPath = 260;


std::u16string wideOf(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// GetFullPathNameA into a string; empty when the call fails or the result does not fit.
std::string fullPathOf(const std::string& path) {
  std::vector<char> buffer(kPathBuffer);
  const DWORD n = GetFullPathNameA(path.c_str(), kPathBuffer, buffer.data(), nullptr);
  if (n == 0 || n >= kPathBuffer) return std::string();
  return std::string(buffer.data(), n);
}

std::string moduleFileNameA() {
  std::vector<char> buffer(kPathBuffer);
  const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), kPathBuffer);
  return std::string(buffer.data(), n < kPathBuffer ? n : kPathBuffer - 1);
}

// A path conversion that fails gives the input unchanged, so the next test decides.
std::wstring wideLongOrShort(DWORD(WINAPI* convert)(LPCWSTR, LPWSTR, DWORD),
                             const std::wstring& path) {
  if (convert == nullptr) return path;
  std::vector<wchar_t> buffer(kPathBuffer);
  const DWORD n = convert(path.c_str(), buffer.data(), kPathBuffer);
  if (n == 0 || n >= kPathBuffer) return path;
  return std::wstring(buffer.data(), n);
}

std::string computeModulePath() {
  using LongNameW = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
  HMODULE kernel = static_cast<HMODULE>(loadSystemLibrary("Kernel32.DLL"));
  LongNameW getLongW =
      kernel ? reinterpret_cast<LongNameW>(GetProcAddress(kernel, "GetLongPathNameW")) : nullptr;
  if (isNT() && getLongW != nullptr) {
    std::vector<wchar_t> buffer(kPathBuffer);
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), kPathBuffer);
    const std::wstring moduleW(buffer.data(), n < kPathBuffer ? n : kPathBuffer - 1);
    const std::wstring longW = wideLongOrShort(getLongW, moduleW);
    std::string narrow;
    bool converted = wideToNarrow(wideOf(longW.c_str()), narrow);
    if (isUsableModulePath(narrow, converted)) return narrow;
    const std::wstring shortW = wideLongOrShort(&GetShortPathNameW, longW);
    converted = wideToNarrow(wideOf(shortW.c_str()), narrow);
    if (isUsableModulePath(narrow, converted)) return narrow;
    const std::string moduleA = moduleFileNameA();
    std::vector<char> shortA(kPathBuffer);
    const DWORD s = GetShortPathNameA(moduleA.c_str(), shortA.data(), kPathBuffer);
    return s == 0 || s >= kPathBuffer ? moduleA : std::string(shortA.data(), s);
  }
  return moduleFileNameA();
}

// GetLongPathNameA is __stdcall; the resolver reference has the default convention.
using LongNameA = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
LongNameA systemGetLongPathNameA = nullptr;

uint32_t systemLongPathName(const char* path, char* buffer, uint32_t size) {
  return systemGetLongPathNameA(path, buffer, size);
}

uint32_t bindLongPathResolver(const char* path, char* buffer, uint32_t size);
// The system's function or the emulation once the first call has chosen; the binder before.
using LongPathResolver = uint32_t (*)(const char* path, char* buffer, uint32_t size);
std::atomic<LongPathResolver> longPathResolver{&bindLongPathResolver};

uint32_t bindLongPathResolver(const char* path, char* buffer, uint32_t size) {
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  systemGetLongPathNameA =
      kernel ? reinterpret_cast<LongNameA>(GetProcAddress(kernel, "GetLongPathNameA")) : nullptr;
  uint32_t result = 0;
  uint32_t error = 0;
  if (systemGetLongPathNameA != nullptr) {
    result = systemGetLongPathNameA(path, buffer, size);
    error = GetLastError();
  }
  if (chooseLongPathBinding(systemGetLongPathNameA != nullptr, result, error) ==
      LongPathBinding::System) {
    longPathResolver = &systemLongPathName;
    SetLastError(error);
    return result;
  }
  longPathResolver = &emulateLongPathName;
  return emulateLongPathName(path, buffer, size);
}

// The desktop folder and the item list of the emulation, released in every case.
struct ShellObjects {
  IShellFolder* desktop = nullptr;
  LPITEMIDLIST list = nullptr;
  ~ShellObjects() {
    if (list != nullptr) {
      IMalloc* allocator = nullptr;
      if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
        allocator->Free(list);
        allocator->Release();
      }
    }
    if (desktop != nullptr) desktop->Release();
  }
};
}  // namespace

uint32_t resolveLongPathName(const char* path, char* buffer, uint32_t size) {
  return longPathResolver.load()(path, buffer, size);
}

std::string exactNarrowPath(const std::wstring& wide) {
  std::string narrow;
  if (wideToNarrow(wideOf(wide.c_str()), narrow)) return narrow;
  const std::wstring shortForm = wideLongOrShort(&GetShortPathNameW, wide);
  if (shortForm != wide && wideToNarrow(wideOf(shortForm.c_str()), narrow)) return narrow;
  return std::string();
}

bool isSystemRootedPath(const std::string&) { return false; }

std::string systemPath(const std::string& path) { return path; }

bool isNT() {
  OSVERSIONINFOA info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = 148;  // the plain OSVERSIONINFOA
  if (!GetVersionExA(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

const std::string& getModulePath() {
  static const std::string modulePath = [] {
    std::string path = computeModulePath();
    collapseBackslashes(path);
    return path;
  }();
  return modulePath;
}

const std::string& getExeDir() {
  static const std::string exeDir = [] {
    std::string full = fullPathOf(getModulePath());
    if (full.empty()) full = getModulePath();
    return directoryPart(full);
  }();
  return exeDir;
}

uint32_t emulateLongPathName(const char* path, char* buffer, uint32_t size) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;
  char full[kShellPath] = {0};
  const DWORD fullLength = GetFullPathNameA(path, kShellPath, full, nullptr);
  if (fullLength == 0) return 0;
  if (fullLength > kShellPath - 1) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  ShellObjects shell;
  if (FAILED(SHGetDesktopFolder(&shell.desktop)) || shell.desktop == nullptr) return 0;
  wchar_t wide[kShellPath];
  const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  if (MultiByteToWideChar(codePage, 0, full, -1, wide, kShellPath) == 0) {
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  const HRESULT hr =
      shell.desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &shell.list, nullptr);
  if (FAILED(hr)) {
    SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_INVALID_DATA);
    return 0;
  }
  if (!SHGetPathFromIDListA(shell.list, full) && full[0] != '\0') {
    SetLastError(ERROR_INVALID_DATA);
    return 0;
  }
  full[kShellPath - 1] = '\0';
  const uint32_t n = static_cast<uint32_t>(lstrlenA(full));
  if (n + 1 > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return n + 1;
  }
  lstrcpynA(buffer, full, static_cast<int>(size));
  return n;
}

std::string longPathOf(const std::string& path) {
  std::vector<char> buffer(kPathBuffer);
  const uint32_t n = resolveLongPathName(path.c_str(), buffer.data(), kPathBuffer);
  if (n == 0 || n >= kPathBuffer) return path;
  return std::string(buffer.data(), n);
}

void lowercasePath(std::string& path) {
  std::u16string wide = narrowToWide(path);
  if (wide.empty()) return;
  _wcslwr(reinterpret_cast<wchar_t*>(&wide[0]));
  std::string narrow;
  if (wideToNarrow(wide, narrow)) path = narrow;
}

std::string normalizePath(const std::string& path, bool keepCase) {
  const std::string scratch = makeAbsolute(path);
  std::string out = fullPathOf(scratch);
  if (out.empty()) out = scratch;  // a failed call leaves the absolute form
  if (!keepCase) lowercasePath(out);
  collapseBackslashes(out);
  return out;
}

bool fileExists(const std::string& path) {
  if (isDriveRoot(path)) return true;
  WIN32_FIND_DATAA data;
  FindHandle find(path, data);
  return find.valid();
}

bool findFile(const std::string& path, uint32_t lastWrite[2]) {
  WIN32_FIND_DATAA data;
  FindHandle find(path, data);
  if (!find.valid()) return false;
  if (lastWrite != nullptr) {
    lastWrite[0] = data.ftLastWriteTime.dwLowDateTime;
    lastWrite[1] = data.ftLastWriteTime.dwHighDateTime;
  }
  return true;
}

std::vector<std::string> listDirectory(const std::string& directory,
                                       const std::string& extension) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  FindHandle find(directoryPattern(directory, extension), data);
  if (!find.valid()) return names;
  do {
    names.emplace_back(data.cFileName);
  } while (FindNextFileA(find.get(), &data));
  return names;
}

bool fileIdentityOf(FILE* file, FileIdentity& identity) {
  if (file == nullptr) return false;
  const intptr_t handle = _get_osfhandle(_fileno(file));
  BY_HANDLE_FILE_INFORMATION information;
  if (handle == -1 || !GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &information)) return false;
  identity.volume = information.dwVolumeSerialNumber;
  identity.index = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return true;
}
