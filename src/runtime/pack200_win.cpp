// Running the runtime's unpacker on Windows.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/process_win.h"
#include "runtime/pack200.h"

void prepareJre(const std::string& home) {
  if (!isPackedHome(home)) return;
  logMessage("Unpacking JRE");
  // What a console user sees while the jars are restored.
  fputs("Preparing JRE ...\n", stdout);
  fflush(stdout);
  for (const std::string& jar : packedRuntimeJars()) unpackJar(home, jar);
  logMessage("Unpacking JRE done");
}

void unpackJar(const std::string& home, const std::string& jar) {
  unpackFile(home, home + "\\" + jar + ".pack");
}

void unpackFile(const std::string& unpackerHome, const std::string& packedFile) {
  const std::string target = unpackTarget(packedFile);
  if (target.empty() || !fileExists(packedFile)) {
    logMessage("pack path doesn't exists");
    return;
  }
  const std::string program = unpackerProgram(unpackerHome);
  // The program name leads the command line: a program takes its first word as its own
  // name, so without it the unpacker would never see its first option (-r).
  const std::string commandLine =
      "\"" + program + "\" " + unpackArguments(packedFile, target);
  logMessage("%s", program.c_str());
  logMessage("%s", commandLine.c_str());

  ProcessOptions options;
  options.program = program.c_str();
  options.hidden = true;
  ChildProcess unpacker;
  if (!unpacker.start(commandLine, options)) {
    logMessage("could not create unpack process");
    fatalInternalError(InternalError::UnpackerStart);
  }
  logMessage("waiting for unpack200 to finish");
  // Restoring a runtime's largest jar can take minutes on a slow machine: no time limit.
  unpacker.wait(INFINITE);
  logMessage("unpack done");
}
