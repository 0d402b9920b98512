#include "session/single_instance.h"

#include <gtest/gtest.h>

namespace {

TEST(SingleInstanceTest, SemaphoreNameFromIdentity) {
  struct Row {
    const char* identity;
    bool global;
    const char* name;
  };
  const Row rows[] = {
      {"c:\\users\\name\\downloads\\setup.exe", false, "c:_users_name_downloads_setup.exe"},
      {"c:\\users\\name\\downloads\\setup.exe", true, "Global\\c:_users_name_downloads_setup.exe"},
      {"\\\\server\\share\\setup.exe", false, "__server_share_setup.exe"},
      {"z:\\tmp\\ä ö\\setup.exe", false, "z:_tmp_ä ö_setup.exe"},
      {"", true, "Global\\"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(composeSemaphoreName(row.identity, row.global), row.name) << row.identity;
  }
}

}  // namespace
