#include "jlink.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string readText(const std::string& path, size_t limit) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::string text(limit, '\0');
  in.read(&text[0], static_cast<std::streamsize>(limit));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The machine a JDK's OS_ARCH names, in the target's terms; 0 when not known here.
uint16_t archMachine(const std::string& arch, TargetOs os) {
  const std::string a = lower(arch);
  const bool x64 = a == "x86_64" || a == "amd64" || a == "x64";
  const bool x86 = a == "x86" || a == "i386" || a == "i486" || a == "i586" || a == "i686";
  if (os == TargetOs::Windows) return x64 ? kPeMachineAmd64 : x86 ? kPeMachineI386 : 0;
  return x64 ? kElfMachineX8664 : x86 ? kElfMachineI386 : 0;
}

}  // namespace

const std::vector<std::string>& defaultJlinkOptions() {
  static const std::vector<std::string> options = {"--strip-debug", "--no-header-files", "--no-man-pages"};
  return options;
}

std::vector<std::string> jlinkCommand(const JlinkRequest& request, const std::string& outputDir) {
  std::string modules;
  for (const std::string& m : request.modules) modules += (modules.empty() ? "" : ",") + m;
  std::vector<std::string> command = {jlinkProgram(request.jdk), "--add-modules", modules, "--output", outputDir};
  command.insert(command.end(), request.options.begin(), request.options.end());
  return command;
}

bool parseJdkRelease(const std::string& text, JdkPlatform& platform) {
  std::istringstream in(text);
  bool name = false, arch = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    std::string value = line.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    const std::string key = line.substr(0, equals);
    if (key == "OS_NAME") {
      platform.osName = value;
      name = true;
    } else if (key == "OS_ARCH") {
      platform.osArch = value;
      arch = true;
    }
  }
  return name && arch;
}

std::string platformMismatch(const JdkPlatform& platform, const RuntimeTarget& target) {
  const std::string os = lower(platform.osName);
  const bool windows = os.rfind("windows", 0) == 0;
  const bool linux = os == "linux";
  const std::string targetText = std::string(target.os == TargetOs::Windows ? "Windows" : "Linux") + " " +
                                 machineName(target.os, target.machine);
  const std::string jdkText = platform.osName + " " + platform.osArch;
  if ((target.os == TargetOs::Windows && !windows) || (target.os == TargetOs::Linux && !linux)) {
    return "the JDK's platform is " + jdkText + " and the stub " + target.stub + " is a " + targetText +
           " launcher: jlink makes runtimes for its own JDK's platform only, so give a " + targetText +
           " JDK (or a runtime directory made for " + targetText + ")";
  }
  if (archMachine(platform.osArch, target.os) != target.machine) {
    return "the JDK's platform is " + jdkText + " and the stub " + target.stub + " is a " + targetText +
           " launcher: give a JDK for " + targetText;
  }
  return std::string();
}

ScratchDirectory::ScratchDirectory() {
  static std::atomic<unsigned> counter{0};
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        base / ("mediapack-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
    if (fs::create_directory(candidate, ec) && !ec) {
      path_ = candidate.u8string();
      return;
    }
  }
}

ScratchDirectory::~ScratchDirectory() {
  if (path_.empty()) return;
  std::error_code ignored;
  fs::remove_all(fs::u8path(path_), ignored);
}

Status makeJlinkRuntime(const JlinkRequest& request, const RuntimeTarget& target, const std::string& outputDir,
                        const std::string& where) {
  auto refuse = [&](const std::string& what) { return Status::failure(kExitBadInput, where + ": " + what); };
  std::error_code ec;
  const std::string program = jlinkProgram(request.jdk);
  if (!fs::is_regular_file(fs::u8path(program), ec)) {
    return refuse("the JDK " + request.jdk + " has no jlink (" + program + " not found)");
  }
  const std::string releasePath = (fs::u8path(request.jdk) / "release").u8string();
  JdkPlatform platform;
  if (!parseJdkRelease(readText(releasePath, 1 << 20), platform)) {
    return refuse("cannot tell the platform of the JDK " + request.jdk + ": " + releasePath +
                  " is missing or names no OS_NAME and OS_ARCH");
  }
  const std::string mismatch = platformMismatch(platform, target);
  if (!mismatch.empty()) return refuse(mismatch);

  const std::string logPath = outputDir + ".log";
  std::string error;
  const int code = runProgram(jlinkCommand(request, outputDir), logPath, error);
  if (code < 0) return Status::failure(kExitFailure, where + ": cannot run " + program + ": " + error);
  if (code != 0) {
    std::string output = readText(logPath, 4096);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return refuse(program + " failed with exit code " + std::to_string(code) + (output.empty() ? "" : ":\n" + output));
  }
  return Status::success();
}
