#include "runtime_dir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "binary_file.h"
#include "description.h"
#include "runtime/untar.h"
#include "jvm/jvm_library.h"

namespace fs = std::filesystem;

namespace {

// Longest path a ustar header holds: a 155-byte prefix, "/", a 100-byte name.
constexpr size_t kMaxUstarPath = 256;

std::string hex16(uint16_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

std::string withSlashes(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

// "a\b\..\c" -> "a\c"; ".." at the front stays.
std::string normalizeBackslashPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
      } else {
        parts.push_back(part);
      }
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += (out.empty() ? "" : "\\") + part;
  return out;
}

std::string readHead(const std::string& path) {
  InputFile file;
  std::string error;
  if (!file.open(path, error)) return std::string();
  std::string head(static_cast<size_t>(std::min<int64_t>(file.size(), kImageHeadBytes)), '\0');
  if (!file.readAt(0, head.data(), head.size())) return std::string();
  return head;
}

uint16_t u16At(const std::string& b, size_t at, bool bigEndian = false) {
  const auto* p = reinterpret_cast<const uint8_t*>(b.data() + at);
  return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::string systemName(TargetOs os) { return os == TargetOs::Windows ? "Windows" : "Linux"; }

std::string ownText(std::error_code& ec) { return ec.message(); }

}  // namespace

int machineBits(TargetOs os, uint16_t machine) {
  if (os == TargetOs::Windows) return machine == kPeMachineI386 ? 32 : machine == kPeMachineAmd64 ? 64 : 0;
  return machine == kElfMachineI386 ? 32 : machine == kElfMachineX8664 ? 64 : 0;
}

std::string machineName(TargetOs os, uint16_t machine) {
  if (os == TargetOs::Windows) {
    if (machine == kPeMachineI386) return "i386";
    if (machine == kPeMachineAmd64) return "x86_64";
  } else {
    if (machine == kElfMachineI386) return "i386";
    if (machine == kElfMachineX8664) return "x86_64";
  }
  return "machine " + hex16(machine);
}

bool imageMachine(const std::string& head, TargetOs& os, uint16_t& machine) {
  if (head.size() >= 20 && head.compare(0, 4, "\x7F" "ELF") == 0) {
    os = TargetOs::Linux;
    machine = u16At(head, 18, head[5] == 2);
    return true;
  }
  if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z') return false;
  const auto* p = reinterpret_cast<const uint8_t*>(head.data() + 60);
  const uint32_t pe = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  if (pe > head.size() || head.size() - pe < 6 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return false;
  os = TargetOs::Windows;
  machine = u16At(head, pe + 4);
  return true;
}

Status runtimeTargetOfStub(const std::string& stubPath, RuntimeTarget& target) {
  InputFile file;
  std::string error;
  if (!file.open(stubPath, error)) return Status::failure(kExitFailure, "cannot read " + stubPath + ": " + error);
  const std::string head = readHead(stubPath);
  target.stub = stubPath;
  if (!imageMachine(head, target.os, target.machine) || machineBits(target.os, target.machine) == 0) {
    return Status::failure(kExitBadInput, "stub " + stubPath +
                                              ": not a launcher for a machine known here (i386 or x86_64 "
                                              "Windows), so no runtime can be chosen for it");
  }
  return Status::success();
}

bool runtimeOrder(const std::string& a, const std::string& b) {
  // Bytewise with "/" lowest, so "bin/java" sorts before "bin-x" and parents precede children.
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;
    if (a[i] == '/') return true;
    if (b[i] == '/') return false;
    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
  }
  return a.size() < b.size();
}

Status scanRuntimeDirectory(const std::string& dir, const std::string& where, const RuntimeTarget& target,
                            std::vector<RuntimeEntry>& entries) {
  entries.clear();
  auto refuse = [&](const std::string& what) { return Status::failure(kExitBadInput, where + ": " + what); };
  std::error_code ec;
  const fs::path root = fs::u8path(dir);
  if (!fs::is_directory(root, ec)) return refuse(dir + " is not a directory");
  const fs::path realRoot = fs::canonical(root, ec);
  if (ec) return refuse("cannot read " + dir + ": " + ownText(ec));

  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
  if (ec) return refuse("cannot read " + dir + ": " + ownText(ec));
  std::map<std::u32string, std::string> folded;  // Windows: names that differ only in case
  for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) return refuse("cannot read " + dir + ": " + ownText(ec));
    const fs::path& path = it->path();
    const std::string shown = path.u8string();
    RuntimeEntry entry;
    entry.path = withSlashes(path.lexically_relative(root).u8string());
    entry.source = shown;

