#include "description.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <set>

#include <nlohmann/json.hpp>

#include "binary_file.h"
#include "code_page.h"
#include "base/config_table.h"
#include "payload/extract.h"
#include "platform/sha256.h"

using Json = nlohmann::ordered_json;

const std::vector<FixedKey>& fixedDescriptionKeys() {
  static const std::vector<FixedKey> keys = {
      {"files", "array",
       "included files in payload order: each a source path (named by its base name) or "
       "{\"source\": path, \"name\": \"dir\\\\name\"}; at most one directory level"},
      {"unextracted", "string", "path of a file stored raw after the included files; the launcher never reads it"},
      {"messages", "object", "message texts by key (see Messages); a message not given gets its English default"},
      {"records", "object", "raw narrow records by numeric id, {\"108\": \"text\"}, for ids without a key"},
      {"wideRecords", "object", "raw wide records by numeric id, {\"20099\": \"text\"}, for ids without a key"},
      {"codePage", "integer", "Windows code page of the narrow records (default 1252); text it cannot hold is refused. "
                                  "A Linux launcher's narrow records are UTF-8"},
      {"checksum", "boolean", "false: no integrity data (default true: CRC-32 of the payload)"},
      {"stub", "string", "launcher executable to append the payload to (the --stub option wins)"},
      {"icon", "string",
       "path of an .ico file whose images replace the launcher's icon (group 1001): the media file's icon in "
       "Explorer, on its dialogs and in the taskbar"},
      {"runtime", "string or object",
       "a Java runtime to bundle: its directory (\"jre\" or {\"dir\": \"jre\"}), or {\"jlink\": {\"modules\": [...], "
       "\"jdk\": JDK home, \"options\": [...]}}; packed as the included file jre.tar.gz, with includedJreSize set"},
      {"versionInfo", "object",
       "version information of the media file (Properties > Details in Explorer); keys below, under Version information"},
      {"launcherRuntime", "boolean",
       "true: the runtime jar that mediapack ships with is the first included file, named runtime.jar (default "
       "false)"},
  };
  return keys;
}

