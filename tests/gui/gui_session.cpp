#include "gui/gui_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "support/media_files.h"

extern char** environ;

namespace {

const char kWineServer[] = "/usr/lib/wine/wineserver64";

std::string wineLoader() {
  const char* v = std::getenv("LAUNCHER_WINE");
  return v != nullptr && *v != '\0' ? v : LAUNCHER_SOURCE_DIR "/scripts/wine";
}

// Starts argv[0] in a process group of its own, standard input from /dev/null, output and
// error into `outputDir` (or /dev/null when empty). The environment is this process's.
pid_t spawn(const std::vector<std::string>& args, const std::string& outputDir, const std::string& cwd = "") {
  std::vector<std::string> copy = args;
  std::vector<char*> argv;
  for (std::string& a : copy) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  const std::string out = outputDir.empty() ? "/dev/null" : outputDir + "/stdout";
  const std::string err = outputDir.empty() ? "/dev/null" : outputDir + "/stderr";
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    const int in = open("/dev/null", O_RDONLY);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || o < 0 || e < 0) _exit(126);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid > 0) setpgid(pid, pid);
  return pid;
}

// Waits up to `timeoutMs` for `pid`; kills its group after that. Exit code or -1.
int waitBounded(pid_t pid, int timeoutMs, bool* timedOut = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      if (timedOut != nullptr) *timedOut = true;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runBounded(const std::vector<std::string>& args, int timeoutMs) {
  const pid_t pid = spawn(args, "");
  return pid > 0 ? waitBounded(pid, timeoutMs) : -1;
}

// The suite's own prefix and screenshot folder; the 32-bit run of the suite is given others,
// so that both runs can go on side by side.
std::string environmentOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : fallback;
}
std::string guiPrefix() { return environmentOr("LAUNCHER_GUI_WINEPREFIX", GUI_WINEPREFIX); }
std::string screenshotDir() { return environmentOr("LAUNCHER_GUI_SCREENSHOT_DIR", GUI_SCREENSHOT_DIR); }

std::string wintoolPath() { return windowsTree() + "/fixtures/wintool/wintool.exe"; }

}  // namespace

// ---- WindowInfo ----

const std::string& WindowInfo::field(const std::string& name) const {
  static const std::string none;
  const auto it = fields.find(name);
  return it == fields.end() ? none : it->second;
}

std::vector<int> WindowInfo::numbers(const std::string& name) const {
  std::vector<int> out;
  std::istringstream in(field(name));
  int v = 0;
  while (in >> v) out.push_back(v);
  return out;
}

const WindowInfo::Child* WindowInfo::child(int id) const {
  for (const Child& c : children) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

WindowInfo parseWindowInfo(const std::string& output) {
  WindowInfo info;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "child") {
      // child=<id> class=<name> visible=<0|1> rect=<l> <t> <r> <b> text=<text>
      WindowInfo::Child c;
      c.id = std::atoi(value.c_str());
      const size_t cls = value.find(" class=");
      const size_t vis = value.find(" visible=");
      const size_t txt = value.find(" text=");
      const size_t place = value.find(" rect=");
      if (cls != std::string::npos && vis != std::string::npos) c.className = value.substr(cls + 7, vis - cls - 7);
      if (vis != std::string::npos) c.visible = value.compare(vis + 9, 1, "1") == 0;
      if (place != std::string::npos && place < txt) {
        std::istringstream numbers(value.substr(place + 6, txt - place - 6));
        int v = 0;
        while (numbers >> v) c.rect.push_back(v);
      }
      if (txt != std::string::npos) c.text = value.substr(txt + 6);
      info.children.push_back(c);
    } else {
      info.fields[key] = value;
      if (key == "window") info.found = true;
    }
  }
  return info;
}

// ---- BackgroundRun ----

BackgroundRun::BackgroundRun(BackgroundRun&& other) noexcept { *this = std::move(other); }

BackgroundRun& BackgroundRun::operator=(BackgroundRun&& other) noexcept {
  if (this != &other) {
    finish();
    pid_ = other.pid_;
    outputDir_ = std::move(other.outputDir_);
    exitCode_ = other.exitCode_;
    done_ = other.done_;
    other.pid_ = -1;
    other.done_ = true;
  }
  return *this;
}

BackgroundRun::~BackgroundRun() {
  finish();
  if (!outputDir_.empty()) removeTree(outputDir_);
}

