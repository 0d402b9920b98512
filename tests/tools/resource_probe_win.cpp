// resource_probe FILE: reads the icon group 1001 and the version information of FILE the
// way Windows programs and Explorer do (LoadImage, LoadIcon, GetFileVersionInfo) and prints
// what it found, one fact per line, in UTF-8. The builder tests run it under Wine on media
// files whose resources mediapack edited.
//
// The file is loaded twice: as a data file (resources found through file offsets) and as an
// image resource (mapped by sections, resources found through addresses), so that both
// views of the rebuilt headers are exercised.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const wchar_t* text, int length = -1) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], n, nullptr, nullptr);
  if (length < 0) out.resize(static_cast<size_t>(n - 1));
  return out;
}

void line(const std::string& text) {
  std::string l = text + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), l.data(), static_cast<DWORD>(l.size()), &written, nullptr);
}

// "WxH pixel RRGGBB": the icon's colour bitmap size and the colour at its centre.
std::string describeIcon(HICON icon) {
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info)) return "none";
  BITMAP bitmap = {};
  std::string out = "none";
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bitmap.bmWidth;
    bi.bmiHeader.biHeight = -bitmap.bmHeight;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::string pixels(static_cast<size_t>(bitmap.bmWidth) * bitmap.bmHeight * 4, '\0');
    HDC dc = GetDC(nullptr);
    int rows = GetDIBits(dc, info.hbmColor, 0, bitmap.bmHeight, &pixels[0], &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    char text[64];
    if (rows == bitmap.bmHeight) {
      size_t at = (static_cast<size_t>(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2) * 4;
      std::snprintf(text, sizeof text, "%ldx%ld pixel %02X%02X%02X", static_cast<long>(bitmap.bmWidth),
                    static_cast<long>(bitmap.bmHeight), static_cast<unsigned char>(pixels[at + 2]),
                    static_cast<unsigned char>(pixels[at + 1]), static_cast<unsigned char>(pixels[at]));
    } else {
      std::snprintf(text, sizeof text, "%ldx%ld pixel unreadable", static_cast<long>(bitmap.bmWidth),
                    static_cast<long>(bitmap.bmHeight));
    }
    out = text;
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return out;
}

void probeModule(const wchar_t* path, DWORD flags, const char* mode) {
  HMODULE module = LoadLibraryExW(path, nullptr, flags);
  if (!module) {
    line(std::string(mode) + " load failed " + std::to_string(GetLastError()));
    return;
  }
  line(std::string(mode) + " loaded");
  HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1001), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  if (group) {
    HGLOBAL handle = LoadResource(module, group);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(handle));
    DWORD size = SizeofResource(module, group);
    unsigned count = bytes && size >= 6 ? bytes[4] | bytes[5] << 8 : 0;
    line(std::string(mode) + " group 1001 images " + std::to_string(count));
  } else {
    line(std::string(mode) + " group 1001 missing");
  }
  for (int size : {16, 32, 48, 256}) {
    HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1001), IMAGE_ICON, size, size, 0));
    line(std::string(mode) + " icon " + std::to_string(size) + " " + describeIcon(icon));
    if (icon) DestroyIcon(icon);
  }
  // What the launcher's dialog class gets: LoadIcon picks the system's icon size.
  line(std::string(mode) + " loadicon " + describeIcon(LoadIconW(module, MAKEINTRESOURCEW(1001))));
  FreeLibrary(module);
}

void probeVersion(const wchar_t* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) {
    line("version none");
    return;
  }
  std::string block(size, '\0');
  if (!GetFileVersionInfoW(path, 0, size, &block[0])) {
    line("version unreadable");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueW(&block[0], L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    char text[160];
    std::snprintf(text, sizeof text, "version fixed %u.%u.%u.%u product %u.%u.%u.%u type %lu os %lX",
                  HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                  HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS),
                  static_cast<unsigned long>(fixed->dwFileType), static_cast<unsigned long>(fixed->dwFileOS));
    line(text);
  }
  WORD* translation = nullptr;
  if (!VerQueryValueW(&block[0], L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 4) {
    line("version no translation");
    return;
  }
  wchar_t table[32];
  swprintf(table, 32, L"%04x%04x", translation[0], translation[1]);
  line("version translation " + utf8(table));
  for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright",
                              L"LegalTrademarks", L"OriginalFilename", L"ProductName", L"ProductVersion",
                              L"Comments"}) {
    std::wstring query = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
    wchar_t* value = nullptr;
    if (VerQueryValueW(&block[0], query.c_str(), reinterpret_cast<void**>(&value), &length) && value) {
      line("version string " + utf8(name) + "=" + utf8(value));
    }
  }
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 2) {
    line("usage: resource_probe FILE");
    return 2;
  }
  probeModule(argv[1], LOAD_LIBRARY_AS_DATAFILE, "datafile");
  probeModule(argv[1], LOAD_LIBRARY_AS_IMAGE_RESOURCE, "image");
  probeVersion(argv[1]);
  return 0;
}