namespace {

constexpr size_t kMaxDescriptionBytes = 16 << 20;

std::string inQuotes(const std::string& key) { return "\"" + key + "\""; }

// Edit distance, case-insensitive, for "did you mean" hints.
size_t distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t above = row[j];
      bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                  std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string closest(const std::string& key, const std::vector<std::string>& candidates) {
  std::string best;
  size_t bestDistance = SIZE_MAX;
  for (const std::string& c : candidates) {
    size_t d = distance(key, c);
    if (d < bestDistance) {
      bestDistance = d;
      best = c;
    }
  }
  size_t limit = std::max<size_t>(1, std::min(key.size(), best.size()) / 3);
  return bestDistance <= limit ? best : std::string();
}

const RecordInfo* recordByKey(const std::string& key, RecordGroup group) {
  for (const RecordInfo& r : allRecords()) {
    if (r.group == group && key == r.key) return &r;
  }
  return nullptr;
}

std::vector<std::string> keysOfGroup(RecordGroup group) {
  std::vector<std::string> keys;
  for (const RecordInfo& r : allRecords()) {
    if (r.group == group) keys.push_back(r.key);
  }
  return keys;
}

const char* typeName(const Json& v) {
  switch (v.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    case Json::value_t::number_float: return "a fractional number";
    default: return "a number";
  }
}

// Decimal text to a 32-bit integer, strictly: optional sign, at least one digit, no blanks.
bool parseInt32(const std::string& text, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t(INT32_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

std::string joinPath(const std::string& base, const std::string& path) {
  if (path.empty() || isAbsolutePath(path) || base.empty() || base == ".") return path;
  return isPathSeparator(base.back()) ? base + path : base + "/" + path;
}

size_t lastSeparator(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (isPathSeparator(path[i - 1])) return i - 1;
  }
  return std::string::npos;
}

std::string baseName(const std::string& path) {
  size_t slash = lastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
  size_t slash = lastSeparator(path);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// UTF-8 (already valid: it came through the JSON parser) to code points.
std::u32string decodeUtf8(const std::string& text) {
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    unsigned char lead = static_cast<unsigned char>(text[i]);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 1;
    if (i + length > text.size()) length = 1;
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    out.push_back(cp);
    i += length;
  }
  return out;
}

class DescriptionReader {
 public:
  DescriptionReader(const std::string& baseDir, const std::string& label, BuildPlan& plan,
                    const ShippedRuntimeJar& runtimeJar)
      : baseDir_(baseDir), label_(label), plan_(plan), runtimeJar_(runtimeJar) {}

  Status read(const Json& root);

 private:
  Status fail(const std::string& what) const { return Status::failure(kExitBadInput, label_ + ": " + what); }

  Status readCodePage(const Json& root);
  Status readTopRecord(const RecordInfo& record, const Json& value);
  Status readMessages(const Json& value);
  Status readFiles(const Json& value);
  Status readRawRecords(const Json& value, bool wide);
  Status readUnextracted(const Json& value);
  Status readIcon(const Json& value);
  Status readVersionInfo(const Json& value);
  Status addLauncherRuntime();
  std::string fileLabel(size_t index) const;
  Status readRuntime(const Json& value);
  Status readJlink(const Json& value);
  Status addRuntimeFile();
  Status checkDownloadRecords() const;
  Status addText(int32_t id, const std::string& where, const Json& value, bool wide);
  Status encode(const std::string& where, const std::string& utf8, bool wide, size_t limit, std::string& out) const;
  Status checkReadable(const std::string& where, const std::string& path, int64_t& size) const;
  Status deriveFileRecords();

  std::string baseDir_;
  std::string label_;
  BuildPlan& plan_;
  const ShippedRuntimeJar& runtimeJar_;
  bool launcherRuntime_ = false;
  size_t runtimeFiles_ = 0;  // included files put before those of "files" (the runtime jar)
  std::map<int32_t, std::string> narrowSetBy_;  // id -> key that set it, for clash messages
  std::map<int32_t, std::string> wideSetBy_;
};

Status DescriptionReader::read(const Json& root) {
  if (!root.is_object()) return fail("the description must be a JSON object, not " + std::string(typeName(root)));
  Status s = readCodePage(root);
  if (!s.ok()) return s;

  std::vector<std::string> topKeys = keysOfGroup(RecordGroup::Top);
  for (const FixedKey& k : fixedDescriptionKeys()) topKeys.push_back(k.key);
  bool sawMessages = false;
  for (auto it = root.begin(); it != root.end(); ++it) {
    const std::string& key = it.key();
    const Json& value = it.value();
    if (key == "codePage") continue;
    if (const RecordInfo* record = recordByKey(key, RecordGroup::Top)) {
      s = readTopRecord(*record, value);
    } else if (key == "messages") {
      sawMessages = true;
      s = readMessages(value);
    } else if (key == "files") {
      s = readFiles(value);
    } else if (key == "unextracted") {
      s = readUnextracted(value);
    } else if (key == "records" || key == "wideRecords") {
      s = readRawRecords(value, key == "wideRecords");
    } else if (key == "checksum") {
      if (!value.is_boolean()) return fail("\"checksum\" must be true or false, not " + std::string(typeName(value)));
      plan_.checksum = value.get<bool>();
    } else if (key == "icon") {
      s = readIcon(value);
    } else if (key == "versionInfo") {
      s = readVersionInfo(value);
    } else if (key == "launcherRuntime") {
      if (!value.is_boolean()) return fail("\"launcherRuntime\" must be true or false, not " + std::string(typeName(value)));
      launcherRuntime_ = value.get<bool>();
    } else if (key == "runtime") {
      s = readRuntime(value);
    } else if (key == "stub") {
      if (!value.is_string() || value.get<std::string>().empty()) {
        return fail("\"stub\" must be a non-empty path string");
      }
      plan_.stub = joinPath(baseDir_, value.get<std::string>());
    } else {
      std::string hint;
      if (recordByKey(key, RecordGroup::Message)) {
        hint = " (it is a message: put it inside \"messages\")";
      } else {
        std::string near = closest(key, topKeys);
        if (!near.empty()) hint = " (did you mean " + inQuotes(near) + "?)";
      }
      return fail("unknown key " + inQuotes(key) + hint);
    }
    if (!s.ok()) return s;
  }
  if (!sawMessages) {
    s = readMessages(Json::object());
    if (!s.ok()) return s;
  }
  s = checkDownloadRecords();
  if (!s.ok()) return s;
  if (launcherRuntime_) {
    s = addLauncherRuntime();
    if (!s.ok()) return s;
  }
  s = addRuntimeFile();
  if (!s.ok()) return s;
  return deriveFileRecords();
}

Status DescriptionReader::readCodePage(const Json& root) {
  auto it = root.find("codePage");
  if (it == root.end()) return Status::success();
  if (!it->is_number_integer()) {
    return fail("\"codePage\" must be an integer such as 1252, not " + std::string(typeName(*it)));
  }
  int64_t number = it->get<int64_t>();
  if (number <= 0 || number > 65535 || codePageCharset(static_cast<int>(number)).empty()) {
    return fail("\"codePage\": code page " + std::to_string(number) + " is not a narrow code page known here");
  }
  plan_.codePage = static_cast<int>(number);
  return Status::success();
}

Status DescriptionReader::encode(const std::string& where, const std::string& utf8, bool wide, size_t limit,
                                 std::string& out) const {
  if (utf8.find('\0') != std::string::npos) {
    return fail(where + ": the text contains a NUL character, which would end it early");
  }
  Conversion c;
  if (wide) {
    c = utf8ToUtf16le(utf8);
  } else if (plan_.narrowUtf8) {
    // The description's text is UTF-8 already (the JSON reader has checked it).
    c.ok = true;
    c.output = utf8;
  } else {
    c = utf8ToCodePage(utf8, plan_.codePage);
  }
  if (!c.ok) {
    if (wide) return fail(where + ": the text cannot be converted to UTF-16 (" + c.detail + ")");
    return fail(where + ": the text cannot be written in code page " + std::to_string(plan_.codePage) + " (" +
                c.detail + " at byte " + std::to_string(c.badOffset) + ")");
  }
  size_t length = wide ? c.output.size() / 2 : c.output.size();
  if (length > limit) {
    return fail(where + ": the text is " + std::to_string(length) + (wide ? " UTF-16 units" : " bytes") +
                " long; the launcher reads at most " + std::to_string(limit));
  }
  out = std::move(c.output);
  return Status::success();
}

Status DescriptionReader::addText(int32_t id, const std::string& where, const Json& value,
                                  bool wide) {
  if (!value.is_string()) return fail(where + " must be a string, not " + std::string(typeName(value)));
  size_t limit = id == CFG_PREFERRED_VM_TYPE && !wide ? kMaxPreferredVmTypeLength : kMaxRecordLength;
  std::string bytes;
  Status s = encode(where, value.get<std::string>(), wide, limit, bytes);
  if (!s.ok()) return s;
  auto& setBy = wide ? wideSetBy_ : narrowSetBy_;
  auto [it, inserted] = setBy.emplace(id, where);
  if (!inserted) return fail(where + " sets record " + std::to_string(id) + ", which " + it->second + " sets too");
  (wide ? plan_.wide : plan_.narrow)[id] = std::move(bytes);
  return Status::success();
}

Status DescriptionReader::readTopRecord(const RecordInfo& record, const Json& value) {
  std::string where = inQuotes(record.key) + " (" + record.name + ")";
  if (record.kind != RecordKind::Int) return addText(record.id, where, value, record.kind == RecordKind::Wide);

  int64_t number = 0;
  int32_t parsed = 0;
  if (value.is_boolean()) {
    number = value.get<bool>() ? 1 : 0;
  } else if (value.is_number_integer()) {
    number = value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(INT64_MAX) ? INT64_MAX
                                                                                       : value.get<int64_t>();
    if (number < INT32_MIN || number > INT32_MAX) return fail(where + ": " + value.dump() + " is out of the 32-bit range");
  } else if (value.is_string() && parseInt32(value.get<std::string>(), parsed)) {
    number = parsed;
  } else if (value.is_string()) {
    return fail(where + ": \"" + value.get<std::string>() + "\" is not a whole number");
  } else {
    return fail(where + " must be an integer, a boolean or a numeric string, not " + std::string(typeName(value)));
  }
  return addText(record.id, where, Json(std::to_string(number)), false);
}

Status DescriptionReader::readMessages(const Json& value) {
  if (!value.is_object()) return fail("\"messages\" must be an object, not " + std::string(typeName(value)));
  std::vector<std::string> messageKeys = keysOfGroup(RecordGroup::Message);
  for (auto it = value.begin(); it != value.end(); ++it) {
    const RecordInfo* record = recordByKey(it.key(), RecordGroup::Message);
    if (!record) {
      std::string hint;
      if (recordByKey(it.key(), RecordGroup::Top)) {
        hint = " (it is not a message: put it at the top level)";
      } else {
        std::string near = closest(it.key(), messageKeys);
        if (!near.empty()) hint = " (did you mean " + inQuotes(near) + "?)";
      }
      return fail("unknown message key " + inQuotes("messages." + it.key()) + hint);
    }
    Status s = addText(record->id, inQuotes("messages." + it.key()) + " (" + record->name + ")", it.value(),
                       record->kind == RecordKind::Wide);
    if (!s.ok()) return s;
  }
  // Every message the description leaves out gets its English default.
  for (const RecordInfo& r : allRecords()) {
    if (r.group != RecordGroup::Message || value.contains(r.key)) continue;
    Status s = addText(r.id, std::string("the default of ") + inQuotes("messages." + std::string(r.key)), Json(r.defaultText),
                       r.kind == RecordKind::Wide);
    if (!s.ok()) return s;
  }
  return Status::success();
}

Status DescriptionReader::checkReadable(const std::string& where, const std::string& path, int64_t& size) const {
  InputFile file;
  std::string error;
  if (!file.open(path, error)) return fail(where + ": cannot read " + path + ": " + error);
  size = file.size();
  return Status::success();
}

Status DescriptionReader::readFiles(const Json& value) {
  if (!value.is_array()) return fail("\"files\" must be an array, not " + std::string(typeName(value)));
  for (size_t i = 0; i < value.size(); ++i) {
    const Json& entry = value[i];
    std::string where = "\"files[" + std::to_string(i) + "]\"";
    IncludedFile file;
    std::string source;
    if (entry.is_string()) {
      source = entry.get<std::string>();
      file.name = baseName(source);
    } else if (entry.is_object()) {
      for (auto it = entry.begin(); it != entry.end(); ++it) {
        if (it.key() != "source" && it.key() != "name") {
          return fail(where + ": unknown key " + inQuotes(it.key()) + " (an entry has \"source\" and \"name\")");
        }
        if (!it.value().is_string()) {
          return fail(where + "." + it.key() + " must be a string, not " + std::string(typeName(it.value())));
        }
      }
      if (!entry.contains("source")) return fail(where + " has no \"source\"");
      source = entry["source"].get<std::string>();
      file.name = entry.contains("name") ? entry["name"].get<std::string>() : baseName(source);
    } else {
      return fail(where + " must be a path string or an object, not " + std::string(typeName(entry)));
    }
    if (source.empty()) return fail(where + ": the source path is empty");
    std::replace(file.name.begin(), file.name.end(), '/', '\\');
    std::string problem = includedNameProblem(file.name);
    if (!problem.empty()) return fail(where + ": the name \"" + file.name + "\" " + problem);
    file.source = joinPath(baseDir_, source);
    Status s = checkReadable(where, file.source, file.size);
    if (!s.ok()) return s;
    plan_.files.push_back(std::move(file));
  }
  return Status::success();
}

Status DescriptionReader::readUnextracted(const Json& value) {
  if (!value.is_string() || value.get<std::string>().empty()) {
    return fail("\"unextracted\" must be a non-empty path string");
  }
  plan_.unextracted = joinPath(baseDir_, value.get<std::string>());
  return checkReadable("\"unextracted\"", plan_.unextracted, plan_.unextractedSize);
}

Status DescriptionReader::readIcon(const Json& value) {
  if (!value.is_string() || value.get<std::string>().empty()) return fail("\"icon\" must be a non-empty path string");
  plan_.icon = joinPath(baseDir_, value.get<std::string>());
  std::string problem;
  if (!readIconFile(plan_.icon, plan_.iconImages, problem)) return fail("\"icon\": " + plan_.icon + ": " + problem);
  return Status::success();
}

Status DescriptionReader::readVersionInfo(const Json& value) {
  if (!value.is_object()) return fail("\"versionInfo\" must be an object, not " + std::string(typeName(value)));
  VersionInfo& info = plan_.versionInfo;
  std::vector<std::string> keys;
  for (const VersionKey& k : versionInfoKeys()) keys.push_back(k.key);
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (std::find(keys.begin(), keys.end(), it.key()) == keys.end()) {
      std::string near = closest(it.key(), keys);
      return fail("unknown key " + inQuotes("versionInfo." + it.key()) +
                  (near.empty() ? std::string() : " (did you mean " + inQuotes(near) + "?)"));
    }
  }
  auto where = [](const std::string& key) { return inQuotes("versionInfo." + key); };
  if (auto language = value.find("language"); language != value.end()) {
    if (!language->is_number_integer() || language->get<int64_t>() < 0 || language->get<int64_t>() > 0xFFFF) {
      return fail(where("language") + " must be a language id from 0 to 65535, such as 1033");
    }
    info.language = static_cast<uint16_t>(language->get<int64_t>());
  }
  auto version = [&](const char* key, uint16_t parts[4]) {
    const Json& v = value[key];
    if (!v.is_string()) return fail(where(key) + " must be a string such as \"1.2.3.4\", not " + typeName(v));
    if (!parseVersionNumber(v.get<std::string>(), parts)) {
      return fail(where(key) + ": \"" + v.get<std::string>() +
                  "\" is not a version such as \"1.2.3.4\" (one to four numbers from 0 to 65535)");
    }
    return Status::success();
  };
  if (!value.contains("fileVersion")) return fail(where("fileVersion") + " is missing; a version resource needs it");
  Status s = version("fileVersion", info.fileVersion);
  if (!s.ok()) return s;
  if (value.contains("productVersion")) {
    s = version("productVersion", info.productVersion);
    if (!s.ok()) return s;
  } else {
    std::copy(info.fileVersion, info.fileVersion + 4, info.productVersion);
  }
  for (const VersionKey& k : versionInfoKeys()) {
    if (*k.resource == '\0') continue;
    bool isProductVersion = std::string(k.key) == "productVersion";
    const Json* v = value.contains(k.key) ? &value[k.key] : isProductVersion ? &value["fileVersion"] : nullptr;
    if (!v) continue;
    if (!v->is_string()) return fail(where(k.key) + " must be a string, not " + std::string(typeName(*v)));
    std::string utf16;
    s = encode(where(k.key), v->get<std::string>(), true, SIZE_MAX, utf16);
    if (!s.ok()) return s;
    std::u16string text;
    for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
      text.push_back(static_cast<char16_t>(static_cast<uint8_t>(utf16[i]) | static_cast<uint8_t>(utf16[i + 1]) << 8));
    }
    info.strings.emplace_back(k.resource, std::move(text));
  }
  if (versionResource(info).empty()) {
    return fail("\"versionInfo\": the texts are too long; a version resource holds at most 65535 bytes");
  }
  plan_.hasVersionInfo = true;
  return Status::success();
}

