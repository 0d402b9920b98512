// Collecting the VM options and reading options files.
#include "jvm/vm_options.h"

#include <cstring>

#include "base/config_table.h"
#include "base/text.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "platform/paths.h"

namespace {
constexpr char kIncludeOptions[] = "-include-options";
constexpr char kIncludePrefix[] = "-include-options ";
constexpr char kReplacePrefix[] = "-classpath ";
constexpr char kPrependPrefix[] = "-classpath/p ";
constexpr char kAppendPrefix[] = "-classpath/a ";
constexpr size_t kMaxConfiguredText = 8191;  // CFG_VM_OPTIONS is read into 8192 bytes

bool startsWith(const std::string& text, const char* prefix, std::string& rest) {
  const size_t n = std::strlen(prefix);
  if (text.compare(0, n, prefix) != 0) return false;
  rest = text.substr(n);
  return true;
}

// One physical read: up to kMaxOptionLine characters, through the line feed when one comes
// first. False at end of file with nothing read.
bool readLine(FILE* file, std::string& line) {
  line.clear();
  int c = 0;
  while (line.size() < kMaxOptionLine && (c = fgetc(file)) != EOF) {
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line.empty();
}

// Whether the include may be read; logs why not.
bool mayInclude(const std::string& path, const VmOptionCollector& collector) {
  for (const std::string& open : collector.filesBeingRead) {
    if (open == path) {
      logError("vmoptions file <%s> is already being read, not included again", path.c_str());
      return false;
    }
  }
  if (collector.filesBeingRead.size() >= kMaxOptionsFileDepth) {
    logError("vmoptions files nested deeper than %d, not including <%s>",
             static_cast<int>(kMaxOptionsFileDepth), path.c_str());
    return false;
  }
  return true;
}

void readOptionsFileNamed(FILE* file, const std::string& path, VmOptionCollector& collector) {
  if (file == nullptr) return;
  FileIdentity identity;
  const bool identified = fileIdentityOf(file, identity);
  if (identified) {
    for (const FileIdentity& open : collector.identitiesBeingRead) {
      if (open == identity) {
        logError("vmoptions file <%s> is already being read, not included again", path.c_str());
        fclose(file);
        return;
      }
    }
  }
  collector.filesBeingRead.push_back(path);
  if (identified) collector.identitiesBeingRead.push_back(identity);
  readOptionsFile(file, collector);
  if (identified) collector.identitiesBeingRead.pop_back();
  collector.filesBeingRead.pop_back();
}

void includeOptionsFile(std::string path, VmOptionCollector& collector) {
  if (path.size() > kMaxOptionLine) path.resize(kMaxOptionLine);
  expandVariables(path);
  if (!mayInclude(path, collector)) return;
  FILE* file = fopen(path.c_str(), "rt");
  logMessage("adding vmoptions from <%s> (%p)", path.c_str(), static_cast<void*>(file));
  readOptionsFileNamed(file, path, collector);
}

void addConfiguredOptions(VmOptionCollector& collector) {
  std::string configured = getConfigText(CFG_VM_OPTIONS);
  if (configured.size() > kMaxConfiguredText) configured.resize(kMaxConfiguredText);
  expandVariables(configured);
  std::vector<std::string> tokens;
  splitNarrowCommandLine(configured, tokens);
  logMessage("adding options\n");
  for (size_t i = 0; i < tokens.size(); ++i) {
    // Blanks separate tokens, so an include names its file in the next one.
    if (tokens[i] == kIncludeOptions && i + 1 < tokens.size()) {
      processOption(tokens[i] + " " + tokens[i + 1], collector);
      ++i;
    } else {
      processOption(tokens[i], collector);
    }
  }
}

void addJArguments(const std::vector<std::u16string>& arguments, VmOptionCollector& collector) {
  if (getConfigInt(CFG_ACCEPT_J_ARGUMENTS) == 0) return;
  for (const std::u16string& argument : arguments) {
    if (argument.compare(0, 2, u"-J") == 0) {
      processOption(wideToNarrowLossy(argument.substr(2)), collector);
    }
  }
}

void addDefaultOptionsFile(const std::string& modulePath, VmOptionCollector& collector) {
  const std::string longPath = longPathOf(modulePath);
  const std::pair<std::string, std::string> candidates = defaultVmOptionsCandidates(longPath);
  std::string path = candidates.first;
  FILE* file = fopen(path.c_str(), "rt");
  logMessage("vmoptions: exe file: %s, long: %s, opts1: %s, file: %p", modulePath.c_str(),
             longPath.c_str(), candidates.first.c_str(), static_cast<void*>(file));
  if (file == nullptr) {
    path = candidates.second;
    file = fopen(path.c_str(), "rt");
    logMessage("vmoptions: opts2: %s, file: %p", path.c_str(), static_cast<void*>(file));
  }
  logMessage("default vmoptions file: %p", static_cast<void*>(file));
  readOptionsFileNamed(file, path, collector);
}
}  // namespace

bool cleanOptionLine(std::string& line) {
  // A NUL ends the text, as it would for any C consumer of the option.
  const size_t nul = line.find('\0');
  if (nul != std::string::npos) line.resize(nul);
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) {
    line.clear();
    return false;
  }
  line.erase(0, first);
  line.erase(line.find_last_not_of(' ') + 1);
  return line[0] != '#';
}