void BackgroundRun::finish() {
  if (pid_ > 0 && !done_) {
    thaw();
    wait(0);
  }
}

int BackgroundRun::wait(int timeoutMs) {
  if (done_) return exitCode_;
  if (pid_ <= 0) return -1;
  exitCode_ = waitBounded(pid_, timeoutMs);
  done_ = true;
  return exitCode_;
}

bool BackgroundRun::running() {
  if (done_ || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  done_ = true;
  return false;
}

void BackgroundRun::freeze() {
  if (pid_ > 0 && !done_) kill(pid_, SIGSTOP);
}

void BackgroundRun::thaw() {
  if (pid_ > 0 && !done_) kill(pid_, SIGCONT);
}

std::string BackgroundRun::out() const { return readWholeFile(outputDir_ + "/stdout"); }
std::string BackgroundRun::err() const { return readWholeFile(outputDir_ + "/stderr"); }

// ---- GuiSession ----

GuiSession::GuiSession() {
  stateDir_ = makeTempDirectory("gui-session-");
  setenv("WINEPREFIX", guiPrefix().c_str(), 1);
  setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
  if (std::getenv("WINEDEBUG") == nullptr) setenv("WINEDEBUG", "-all", 1);
  if (!startXvfb()) return;
  setenv("DISPLAY", display_.c_str(), 1);
  if (!preparePrefix()) return;
  ready_ = true;
}

GuiSession::~GuiSession() {
  stopWine();
  if (xvfb_ > 0) {
    kill(xvfb_, SIGTERM);
    if (waitBounded(xvfb_, 5000) == -1) kill(xvfb_, SIGKILL);
  }
  removeTree(stateDir_);
}

bool GuiSession::startXvfb() {
  // Xvfb picks a free display number itself and writes it to the descriptor it is given.
  const std::string numberFile = stateDir_ + "/display";
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    const int in = open("/dev/null", O_RDONLY);
    const int log = open((stateDir_ + "/xvfb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int number = open(numberFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || log < 0 || number < 0) _exit(126);
    dup2(in, 0);
    dup2(log, 1);
    dup2(log, 2);
    dup2(number, 3);
    execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr);
    _exit(127);
  }
  if (pid < 0) {
    skipReason_ = "cannot fork for Xvfb";
    return false;
  }
  xvfb_ = pid;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string text = readWholeFile(numberFile);
    if (!text.empty() && text.back() == '\n') {
      display_ = ":" + text.substr(0, text.size() - 1);
      return true;
    }
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      xvfb_ = -1;
      skipReason_ = "Xvfb could not start: " + readWholeFile(stateDir_ + "/xvfb.log");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  skipReason_ = "Xvfb gave no display number within 30 s";
  return false;
}

bool GuiSession::preparePrefix() {
  const std::string prefix = guiPrefix();
  // The shared script makes the prefix (with its 32-bit half where 32-bit Wine is installed)
  // and starts its persistent server, which makes every later Windows process start quickly;
  // the server is ours alone, so it is ended with the session. Creating a prefix takes a
  // while, and longer on a busy machine.
  runBounded({LAUNCHER_SOURCE_DIR "/scripts/wine-up.sh"}, 600000);
  // There is no window manager on the virtual display: Wine draws the frames (captions
  // included, which the screenshots should show) and places the windows itself.
  runBounded({wineLoader(), "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"},
             60000);
  if (!pathExists(prefix + "/system.reg")) {
    skipReason_ = "the Wine prefix " + prefix + " could not be created";
    return false;
  }
  return true;
}

void GuiSession::stopWine() { runBounded({kWineServer, "-k"}, 60000); }

WineResult GuiSession::run(WineCommand command) {
  command.environment.push_back({"DISPLAY", display_});
  command.environment.push_back({"WINEPREFIX", guiPrefix()});
  return runUnderWine(command);
}

BackgroundRun GuiSession::start(WineCommand command) {
  const std::string outputDir = makeTempDirectory("gui-run-");
  // The variables are set for this process only while the child is made.
  std::vector<std::pair<std::string, std::string>> saved;
  std::vector<std::string> removed;
  for (const std::string& name : command.unset) {
    const char* old = std::getenv(name.c_str());
    if (old != nullptr) saved.push_back({name, old});
    unsetenv(name.c_str());
  }
  for (const auto& variable : command.environment) {
    const char* old = std::getenv(variable.first.c_str());
    if (old != nullptr) {
      saved.push_back({variable.first, old});
    } else {
      removed.push_back(variable.first);
    }
    setenv(variable.first.c_str(), variable.second.c_str(), 1);
  }
  std::vector<std::string> args = {wineLoader(), command.program};
  args.insert(args.end(), command.args.begin(), command.args.end());
  const pid_t pid = spawn(args, outputDir, command.workingDirectory);
  for (const std::string& name : removed) unsetenv(name.c_str());
  for (const auto& variable : saved) setenv(variable.first.c_str(), variable.second.c_str(), 1);
  return BackgroundRun(pid, outputDir);
}

namespace {
WineCommand wintoolCommand(const std::string& action, const std::vector<std::string>& options, int timeoutMs) {
  WineCommand command;
  command.program = wintoolPath();
  command.args = {action};
  command.args.insert(command.args.end(), options.begin(), options.end());
  command.args.push_back("--timeout");
  command.args.push_back(std::to_string(timeoutMs));
  return command;
}
}  // namespace

WindowInfo GuiSession::wintool(const std::string& action, const std::vector<std::string>& options,
                               int timeoutMs) {
  WineCommand command = wintoolCommand(action, options, timeoutMs);
  command.timeoutMs = timeoutMs + 60000;
  const WineResult result = run(command);
  WindowInfo info = parseWindowInfo(result.out);
  if (result.exitCode != 0) info.found = false;
  return info;
}

BackgroundRun GuiSession::startWintool(const std::string& action, const std::vector<std::string>& options,
                                       int timeoutMs) {
  return start(wintoolCommand(action, options, timeoutMs));
}

bool waitForOutput(BackgroundRun& run, const std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (run.out().find(text) != std::string::npos) return true;
    if (!run.running()) return run.out().find(text) != std::string::npos;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

std::vector<WindowInfo> GuiSession::windowsOfClass(const std::string& className) {
  WineCommand command;
  command.program = wintoolPath();
  command.args = {"list", "--class", className};
  command.timeoutMs = 60000;
  const WineResult result = run(command);
  std::vector<WindowInfo> out;
  std::string current;
  std::istringstream lines(result.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 7, "window=") == 0 && !current.empty()) {
      out.push_back(parseWindowInfo(current));
      current.clear();
    }
    current += line + "\n";
  }
  if (!current.empty()) out.push_back(parseWindowInfo(current));
  return out;
}