    const fs::file_status link = it->symlink_status(ec);
    if (ec) return refuse("cannot read " + shown + ": " + ownText(ec));
    if (fs::is_symlink(link)) {
      const fs::path pointsTo = fs::read_symlink(path, ec);
      if (ec) return refuse("cannot read the link " + shown + ": " + ownText(ec));
      if (pointsTo.is_absolute() || pointsTo.has_root_name() || pointsTo.has_root_directory()) {
        return refuse("the symbolic link " + shown + " points to the absolute path " + pointsTo.u8string() +
                      "; a bundled runtime may only link inside itself");
      }
      const fs::path resolved = fs::weakly_canonical(path, ec);
      if (ec) return refuse("the symbolic link " + shown + " cannot be followed: " + ownText(ec));
      const fs::path inside = resolved.lexically_relative(realRoot);
      if (inside.empty() || *inside.begin() == "..") {
        return refuse("the symbolic link " + shown + " points outside the runtime directory (" +
                      pointsTo.u8string() + ")");
      }
      const fs::file_status followed = fs::status(path, ec);
      if (ec || !fs::exists(followed)) {
        return refuse("the symbolic link " + shown + " points to nothing (" + pointsTo.u8string() + ")");
      }
      if (!fs::is_regular_file(followed) && !fs::is_directory(followed)) {
        return refuse("the symbolic link " + shown + " points to a special file");
      }
      if (target.os == TargetOs::Linux) {
        entry.kind = RuntimeEntryKind::Link;
        entry.linkTarget = withSlashes(pointsTo.u8string());
      } else if (fs::is_directory(followed)) {
        return refuse("the symbolic link " + shown +
                      " points to a directory; Windows launchers unpack only directories and regular files, "
                      "so replace it with the directory itself");
      } else {
        entry.kind = RuntimeEntryKind::File;  // stored as a copy of the file it points to
        entry.size = static_cast<int64_t>(fs::file_size(path, ec));
        if (ec) return refuse("cannot read " + shown + ": " + ownText(ec));
        entry.executable = (fs::status(path, ec).permissions() & fs::perms::owner_exec) != fs::perms::none;
      }
    } else if (fs::is_directory(link)) {
      entry.kind = RuntimeEntryKind::Directory;
    } else if (fs::is_regular_file(link)) {
      entry.kind = RuntimeEntryKind::File;
      entry.size = static_cast<int64_t>(it->file_size(ec));
      if (ec) return refuse("cannot read " + shown + ": " + ownText(ec));
      entry.executable = (link.permissions() & (fs::perms::owner_exec | fs::perms::group_exec |
                                                fs::perms::others_exec)) != fs::perms::none;
    } else {
      return refuse(shown + " is a special file (device, FIFO or socket); a runtime holds only directories, "
                            "files and links");
    }