Status DescriptionReader::readRuntime(const Json& value) {
  RuntimeSource& runtime = plan_.runtime;
  runtime.present = true;
  const Json* dir = nullptr;
  if (value.is_string()) {
    dir = &value;
  } else if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (it.key() != "dir" && it.key() != "jlink") {
        return fail("unknown key " + inQuotes("runtime." + it.key()) + " (\"runtime\" has \"dir\" or \"jlink\")");
      }
    }
    if (value.contains("dir") == value.contains("jlink")) {
      return fail("\"runtime\" needs exactly one of \"dir\" (a runtime directory) and \"jlink\"");
    }
    if (value.contains("jlink")) return readJlink(value["jlink"]);
    dir = &value["dir"];
  } else {
    return fail("\"runtime\" must be a directory path or an object, not " + std::string(typeName(value)));
  }
  if (!dir->is_string() || dir->get<std::string>().empty()) {
    return fail("\"runtime\": the runtime directory must be a non-empty path string");
  }
  runtime.dir = joinPath(baseDir_, dir->get<std::string>());
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::u8path(runtime.dir), ec)) {
    return fail("\"runtime\": " + runtime.dir + " is not a directory");
  }
  return Status::success();
}

Status DescriptionReader::readJlink(const Json& value) {
  const std::string where = "\"runtime.jlink\"";
  if (!value.is_object()) return fail(where + " must be an object, not " + std::string(typeName(value)));
  JlinkRequest& request = plan_.runtime.request;
  plan_.runtime.jlink = true;
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (it.key() != "modules" && it.key() != "jdk" && it.key() != "options") {
      return fail("unknown key " + inQuotes("runtime.jlink." + it.key()) +
                  " (it has \"modules\", \"jdk\" and \"options\")");
    }
  }
  auto strings = [&](const char* key, std::vector<std::string>& out) {
    const Json& list = value[key];
    const std::string at = inQuotes(std::string("runtime.jlink.") + key);
    if (!list.is_array()) return fail(at + " must be an array of strings, not " + std::string(typeName(list)));
    for (const Json& item : list) {
      if (!item.is_string() || item.get<std::string>().empty()) return fail(at + " must hold non-empty strings only");
      out.push_back(item.get<std::string>());
    }
    return Status::success();
  };
  if (!value.contains("modules")) return fail(where + " needs \"modules\", the modules the runtime holds");
  Status s = strings("modules", request.modules);
  if (!s.ok()) return s;
  if (request.modules.empty()) return fail("\"runtime.jlink.modules\" is empty; name at least one module");
  for (const std::string& m : request.modules) {
    if (m.find(',') != std::string::npos || m.find(' ') != std::string::npos) {
      return fail("\"runtime.jlink.modules\": \"" + m + "\" is not one module name (give each module on its own)");
    }
  }
  if (!value.contains("jdk") || !value["jdk"].is_string() || value["jdk"].get<std::string>().empty()) {
    return fail("\"runtime.jlink.jdk\" must be the path of the JDK whose jlink makes the runtime");
  }
  request.jdk = joinPath(baseDir_, value["jdk"].get<std::string>());
  if (value.contains("options")) {
    s = strings("options", request.options);
    if (!s.ok()) return s;
  } else {
    request.options = defaultJlinkOptions();
  }
  return Status::success();
}