void GuiSession::setDword(const std::string& keyPath, const std::string& name, unsigned long value) {
  WineCommand command;
  command.program = "reg";
  command.args = {"add", "HKCU\\" + keyPath, "/v", name, "/t", "REG_DWORD", "/d", std::to_string(value), "/f"};
  command.timeoutMs = 60000;
  run(command);
}

bool GuiSession::valueExists(const std::string& keyPath, const std::string& name) {
  WineCommand command;
  command.program = "reg";
  command.args = {"query", "HKCU\\" + keyPath, "/v", name};
  command.timeoutMs = 60000;
  return run(command).exitCode == 0;
}

void GuiSession::deleteValue(const std::string& keyPath, const std::string& name) {
  WineCommand command;
  command.program = "reg";
  command.args = {"delete", "HKCU\\" + keyPath, "/v", name, "/f"};
  command.timeoutMs = 60000;
  run(command);
}

std::string GuiSession::screenshotPath(const std::string& name) const {
  return screenshotDir() + "/" + name + ".png";
}

bool GuiSession::screenshot(const std::string& name, const std::string& window) {
  runBounded({"mkdir", "-p", screenshotDir()}, 30000);
  const std::string path = screenshotPath(name);
  return runBounded({"import", "-display", display_, "-window", window, path}, 30000) == 0 && pathExists(path);
}

void GuiSession::cleanTemporaryFiles() {
  const std::string users = guiPrefix() + "/drive_c/users";
  for (const std::string& user : filesStartingWith(users, "")) {
    if (user == "." || user == "..") continue;
    for (const char* temp : {"/Temp", "/AppData/Local/Temp"}) {
      const std::string dir = users + "/" + user + temp;
      for (const char* prefix : {"qlz", "vnq_nlog"}) {
        for (const std::string& name : filesStartingWith(dir, prefix)) removeTree(dir + "/" + name);
      }
    }
  }
}
