// Process entry: the start-up flags, the launcher's own options and the start-up sequence.
#pragma once

#include <string>
#include <vector>

// Start-up state, written during the start-up sequence before any other thread exists and
// read-only afterwards.
extern bool quietMode;
extern bool restartMode;
extern bool manualJreSelection;
extern bool verifyIntegrity;
extern bool consoleAttached;
extern bool splashRequested;
extern std::string productWord;  // "quoll" or "vantrel"
extern void* instanceHandle;     // HINSTANCE of the module

// ---- Pure rules ----

// The whole narrow command line (after the program name) is exactly "__vnq_reboot".
bool isRebootCommandLine(const char* commandLine);
// The narrow command line begins with "__vnq_lang_restart".
bool isLanguageRestartCommandLine(const char* commandLine);
// Removes element 1 when it is one of the create-log options; returns whether it did.
bool takeCreateLogOption(std::vector<std::u16string>& args);
// "quoll" when the product kind begins with "e", otherwise "vantrel".
std::string productWordFor(const std::string& productKind);

// What the launcher's own options ask for; every element, element 0 included, is examined
// with exact comparison. Unknown arguments are left for the Java side.
struct LauncherOptions {
  bool quiet = false;         // "-q" or "-c"
  bool console = false;       // "-console"
  bool needConsole = false;   // "-c": a console must be attached or allocated
  bool splash = false;        // "-splash"
  bool noCheck = false;       // "-nocheck"
  bool manual = false;        // "-manual" or "/manual"
};
LauncherOptions parseLauncherOptions(const std::vector<std::u16string>& args);

// ---- The sequence ----

// Attaches to the parent's console or allocates one; true when the process has one.
bool attachConsole();
// Steps 1 to 13 of the start-up sequence; returns the process exit code (0).
int runLauncher(void* instance, const char* commandLine);