// A downloaded runtime is loaded into the installer's process: the description must say what
// it expects when the network can change it on the way.
Status DescriptionReader::checkDownloadRecords() const {
  auto text = [&](int32_t id) {
    auto it = plan_.narrow.find(id);
    return it == plan_.narrow.end() ? std::string() : it->second;
  };
  const std::string digest = text(CFG_JRE_DOWNLOAD_SHA256);
  Sha256Digest parsed;
  if (!digest.empty() && !parseSha256(digest, parsed)) {
    return fail("\"jreDownloadSha256\" must be the archive's SHA-256 as 64 hexadecimal digits, not \"" + digest + "\"");
  }
  const std::string maxSize = text(CFG_JRE_DOWNLOAD_MAX_SIZE);
  if (!maxSize.empty() && maxSize[0] == '-') {
    return fail("\"jreDownloadMaxSize\" must be a byte count, not " + maxSize);
  }
  std::string scheme = text(CFG_JRE_DOWNLOAD_LOCATION).substr(0, 7);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (scheme == "http://" && digest.empty()) {
    return fail("\"jreDownloadLocation\" is a plain http address: anyone on the way can change what arrives, so "
                "give the archive's SHA-256 in \"jreDownloadSha256\" (or use https)");
  }
  return Status::success();
}

