// The names and arguments of Pack200 restoration.
#include "runtime/pack200.h"

#include "platform/paths.h"

const std::vector<std::string>& packedRuntimeJars() {
  static const std::vector<std::string> jars = {
      "lib\\rt.jar",     "lib\\charsets.jar",         "lib\\plugin.jar",
      "lib\\deploy.jar", "lib\\ext\\localedata.jar", "lib\\jsse.jar",
  };
  return jars;
}

std::string unpackTarget(const std::string& packedFile) {
  if (packedFile.size() <= 5) return std::string();
  return packedFile.substr(0, packedFile.size() - 5);
}

std::string unpackerProgram(const std::string& unpackerHome) {
  return unpackerHome + "\\bin\\unpack200.exe";
}

std::string unpackArguments(const std::string& packedFile, const std::string& target) {
  return "-r \"" + packedFile + "\" \"" + target + "\"";
}

bool isPackedHome(const std::string& home) {
  return fileExists(home + "\\lib\\rt.jar.pack") && !fileExists(home + "\\lib\\jsse.jar");
}
