// The command line of mediapack, callable in-process (tests) as well as from main.
#pragma once

#include <ostream>
#include <string>
#include <vector>

// Runs `mediapack ARGS...` (args without the program name). `selfPath` is the mediapack
// executable's path, from which the default stub is found. Returns the exit code: 0 ok,
// 1 I/O or inspect failure, 2 bad description or usage. `errIsTerminal`: `err` is a terminal,
// where long work shows a progress line (unless --quiet).
int runMediapack(const std::vector<std::string>& args, const std::string& selfPath, std::ostream& out,
                 std::ostream& err, bool errIsTerminal = false);