// The archive the runtime becomes is the last included file; its records are the builder's.
Status DescriptionReader::addRuntimeFile() {
  if (!plan_.runtime.present) return Status::success();
  for (int32_t id : {int32_t(CFG_INCLUDED_JRE_SIZE), int32_t(CFG_INCLUDED_JRE_PACKED)}) {
    if (auto it = narrowSetBy_.find(id); it != narrowSetBy_.end()) {
      return fail(it->second + " is set from \"runtime\"; leave it out");
    }
  }
  const std::u32string archive = foldFileName(kRuntimeArchiveName);
  for (size_t i = 0; i < plan_.files.size(); ++i) {
    if (foldFileName(plan_.files[i].name) == archive) {
      return fail("\"files[" + std::to_string(i) + "]\" is a " + kRuntimeArchiveName +
                  " of its own, and \"runtime\" makes one: give only one of them");
    }
  }
  plan_.runtime.fileIndex = plan_.files.size();
  IncludedFile file;
  file.name = kRuntimeArchiveName;
  plan_.files.push_back(file);
  return Status::success();
}

Status DescriptionReader::readRawRecords(const Json& value, bool wide) {
  const char* group = wide ? "wideRecords" : "records";
  if (!value.is_object()) return fail(inQuotes(group) + " must be an object, not " + std::string(typeName(value)));
  for (auto it = value.begin(); it != value.end(); ++it) {
    std::string where = inQuotes(std::string(group) + "." + it.key());
    int32_t id = 0;
    if (!parseInt32(it.key(), id)) return fail(where + ": the id \"" + it.key() + "\" is not a 32-bit integer");
    if (const RecordInfo* known = findRecord(id, wide)) {
      if (known->group == RecordGroup::Derived) {
        return fail(where + ": " + known->name + " is derived from \"files\" and cannot be set");
      }
      std::string key = known->group == RecordGroup::Message ? "messages." + std::string(known->key) : known->key;
      return fail(where + ": record " + std::to_string(id) + " has a key: use " + inQuotes(key));
    }
    Status s = addText(id, where, it.value(), wide);
    if (!s.ok()) return s;
  }
  return Status::success();
}

