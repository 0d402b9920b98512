// Composing the class path option.
#include "jvm/class_path.h"

#include "base/config_table.h"
#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"

namespace {
constexpr char kOptionPrefix[] = "-Djava.class.path=";
constexpr size_t kMaxConfiguredText = 8191;  // CFG_CLASSPATH is read into 8192 bytes

const ClassPathSystem kPlatformSystem = {
    &fileExists, &listDirectory, &makeAbsolute, &absolutizePathList, &expandVariables,
    &readClassPathVariable,
};
const ClassPathSystem* testSystem = nullptr;

const ClassPathSystem& classPathSystem() { return testSystem != nullptr ? *testSystem : kPlatformSystem; }

// Every growth of the class path goes through here, so an over-long one is refused at the
// first text that does not fit, before anything large is built.
void append(std::string& classPath, const std::string& text) {
  if (text.size() > kMaxClassPathOption - classPath.size()) {
    logError("class path would exceed %d characters at: %s", static_cast<int>(kMaxClassPathOption),
             text.substr(0, 200).c_str());
    fatalError(kClassPathTooLong);
  }
  classPath += text;
}

bool endsWithSeparator(const std::string& text) { return !text.empty() && text.back() == ';'; }

// One CFG_CLASSPATH entry: type letter, mandatory digit, path or variable name.
void appendEntry(std::string& classPath, const std::string& entry) {
  const char type = entry[0];
  const bool mandatory = entry.size() > 1 && entry[1] == '1';
  std::string path = entry.size() > 2 ? entry.substr(2) : std::string();
  classPathSystem().expandVariables(path);

  bool found = false;
  switch (type) {
    case 'A':
    case 'D': {
      const std::string value = classPathSystem().absolutizePathList(path);
      found = classPathSystem().fileExists(value);
      // Also when missing: the entry may appear while the program runs.
      append(classPath, value + ";");
      break;
    }
    case 'S': {
      const std::string directory = classPathSystem().makeAbsolute(path);
      const bool jars = appendArchives(classPath, directory, "jar");
      const bool zips = appendArchives(classPath, directory, "zip");
      found = jars || zips;
      break;
    }
    case 'E': {
      std::string value;
      const VariableRead read = classPathSystem().readVariable(path, value);
      if (read == VariableRead::Value) {
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
          value = value.substr(1, value.size() - 2);
        }
        append(classPath, value);
        if (!endsWithSeparator(value)) append(classPath, ";");
        found = true;
      } else if (mandatory && read == VariableRead::Undefined) {
        fatalConfigError(CFG_MSG_ENV_VAR_UNDEFINED, path.c_str());
      }
      break;
    }
    default:
      break;
  }
  if (mandatory && !found) fatalConfigError(CFG_MSG_FILE_NOT_FOUND, path.c_str());
}

void appendConfiguredEntries(std::string& classPath) {
  std::string configured = getConfigText(CFG_CLASSPATH);
  if (configured.size() > kMaxConfiguredText) configured.resize(kMaxConfiguredText);
  logMessage("classpath entry %s", configured.c_str());
  for (const std::string& entry : splitList(configured, ';')) appendEntry(classPath, entry);
}
}  // namespace

bool appendArchives(std::string& classPath, const std::string& directory,
                    const std::string& extension) {
  if (!classPathSystem().fileExists(directory)) return false;
  for (const std::string& name : classPathSystem().listDirectory(directory, extension)) {
    append(classPath, classPathSystem().makeAbsolute(directory + "\\" + name) + ";");
  }
  return true;
}

std::string composeClassPath(const ClassPathOverrides& overrides, const std::string& launcherTempDir) {
  std::string classPath = kOptionPrefix;
  if (!overrides.prepend.empty()) append(classPath, overrides.prepend + ";");
  appendArchives(classPath, launcherTempDir, "jar");
  appendArchives(classPath, launcherTempDir, "zip");
  const std::string userDirectory = launcherTempDir + "\\user";
  appendArchives(classPath, userDirectory, "jar");
  appendArchives(classPath, userDirectory, "zip");
  if (!overrides.replace.empty()) {
    append(classPath, overrides.replace);
  } else {
    appendConfiguredEntries(classPath);
  }
  if (!overrides.append.empty()) {
    if (!endsWithSeparator(classPath)) append(classPath, ";");
    append(classPath, overrides.append);
  }
  return classPath;
}

std::string posixClassPathOption(const std::string& option) {
  const size_t prefix = sizeof kOptionPrefix - 1;
  if (option.compare(0, prefix, kOptionPrefix) != 0) return option;
  std::string out = option;
  for (size_t i = prefix; i < out.size(); ++i) {
    if (out[i] == ';') out[i] = ':';
    if (out[i] == '\\') out[i] = '/';
  }
  return out;
}

void setClassPathSystemForTesting(const ClassPathSystem* system) { testSystem = system; }
