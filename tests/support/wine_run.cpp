// Host only: the Windows build of the test helpers has nothing to start Wine with.
#if !defined(_WIN32)
#include "support/wine_run.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

std::string environmentOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : fallback;
}

std::vector<std::string> composeEnvironment(const WineCommand& command) {
  std::vector<std::pair<std::string, std::string>> set = {
      {"WINEPREFIX", winePrefix()},
      {"WINEDEBUG", environmentOr("WINEDEBUG", "-all")},
      {"WINEDLLOVERRIDES", environmentOr("WINEDLLOVERRIDES", "mscoree,mshtml=")},
  };
  for (const auto& added : command.environment) {
    bool replaced = false;
    for (auto& s : set) {
      if (s.first == added.first) {
        s.second = added.second;
        replaced = true;
      }
    }
    if (!replaced) set.push_back(added);
  }
  auto replacedOrRemoved = [&](const std::string& name) {
    for (const auto& s : set) {
      if (s.first == name) return true;
    }
    for (const auto& u : command.unset) {
      if (u == name) return true;
    }
    return false;
  };
  std::vector<std::string> out;
  for (char** e = environ; *e != nullptr; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq == nullptr || replacedOrRemoved(std::string(*e, static_cast<size_t>(eq - *e)))) continue;
    out.emplace_back(*e);
  }
  for (const auto& s : set) out.push_back(s.first + "=" + s.second);
  return out;
}

// The relay trace is limited to the box functions through the prefix's registry; the
// setting only matters to runs that switch the relay channel on.
void limitRelayToMessageBoxes() {
  static bool done = false;
  if (done) return;
  done = true;
  WineCommand reg;
  reg.program = "reg";
  reg.args = {"add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/t", "REG_SZ", "/d",
              "user32.MessageBoxA;user32.MessageBoxW", "/f"};
  reg.timeoutMs = 60000;
  runUnderWine(reg);
}

bool isHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// A trace line starts with a thread id ("0278:"), optionally after a timestamp and process
// id ("1250.389:0240:0244:"), followed by one of the trace forms.
bool isTraceLine(const std::string& line) {
  // Consume "segment:" groups of hex digits and dots; the trace form follows the last one.
  size_t i = 0;
  int groups = 0;
  for (;;) {
    size_t j = i;
    while (j < line.size() && (isHex(line[j]) || line[j] == '.')) ++j;
    if (j == i || j >= line.size() || line[j] != ':') break;
    i = j + 1;
    ++groups;
  }
  if (groups == 0) return false;
  for (const char* form : {"Call ", "Ret ", "Starting thread proc", "trace:", "err:", "fixme:", "warn:"}) {
    if (line.compare(i, std::strlen(form), form) == 0) return true;
  }
  return false;
}