// The runtime jar goes first among the included files, where descriptions listed it by hand
// before this key existed, so that switching to the key leaves the payload as it was. (The
// class path order is the launcher's own and does not follow the payload order.)
Status DescriptionReader::addLauncherRuntime() {
  if (runtimeJar_.path.empty()) {
    return fail("\"launcherRuntime\": the runtime jar that comes with mediapack is missing" +
                (runtimeJar_.places.empty() ? std::string() : " (looked for " + runtimeJar_.places + ")"));
  }
  IncludedFile file;
  file.source = runtimeJar_.path;
  file.name = kLauncherRuntimeName;
  Status s = checkReadable("\"launcherRuntime\"", file.source, file.size);
  if (!s.ok()) return s;
  plan_.files.insert(plan_.files.begin(), std::move(file));
  runtimeFiles_ = 1;
  return Status::success();
}

std::string DescriptionReader::fileLabel(size_t index) const {
  if (index < runtimeFiles_) return "\"launcherRuntime\"";
  return "\"files[" + std::to_string(index - runtimeFiles_) + "]\"";
}

Status DescriptionReader::deriveFileRecords() {
  std::map<std::u32string, size_t> seenFiles;  // folded name -> index
  std::map<std::u32string, size_t> seenDirectories;
  std::string names;
  for (size_t i = 0; i < plan_.files.size(); ++i) {
    const IncludedFile& f = plan_.files[i];
    std::string where = fileLabel(i);
    std::u32string folded = foldFileName(f.name);
    auto clash = [&](size_t other, const char* how) {
      return fail(where + ": the name \"" + f.name + "\" " + how + " " + fileLabel(other) + " (" +
                  plan_.files[other].name + ")");
    };
    if (auto it = seenFiles.find(folded); it != seenFiles.end()) return clash(it->second, "is the same to Windows as");
    if (auto it = seenDirectories.find(folded); it != seenDirectories.end()) {
      return clash(it->second, "is a directory of");
    }
    size_t separator = f.name.find('\\');
    if (separator != std::string::npos) {
      std::u32string dir = foldFileName(f.name.substr(0, separator));
      if (auto it = seenFiles.find(dir); it != seenFiles.end()) return clash(it->second, "needs a directory named like");
      seenDirectories.emplace(dir, i);
    }
    seenFiles.emplace(folded, i);

    std::string bytes;
    Status s = encode(where + " name", f.name, false, SIZE_MAX, bytes);
    if (!s.ok()) return s;
    if (i > 0) names += ';';
    names += bytes;
  }
  if (names.size() > kMaxRecordLength) {
    return fail("\"files\": the names take " + std::to_string(names.size()) +
                " bytes joined with \";\"; the launcher reads at most " + std::to_string(kMaxRecordLength));
  }
  plan_.narrow[CFG_INCLUDED_FILE_COUNT] = std::to_string(plan_.files.size());
  plan_.narrow[CFG_INCLUDED_FILE_NAMES] = names;
  return Status::success();
}

