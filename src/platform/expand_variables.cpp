#include "platform/expand_variables.h"

#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"

namespace {
enum class Value { Directory, Temp, Separator, JvmHome };

struct TokenRow {
  const char* token;
  Value value;
};

// Replacement order matters: a value inserted by an earlier row is subject to the later
// rows and to the environment pass.
constexpr TokenRow kTokens[] = {
    {"%QUOLL_EXEDIR%", Value::Directory},
    {"%VANTREL_EXEDIR%", Value::Directory},
    {"%QUOLL_TEMPDIR%", Value::Temp},
    {"%VANTREL_TEMPDIR%", Value::Temp},
    {"%QUOLL_PATHLIST_SEPARATOR%", Value::Separator},
    {"%VANTREL_PATHLIST_SEPARATOR%", Value::Separator},
    {"%QUOLL_JVM_HOME%", Value::JvmHome},
    {"%VANTREL_JVM_HOME%", Value::JvmHome},
    {"${QUOLL_EXEDIR}", Value::Directory},
    {"${VANTREL_EXEDIR}", Value::Directory},
    {"${QUOLL_TEMPDIR}", Value::Temp},
    {"${VANTREL_TEMPDIR}", Value::Temp},
    {"${QUOLL_PATHLIST_SEPARATOR}", Value::Separator},
    {"${VANTREL_PATHLIST_SEPARATOR}", Value::Separator},
    {"${QUOLL_JVM_HOME}", Value::JvmHome},
    {"${VANTREL_JVM_HOME}", Value::JvmHome},
    {"${launcher:sys.launcherDirectory}", Value::Directory},
    {"${launcher:sys.launcherTempDirectory}", Value::Temp},
    {"${launcher:sys.pathlistSeparator}", Value::Separator},
    {"${launcher:sys.jvmHome}", Value::JvmHome},
};

const std::string& valueOf(Value which, const VariableValues& values) {
  static const std::string separator = ";";
  switch (which) {
    case Value::Directory: return values.launcherDirectory;
    case Value::Temp: return values.tempDirectory;
    case Value::Separator: return separator;
    case Value::JvmHome: break;
  }
  return values.jvmHome;
}

// Only the name's letters change: the token's "${" and "}" have no case.
std::string upperCased(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool expandEnvironment(std::string& text, const std::vector<std::string>& environment) {
  for (const std::string& entry : environment) {
    const size_t equals = entry.find('=');
    // Entries without "=" are not variables; "=C:=C:\x" style entries (per-drive current
    // directories) have no name, and "${}" is no reference.
    if (equals == std::string::npos || equals == 0) continue;
    const std::string value = entry.substr(equals + 1);
    const std::string token = "${" + entry.substr(0, equals) + "}";
    if (!replaceAll(text, token, value)) return false;
    const std::string upper = upperCased(token);
    // Running the same token twice would expand a self-reference in the value a second time.
    if (upper != token && !replaceAll(text, upper, value)) return false;
  }
  return true;
}
}  // namespace

bool replaceAll(std::string& text, const std::string& token, const std::string& value) {
  if (token.empty()) return true;
  size_t at = text.find(token);
  while (at != std::string::npos) {
    if (text.size() - token.size() + value.size() > kMaxExpandedText) return false;
    text.replace(at, token.size(), value);
    logMessage("expanding %s to %s in %s.", token.c_str(), value.c_str(), text.c_str());
    at = text.find(token, at + value.size());
  }
  return true;
}

bool expandVariablesWith(std::string& text, const VariableValues& values,
                         const std::vector<std::string>& environment) {
  std::string expanded = text;
  bool fits = true;
  for (const TokenRow& row : kTokens) {
    if (!replaceAll(expanded, row.token, valueOf(row.value, values))) {
      fits = false;
      break;
    }
  }
  if (fits) fits = expandEnvironment(expanded, environment);
  if (!fits) {
    logError("expanded text would exceed %d bytes, left unexpanded: %s",
             static_cast<int>(kMaxExpandedText), text.c_str());
    return false;
  }
  text = std::move(expanded);
  return true;
}

namespace {
JvmHomeGetter jvmHomeGetter = nullptr;
std::string runTempDirectory;
}  // namespace

void setJvmHomeGetter(JvmHomeGetter getter) { jvmHomeGetter = getter; }

void setExpansionTempDirectory(const std::string& directory) { runTempDirectory = directory; }

VariableValues currentVariableValues() {
  VariableValues values;
  values.launcherDirectory = makeAbsolute("");
  values.tempDirectory = runTempDirectory;
  if (jvmHomeGetter) values.jvmHome = jvmHomeGetter();
  return values;
}
