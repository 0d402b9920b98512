// Starting Java in the launcher's own process: the launcher's system properties, the JVM
// creation through the loaded library's JNI_CreateJavaVM, the first-run hook of installers
// and the call of the launcher class's static main(String[]). Free of windows.h: the same
// code runs against a real JVM on a POSIX host.
#pragma once

#include <jni.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The VM of this process and the JNI environment of the thread that created it; every JNI
// call is made on that thread.
struct JvmInstance {
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
};
JvmInstance& jvmInstance();

// The Java classes the launcher calls.
inline constexpr const char kInstallerLauncherClass[] = "com/vantrel/runtime/launcher/WinLauncher";
inline constexpr const char kApplicationLauncherClass[] = "com/quoll/runtime/WinLauncher";
inline constexpr const char kFirstRunClass[] = "com/vantrel/runtime/launcher/FirstRun";

// What the run hands the JVM start: values the start-up and work sequences decided.
struct LaunchSettings {
  std::string semaphoreName;        // empty: none (a language restart has none)
  bool manualJre = false;           // the runtime was chosen by hand
  bool restart = false;             // a language restart
  std::string tempDir;              // the run's temporary directory
  int64_t unextractedPosition = 0;  // right after the included files (0 before extraction)
  // Runs once the virtual machine exists, before any Java code of the launcher's runs: from
  // then on the temporary directory belongs to the Java side.
  std::function<void()> handOver;
  // The Linux launcher: the class path option is handed over in the VM's own form there
  // (posixClassPathOption), and -Djava.library.path is left to the VM, whose own default
  // (the system's library directories) is what a Linux program expects; PATH lists programs.
  bool linuxVm = false;
};

// Each launcher property is bounded by an 8192-byte buffer; PATH is passed only when it fits
// whole behind "-Djava.library.path=", else that option has an empty value.
constexpr size_t kMaxPropertyText = 8191;

// Everything the launcher's properties are made of, gathered from the process.
struct LauncherPropertyInputs {
  bool hasSemaphoreName = false;
  std::string semaphoreName;
  bool manualJre = false;
  bool installer = false;         // CFG_PRODUCT_KIND starts with "i"
  std::string modulePath;
  bool hasProcessCommFile = false;
  std::string processCommFile;
  std::string tempDir;
  bool restart = false;
  int64_t unextractedPosition = 0;
  std::string path;               // PATH as the process has it now
  bool hasConsoleCodepage = false;  // false when MANPATH is set (or no console code page)
  unsigned consoleCodepage = 0;
};

// ---- Pure rules ----

// The launcher properties in their fixed order, each present only under its condition.
std::vector<std::string> composeLauncherProperties(const LauncherPropertyInputs& in);
// "-Djava.library.path=" + path, or with an empty value when the whole would exceed
// kMaxPropertyText.
std::string libraryPathOption(const std::string& path);
// The String[] for main: executable-type flag, main class, error and output files, launcher
// switch, the program token, CFG_ARGUMENTS, the user's arguments (without "-J" ones when
// CFG_ACCEPT_J_ARGUMENTS). Reads the configuration; expands variables.
std::vector<std::u16string> composeLauncherArguments(const std::vector<std::u16string>& arguments);
// Entry 2 or 3 of the String[]: empty when disabled; else the file after variable expansion,
// made a full path (case kept) unless it still begins with "$".
std::u16string redirectionArgument(bool enabled, const std::string& file);
// The first-run marker: CFG_APP_HOME_DIRECTORY as a full path + "\.vantrel\firstrun".
std::string firstRunMarker();

// ---- The start ----

// Gathers the inputs of this run: `run` and the process (platform calls: PATH, MANPATH,
// console code page, the process communication file).
LauncherPropertyInputs gatherLauncherPropertyInputs(const LaunchSettings& run);

// Creates the VM with the composed options, runs callMain and destroys the VM, which waits
// for the Java program's non-daemon threads. False when creation fails or main cannot be
// called or throws; true also when the first-run hook stopped the start. `arguments` is the
// launcher's command line split into tokens, token 0 the program as invoked.
bool launchProgram(const std::vector<std::u16string>& arguments, const LaunchSettings& run);
// Calls main of the launcher class (after the first-run hook for installers). A missing
// class or main method ends the process (CFG_MSG_NO_MAIN_CLASS / CFG_MSG_NO_MAIN_METHOD).
bool callMain(const std::vector<std::u16string>& arguments);
// True when main is to be called: no marker, or FirstRun.firstRun() returned true without
// an exception. A missing FirstRun class or method is internal error "14" / "15".
bool checkFirstRun();

// Platform pieces of the gathering.
// The process communication file named after this process's id (nothing is created).
std::string processCommFileName();
// The console's output code page; false where there is none to report.
bool consoleOutputCodepage(unsigned& codepage);
// The process environment as the system keeps it; false when the variable is not set.
bool readProcessVariable(const char* name, std::string& value);
