#include "base/config_table.h"

#include <cctype>
#include <climits>

const std::vector<RecordInfo>& allRecords() {
  static const std::vector<RecordInfo> records = {
#define CONFIG_RECORD(id, NAME, kind, group, key, def, summary) \
  {id, #NAME, RecordKind::kind, RecordGroup::group, key, def, summary},
#include "base/config_records.def"
#undef CONFIG_RECORD
  };
  return records;
}

const RecordInfo* findRecord(int32_t id, bool wide) {
  for (const RecordInfo& r : allRecords()) {
    if (r.id == id && (r.kind == RecordKind::Wide) == wide) return &r;
  }
  return nullptr;
}

ConfigTable& configTable() {
  static ConfigTable table;
  return table;
}

std::string getConfigText(ConfigId id) {
  const auto& narrow = configTable().narrow;
  auto it = narrow.find(id);
  return it == narrow.end() ? std::string() : it->second;
}

std::u16string getConfigWideText(ConfigId id) {
  const auto& wide = configTable().wide;
  auto it = wide.find(id);
  return it == wide.end() ? std::u16string() : it->second;
}

int parseConfigInt(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) {  // further digits only saturate
      value = static_cast<long long>(INT_MAX) + 1;
    }
  }
  if (negative) return value > INT_MAX ? INT_MIN : -static_cast<int>(value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int getConfigInt(ConfigId id) { return parseConfigInt(getConfigText(id)); }
