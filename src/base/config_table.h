// The configuration records of this launcher, read once from the payload and kept for the
// whole run. No record has a default: an absent id reads as empty text or 0.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum ConfigId : int32_t {
#define CONFIG_RECORD(id, NAME, kind, group, key, def, summary) NAME = id,
#include "base/config_records.def"
#undef CONFIG_RECORD
};

enum class RecordKind { Int, Text, Wide, DerivedInt, DerivedText };
enum class RecordGroup { Top, Message, Derived };

// One row of config_records.def.
struct RecordInfo {
  int32_t id;
  const char* name;          // "CFG_MAIN_CLASS"
  RecordKind kind;
  RecordGroup group;
  const char* key;           // build-description key, "" for derived records
  const char* defaultText;   // English default of a message, "" otherwise (UTF-8)
  const char* summary;
};

// Every known record, in table order.
const std::vector<RecordInfo>& allRecords();
// The row for `id` in the narrow (wide == false) or wide map; nullptr when unknown.
const RecordInfo* findRecord(int32_t id, bool wide);

// Two independent maps; the same id may occur in both with unrelated meanings.
struct ConfigTable {
  std::map<int32_t, std::string> narrow;     // ANSI code page bytes
  std::map<int32_t, std::u16string> wide;    // UTF-16 code units
};

// The process-wide table, filled by loadConfiguration and read-only afterwards.
ConfigTable& configTable();

// Copies of the values; absent ids give "" (narrow or wide).
std::string getConfigText(ConfigId id);
std::u16string getConfigWideText(ConfigId id);
// The narrow value converted like atoi: optional leading white space and sign, decimal digits
// up to the first other character; 0 when absent, empty or not numeric. Saturates at the
// int range instead of overflowing.
int getConfigInt(ConfigId id);
int parseConfigInt(const std::string& text);