std::pair<std::string, std::string> defaultVmOptionsCandidates(const std::string& longModulePath) {
  const size_t keep = longModulePath.size() >= 4 ? longModulePath.size() - 4 : 0;
  return {longModulePath.substr(0, keep) + ".vmoptions", longModulePath + ".vmoptions"};
}

void processOption(const std::string& line, VmOptionCollector& collector) {
  std::string rest;
  if (startsWith(line, kIncludePrefix, rest)) {
    includeOptionsFile(rest, collector);
  } else if (startsWith(line, kReplacePrefix, rest)) {
    collector.overrides.replace = rest;
  } else if (startsWith(line, kPrependPrefix, rest)) {
    collector.overrides.prepend = rest;
  } else if (startsWith(line, kAppendPrefix, rest)) {
    collector.overrides.append = rest;
  } else {
    collector.options.push_back(line);
  }
}

void readOptionsFile(FILE* file, VmOptionCollector& collector) {
  if (file == nullptr) return;
  std::string line;
  while (readLine(file, line)) {
    if (!cleanOptionLine(line)) continue;
    expandVariables(line);
    processOption(line, collector);
  }
  fclose(file);
}

std::vector<std::string> collectVmOptionList(const std::vector<std::string>& launcherProperties,
                                             const std::vector<std::u16string>& arguments,
                                             const std::string& modulePath,
                                             const std::string& launcherTempDir) {
  VmOptionCollector collector;
  collector.options = launcherProperties;
  addConfiguredOptions(collector);
  addJArguments(arguments, collector);
  addDefaultOptionsFile(modulePath, collector);
  collector.options.push_back(composeClassPath(collector.overrides, launcherTempDir));
  return collector.options;
}

void fillVmCreationArguments(std::vector<std::string> options, VmCreationArguments& out) {
  out.optionTexts = std::move(options);
  out.options.assign(out.optionTexts.size(), JavaVMOption{});
  logMessage("vmoption count %d", static_cast<int>(out.optionTexts.size()));
  for (size_t i = 0; i < out.optionTexts.size(); ++i) {
    logMessage("vmoption %d: %s", static_cast<int>(i), out.optionTexts[i].c_str());
    out.options[i].optionString = &out.optionTexts[i][0];
    out.options[i].extraInfo = nullptr;
  }
  out.initArgs = JavaVMInitArgs{};
  out.initArgs.version = JNI_VERSION_1_2;
  out.initArgs.nOptions = static_cast<jint>(out.options.size());
  out.initArgs.options = out.options.empty() ? nullptr : out.options.data();
  out.initArgs.ignoreUnrecognized = JNI_TRUE;
}

void collectVmOptions(const std::vector<std::string>& launcherProperties,
                      const std::vector<std::u16string>& arguments, const std::string& launcherTempDir,
                      VmCreationArguments& out) {
  fillVmCreationArguments(collectVmOptionList(launcherProperties, arguments, getModulePath(), launcherTempDir),
                          out);
}