void appendUtf8(std::string& out, unsigned long c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Reads one traced argument string at `at`: "narrow" with C escapes and \NNN (octal byte),
// or L"wide" with \XXXX (hex code unit); false when there is none. Narrow bytes are kept
// as they are (the ANSI code page); wide text becomes UTF-8.
bool readTracedString(const std::string& line, size_t& at, std::string& out) {
  out.clear();
  bool wide = false;
  if (at < line.size() && line[at] == 'L') {
    wide = true;
    ++at;
  }
  if (at >= line.size() || line[at] != '"') return false;
  for (++at; at < line.size(); ++at) {
    const char c = line[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (c != '\\' || at + 1 >= line.size()) {
      out.push_back(c);
      continue;
    }
    const char e = line[++at];
    if (e == 'n') {
      out.push_back('\n');
    } else if (e == 'r') {
      out.push_back('\r');
    } else if (e == 't') {
      out.push_back('\t');
    } else if (wide && isHex(e) && at + 3 < line.size()) {
      appendUtf8(out, std::stoul(line.substr(at, 4), nullptr, 16));
      at += 3;
    } else if (!wide && e >= '0' && e <= '7' && at + 2 < line.size()) {
      out.push_back(static_cast<char>(std::stoul(line.substr(at, 3), nullptr, 8)));
      at += 2;
    } else {
      out.push_back(e);
    }
  }
  return false;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(&s[0]);
  out.push_back(nullptr);
  return out;
}

}  // namespace

WineResult runUnderWine(const WineCommand& command) {
  WineResult result;
  const std::string outputDir = makeTempDirectory("wine-run-");
  const std::string outPath = outputDir + "/stdout";
  const std::string errPath = outputDir + "/stderr";

  std::vector<std::string> argv = {environmentOr("LAUNCHER_WINE", LAUNCHER_SOURCE_DIR "/scripts/wine"),
                                   command.program};
  argv.insert(argv.end(), command.args.begin(), command.args.end());
  std::vector<std::string> envp = composeEnvironment(command);
  if (command.traceMessageBoxes) {
    limitRelayToMessageBoxes();
    for (std::string& e : envp) {
      if (e.compare(0, 10, "WINEDEBUG=") == 0) e = "WINEDEBUG=-all,+relay";
    }
  }
  std::vector<char*> argvPointers = pointersTo(argv);
  std::vector<char*> envpPointers = pointersTo(envp);

  const pid_t pid = fork();
  if (pid == 0) {
    // Own process group, so a timeout can take the loader and everything it started.
    setpgid(0, 0);
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (!command.workingDirectory.empty() && chdir(command.workingDirectory.c_str()) != 0) _exit(126);
    execve(argvPointers[0], argvPointers.data(), envpPointers.data());
    _exit(127);
  }
  if (pid < 0) {
    removeTree(outputDir);
    return result;
  }
  setpgid(pid, pid);  // also from here, so the group exists before any kill

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(command.timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = readWholeFile(outPath);
  result.err = readWholeFile(errPath);
  removeTree(outputDir);
  if (command.traceMessageBoxes) {
    result.boxes = parseMessageBoxTrace(result.err);
    result.err = withoutTraceLines(result.err);
  }
  return result;
}

std::vector<MessageBoxCall> parseMessageBoxTrace(const std::string& trace) {
  std::vector<MessageBoxCall> boxes;
  std::istringstream lines(trace);
  std::string line;
  while (std::getline(lines, line)) {
    for (const char* name : {":Call user32.MessageBoxA(", ":Call user32.MessageBoxW("}) {
      size_t at = line.find(name);
      if (at == std::string::npos) continue;
      MessageBoxCall box;
      box.wide = name[23] == 'W';
      at += std::strlen(name);
      // owner,textPointer "text",captionPointer "caption",flags)
      at = line.find(',', at);
      if (at == std::string::npos) break;
      at = line.find(' ', at);
      if (at == std::string::npos || !readTracedString(line, ++at, box.text)) break;
      at = line.find(' ', at);
      if (at == std::string::npos || !readTracedString(line, ++at, box.caption)) break;
      if (at < line.size() && line[at] == ',') box.flags = std::strtoul(line.c_str() + at + 1, nullptr, 16);
      boxes.push_back(box);
    }
  }
  return boxes;
}

std::string withoutTraceLines(const std::string& text) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(start, end - start);
    if (!isTraceLine(line)) out += line;
    start = end;
  }
  return out;
}

std::string winePrefix() { return environmentOr("WINEPREFIX", LAUNCHER_SOURCE_DIR "/build/wineprefix"); }

std::string winePathOf(const std::string& hostPath) {
  std::string out = "Z:";
  for (char c : hostPath) out.push_back(c == '/' ? '\\' : c);
  return out;
}

std::string hostPathOf(const std::string& winePath) {
  if (winePath.size() < 2 || winePath[1] != ':') return winePath;
  const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(winePath[0])));
  std::string out = drive == 'z' ? "" : winePrefix() + "/dosdevices/" + drive + ":";
  for (size_t i = 2; i < winePath.size(); ++i) out.push_back(winePath[i] == '\\' ? '/' : winePath[i]);
  return out;
}

std::string makeTempDirectory(const std::string& prefix) {
  std::string pattern = environmentOr("TMPDIR", "/tmp") + "/" + prefix + "XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
  return pattern;
}

void removeTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    if (DIR* dir = opendir(path.c_str())) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") removeTree(path + "/" + name);
      }
      closedir(dir);
    }
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) makeDirectories(path.substr(0, slash));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void makeDirectories(const std::string& path) {
  for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
    mkdir(path.substr(0, at).c_str(), 0755);
  }
  mkdir(path.c_str(), 0755);
}

std::string withoutCarriageReturns(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

std::vector<std::string> filesStartingWith(const std::string& directory, const std::string& prefix) {
  std::vector<std::string> out;
  if (DIR* dir = opendir(directory.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.compare(0, prefix.size(), prefix) == 0) out.push_back(name);
    }
    closedir(dir);
  }
  return out;
}

std::vector<std::string> logsOfRunsIn(const std::string& hostDirectory) {
  const std::string wanted = "Started executable " + winePathOf(hostDirectory) + "\\";
  const std::string users = winePrefix() + "/drive_c/users";
  std::vector<std::string> places = {winePrefix() + "/drive_c"};
  for (const std::string& user : filesStartingWith(users, "")) {
    if (user == "." || user == "..") continue;
    places.push_back(users + "/" + user + "/Temp");
    places.push_back(users + "/" + user + "/AppData/Local/Temp");
  }
  std::vector<std::string> out;
  for (const std::string& place : places) {
    for (const std::string& name : filesStartingWith(place, "vnq_nlog")) {
      const std::string path = place + "/" + name;
      std::ifstream in(path, std::ios::binary);
      std::string first(wanted.size(), '\0');
      in.read(&first[0], static_cast<std::streamsize>(first.size()));
      if (in && first == wanted) out.push_back(path);
    }
  }
  return out;
}

#endif  // !_WIN32
