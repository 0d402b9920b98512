// Running the runtime's unpacker on Windows.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "core/error_report.h"
#include "included/pack200.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"

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

  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  if (!CreateProcessA(program.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                      NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    logMessage("could not create unpack process");
    fatalConfigError(CFG_MSG_INTERNAL_ERROR, "20");
  }
  logMessage("waiting for unpack200 to finish");
  // Restoring a runtime's largest jar can take minutes on a slow machine: no time limit.
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  logMessage("unpack done");
}