// Tracks the keys of every open object so that a key given twice is an error rather than
// silently losing one of the values.
struct DuplicateKeyFinder {
  std::vector<std::set<std::string>> open;
  std::string duplicate;

  bool operator()(int, nlohmann::detail::parse_event_t event, Json& parsed) {
    using E = nlohmann::detail::parse_event_t;
    if (event == E::object_start) {
      open.emplace_back();
    } else if (event == E::object_end) {
      if (!open.empty()) open.pop_back();
    } else if (event == E::key && !open.empty()) {
      const std::string& key = parsed.get_ref<const std::string&>();
      if (!open.back().insert(key).second && duplicate.empty()) duplicate = key;
    }
    return true;
  }
};

}  // namespace

std::string includedNameProblem(const std::string& name) {
  if (name.empty()) return "is empty";
  if (name.find(';') != std::string::npos) return "contains \";\", which separates the names";
  if (name.find(':') != std::string::npos) return "contains \":\" (a drive or stream)";
  if (name[0] == '\\') return "is absolute; names are relative to the extraction directory";
  size_t first = name.find('\\');
  if (first != std::string::npos && name.find('\\', first + 1) != std::string::npos) {
    return "has more than one directory level";
  }
  std::vector<std::string> parts;
  if (first == std::string::npos) {
    parts.push_back(name);
  } else {
    parts.push_back(name.substr(0, first));
    parts.push_back(name.substr(first + 1));
  }
  for (const std::string& part : parts) {
    const std::string problem = includedNamePartProblem(part);
    if (!problem.empty()) return problem;
  }
  return "";
}

