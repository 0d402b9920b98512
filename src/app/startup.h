// Process entry: the start-up flags, the launcher's own options and the start-up sequence.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/run_context.h"

// ---- Pure rules ----

// The whole narrow command line (after the program name) is exactly "__vnq_reboot".
bool isRebootCommandLine(const char* commandLine);
// The narrow command line begins with "__vnq_lang_restart".
bool isLanguageRestartCommandLine(const char* commandLine);
// Removes element 1 when it is one of the create-log options; returns whether it did.
bool takeCreateLogOption(std::vector<std::u16string>& args);
// "quoll" when the product kind begins with "e", otherwise "vantrel".
std::string productWordFor(const std::string& productKind);

LauncherOptions parseLauncherOptions(const std::vector<std::u16string>& args);

// What cancelling the progress dialog does besides ending it: both start markers are
// cleared (none on a language restart, whose markers the first process owns).
std::function<void()> progressDialogCancelAction(const RunContext& run);

// ---- The sequence ----

// Attaches to the parent's console or allocates one; true when the process has one.
bool attachConsole();
// Applies the launcher's options to the run: quiet mode (errors then go to standard error),
// the splash, the checksum switch and manual selection. The console is the caller's.
void applyLauncherOptions(const LauncherOptions& options, RunContext& run);

// What cancelling the progress dialog does besides ending it: both start markers are
// cleared (none on a language restart, whose markers the first process owns).
std::function<void()> progressDialogCancelAction(const RunContext& run);

// ---- The sequence ----

// Attaches to the parent's console or allocates one; true when the process has one.
bool attachConsole();
// The Linux launcher's start: the same options, the configuration from its own ELF file,
// the lock-file single instance and the work sequence on the main thread, its progress on the
// terminal. Returns the process exit code (0).
int runLinuxLauncher(int argc, char** argv);
// Steps 1 to 13 of the start-up sequence: builds the run context and runs the work sequence
// with it; returns the process exit code (0).
int runLauncher(void* instance, const char* commandLine);