    std::string launcherPath;
    if (!tarEntryPath(entry.path, launcherPath) || launcherPath.empty()) {
      return refuse("the name " + shown + " is one the launcher does not unpack (a part ending in a dot or blank, "
                    "a character or device name Windows refuses, or a stream)");
    }
    if (entry.path.size() + (entry.kind == RuntimeEntryKind::Directory ? 1 : 0) > kMaxUstarPath - 1) {
      return refuse("the path " + shown + " is longer than the " + std::to_string(kMaxUstarPath - 1) +
                    " bytes an archive entry holds");
    }
    if (target.os == TargetOs::Windows) {
      auto [other, fresh] = folded.emplace(foldFileName(entry.path), shown);
      if (!fresh) {
        return refuse(shown + " and " + other->second + " differ only in case; on Windows they are one file");
      }
    }
    entries.push_back(std::move(entry));
  }
  std::sort(entries.begin(), entries.end(),
            [](const RuntimeEntry& a, const RuntimeEntry& b) { return runtimeOrder(a.path, b.path); });
  return Status::success();
}

std::vector<std::string> runtimeLibraryCandidates(const std::vector<RuntimeEntry>& entries,
                                                  const RuntimeTarget& target, const std::string& preferredVmType) {
  std::vector<std::string> out;
  if (target.os == TargetOs::Linux) return {"lib/server/libjvm.so", "lib/client/libjvm.so"};
  // The launcher's own rules: the Java executable of the runtime home, its bin directory, the
  // VM-type order, and the JDK-private runtime it falls back to.
  bool privateRuntime = false;
  const std::u32string privateJava = foldFileName("jre/bin/java.exe");
  for (const RuntimeEntry& e : entries) {
    if (e.kind != RuntimeEntryKind::Directory && foldFileName(e.path) == privateJava) privateRuntime = true;
  }
  const std::string javaExe = privateRuntime ? "jre\\bin\\java.exe" : "bin\\java.exe";
  const std::string fallback = normalizeBackslashPath(privateRuntimeJavaExe(javaExe));
  for (const std::string& exe : {javaExe, fallback}) {
    const std::string bin = binDirectoryOf(exe);
    for (const std::string& type : vmTypeOrder(preferredVmType)) {
      const std::string candidate = withSlashes(bin + "\\" + type + "\\jvm.dll");
      if (std::find(out.begin(), out.end(), candidate) == out.end()) out.push_back(candidate);
    }
  }
  return out;
}

Status checkRuntimeLibrary(const std::vector<RuntimeEntry>& entries, const std::string& where,
                           const RuntimeTarget& target, const std::string& preferredVmType, std::string& library) {
  library.clear();
  const bool windows = target.os == TargetOs::Windows;
  const std::vector<std::string> candidates = runtimeLibraryCandidates(entries, target, preferredVmType);
  const int wantBits = machineBits(target.os, target.machine);
  for (const std::string& candidate : candidates) {
    const RuntimeEntry* found = nullptr;
    for (const RuntimeEntry& e : entries) {
      const bool same = windows ? foldFileName(e.path) == foldFileName(candidate) : e.path == candidate;
      if (same && e.kind == RuntimeEntryKind::File) found = &e;
    }
    if (!found) continue;
    TargetOs os = target.os;
    uint16_t machine = 0;
    const std::string head = readHead(found->source);
    if (!imageMachine(head, os, machine) || os != target.os) {
      return Status::failure(kExitBadInput, where + ": " + found->source + " is not a " + systemName(target.os) +
                                                " library, so the launcher cannot load it");
    }
    if (machine != target.machine) {
      const int bits = machineBits(os, machine);
      return Status::failure(
          kExitBadInput,
          where + ": " + found->source + " is a " + (bits ? std::to_string(bits) + "-bit " : "") + "(" +
              machineName(os, machine) + ") library; the launcher " + target.stub + " is " +
              std::to_string(wantBits) + "-bit (" + machineName(target.os, target.machine) + ") and needs a " +
              std::to_string(wantBits) + "-bit runtime");
    }
    if (library.empty()) library = found->path;
  }
  if (library.empty()) {
    std::string list;
    for (const std::string& c : candidates) list += (list.empty() ? "" : ", ") + c;
    return Status::failure(kExitBadInput, where + ": the runtime holds no " +
                                              std::string(windows ? "jvm.dll" : "libjvm.so") +
                                              " where the launcher looks for it (" + list + ")");
  }
  return Status::success();
}
