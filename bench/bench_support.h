// What the runtime benchmarks share: the installed JDK they work on, scratch directories,
// shell steps, the wall clock and medians.
#pragma once

#include <string>
#include <vector>

// JAVA_HOME when it holds a bin directory, else the first real directory under /usr/lib/jvm
// (links skipped) with an executable bin/java; "" when there is none.
std::string findJdk();
// A new directory under $TMPDIR (or /tmp) whose name starts with `prefix`; aborts on failure.
std::string makeScratchDirectory(const std::string& prefix);
// std::system(command): the shell's exit status.
int run(const std::string& command);
// Seconds on the steady clock.
double wallSeconds();
// The median of `values` (the mean of the middle two for an even count); 0 when empty.
double median(std::vector<double> values);
