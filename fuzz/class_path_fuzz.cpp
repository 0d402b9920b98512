// The class path option: CFG_CLASSPATH entries (A, D, S, E with the mandatory digit), the
// three overrides of option lines, archives listed in directories. Input lines: CFG_CLASSPATH,
// the replace, prepend and append overrides, then "NAME=value" variables, "+path" for paths
// that exist and "*name" for archive names every listed directory holds.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "fuzz_support.h"
#include "jvm/class_path.h"
#include "platform/expand_variables.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

namespace {
struct World {
  std::vector<std::string> environment;
  std::set<std::string> existing;
  std::vector<std::string> archives;
};
World world;

bool exists(const std::string& path) { return world.existing.count(path) != 0; }
std::vector<std::string> list(const std::string&, const std::string&) { return world.archives; }
std::string absolute(const std::string& path) {
  if (path.size() >= 2 && (path[1] == ':' || (path[0] == '\\' && path[1] == '\\'))) return path;
  return "C:\\setup\\" + path;
}
std::string absoluteList(const std::string& list) {
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i <= list.size(); ++i) {
    if (i < list.size() && list[i] != ';') continue;
    if (i > start) {
      if (!out.empty()) out += ';';
      out += absolute(list.substr(start, i - start));
    }
    start = i + 1;
  }
  return out;
}
void expand(std::string& text) {
  expandVariablesWith(text, VariableValues{"C:\\setup\\", "C:\\tmp\\qlz1.tmp_dir", ""},
                      world.environment);
}
VariableRead readVariable(const std::string& name, std::string& value) {
  for (const std::string& entry : world.environment) {
    if (entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 &&
        entry[name.size()] == '=') {
      value = entry.substr(name.size() + 1);
      return value.empty() ? VariableRead::Empty : VariableRead::Value;
    }
  }
  return VariableRead::Undefined;
}
const ClassPathSystem kSystem = {&exists, &list, &absolute, &absoluteList, &expand, &readVariable};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines = splitInput(data, size, "\n", 256);
  lines.resize(std::max<size_t>(lines.size(), 4));
  world = World{};
  for (size_t i = 4; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '+') {
      world.existing.insert(line.substr(1));
    } else if (!line.empty() && line[0] == '*') {
      world.archives.push_back(line.substr(1));
    } else {
      world.environment.push_back(line);
    }
  }
  world.existing.insert("C:\\tmp\\qlz1.tmp_dir");
  configTable().narrow[CFG_CLASSPATH] = lines[0];
  ClassPathOverrides overrides;
  overrides.replace = lines[1];
  overrides.prepend = lines[2];
  overrides.append = lines[3];

  setClassPathSystemForTesting(&kSystem);
  try {
    const std::string option = composeClassPath(overrides, "C:\\tmp\\qlz1.tmp_dir");
    fuzzCheck(option.compare(0, 18, "-Djava.class.path=") == 0, "option without its name");
    fuzzCheck(option.size() <= kMaxClassPathOption, "class path beyond its limit");
  } catch (const FuzzExit& e) {
    fuzzCheck(e.code == 1, "class path failure with a wrong exit code");
  }
  setClassPathSystemForTesting(nullptr);
  fuzzInputDone();
  return 0;
}