std::u32string foldFileName(const std::string& utf8Name) {
  std::u32string text = decodeUtf8(utf8Name);
  for (char32_t& c : text) c = upperCaseOf(c);
  return text;
}

Status parseDescription(const std::string& text, const std::string& baseDir, const std::string& label,
                        BuildPlan& plan, const ShippedRuntimeJar& runtimeJar, bool narrowUtf8) {
  plan = BuildPlan();
  plan.narrowUtf8 = narrowUtf8;
  DuplicateKeyFinder finder;
  Json root;
  try {
    root = Json::parse(text, std::ref(finder), true, true);
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    size_t cut = what.find("parse error");
    return Status::failure(kExitBadInput, label + ": not valid JSON: " + (cut == std::string::npos ? what : what.substr(cut)));
  }
  if (!finder.duplicate.empty()) {
    return Status::failure(kExitBadInput, label + ": the key " + inQuotes(finder.duplicate) + " is given twice");
  }
  return DescriptionReader(baseDir, label, plan, runtimeJar).read(root);
}

Status loadDescription(const std::string& path, BuildPlan& plan, const ShippedRuntimeJar& runtimeJar,
                       bool narrowUtf8) {
  InputFile file;
  std::string error;
  if (!file.open(path, error)) return Status::failure(kExitBadInput, path + ": cannot read the description: " + error);
  if (file.size() > int64_t(kMaxDescriptionBytes)) {
    return Status::failure(kExitBadInput, path + ": the description is larger than 16 MiB");
  }
  std::string text(static_cast<size_t>(file.size()), '\0');
  if (!file.readAt(0, text.data(), text.size())) {
    return Status::failure(kExitBadInput, path + ": cannot read the description");
  }
  return parseDescription(text, directoryOf(path), path, plan, runtimeJar, narrowUtf8);
}
