#include "base/config_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>

TEST(ConfigTable, IntegersReadLikeAtoi) {
  struct Row { const char* text; int value; } rows[] = {
      {"37222400", 37222400}, {" 12abc", 12}, {"abc", 0}, {"", 0}, {"-5", -5},
      {"+7", 7}, {"\t\n 3", 3}, {"- 3", 0}, {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN}, {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
  };
  for (const Row& row : rows) EXPECT_EQ(parseConfigInt(row.text), row.value) << row.text;
}

TEST(ConfigTable, AbsentIdsReadEmptyAndMapsStaySeparate) {
  ConfigTable saved = configTable();
  configTable() = ConfigTable();
  EXPECT_EQ(getConfigText(CFG_MAIN_CLASS), "");
  EXPECT_EQ(getConfigInt(CFG_EXECUTABLE_TYPE), 0);
  EXPECT_EQ(getConfigWideText(CFG_WMSG_CAPTION), u"");

  configTable().narrow[20013] = "narrow";
  configTable().wide[20013] = u"wide";
  EXPECT_EQ(getConfigText(CFG_WMSG_CAPTION), "narrow");
  EXPECT_EQ(getConfigWideText(CFG_WMSG_CAPTION), u"wide");
  configTable() = saved;
}

TEST(ConfigTable, RecordTableIsConsistent) {
  std::set<std::pair<int32_t, bool>> ids;
  std::set<std::string> keys;
  for (const RecordInfo& r : allRecords()) {
    bool wide = r.kind == RecordKind::Wide;
    EXPECT_TRUE(ids.insert({r.id, wide}).second) << "duplicate id " << r.id;
    EXPECT_EQ(wide, r.id > 20000) << r.name;
    if (r.group != RecordGroup::Derived) {
      EXPECT_TRUE(keys.insert(r.key).second) << "duplicate key " << r.key;
    }
    if (r.group == RecordGroup::Message) EXPECT_STRNE(r.defaultText, "") << r.name;
    EXPECT_EQ(findRecord(r.id, wide), &r);
  }
  EXPECT_EQ(findRecord(122, true), nullptr);
  EXPECT_STREQ(findRecord(CFG_MSG_INTERNAL_ERROR, false)->defaultText,
               "An internal error occurred (error code: {0})");
}
