#include "session/install_markers.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

// Every test works below a key of its own, so runs sharing the registry never see each
// other's markers; the key is removed afterwards.
class InstallMarkersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = "SOFTWARE\\northgale\\quoll-test-" + std::to_string(GetCurrentProcessId()) + "\\";
    setMarkerKeyForTesting(key_);
  }
  void TearDown() override {
    // An empty name would mean the whole hive.
    if (!key_.empty()) {
      RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    }
    setMarkerKeyForTesting("");
  }

  bool valueExists(const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool found = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }

  void writeRaw(const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
  }

  std::string key_;
  InstallMarkers markers{false};  // the markers of a first start
};

TEST_F(InstallMarkersTest, PerProcessNameCarriesTheDecimalProcessId) {
  EXPECT_EQ(perProcessMarkerName(4711), "InstallStarted_4711");
  EXPECT_EQ(perProcessMarkerName(0), "InstallStarted_0");
}

TEST_F(InstallMarkersTest, SetReadAndClearBothMarkers) {
  const std::string own = perProcessMarkerName(GetCurrentProcessId());
  EXPECT_EQ(readInstallStarted(false), 0u) << "missing key reads 0";
  EXPECT_EQ(readInstallStarted(true), 0u);

  markers.setInstallStarted(true, false, true);
  EXPECT_EQ(readInstallStarted(false), 1u);
  EXPECT_EQ(readInstallStarted(true), 0u) << "only the global marker was asked for";

  markers.setInstallStarted(true, true, true);
  EXPECT_EQ(readInstallStarted(true), 1u);
  EXPECT_TRUE(valueExists(own));

  markers.setInstallStarted(false, true, false);
  EXPECT_FALSE(valueExists(own));
  EXPECT_EQ(readInstallStarted(false), 1u) << "the global marker stays";

  markers.setInstallStarted(false, true, true);  // clearing what is already gone is harmless
  EXPECT_FALSE(valueExists("InstallStarted"));
  EXPECT_EQ(readInstallStarted(false), 0u);
}

TEST_F(InstallMarkersTest, LanguageRestartLeavesMarkersAlone) {
  markers.setInstallStarted(true, true, true);
  const InstallMarkers restarted(true);
  restarted.setInstallStarted(false, true, true);
  EXPECT_EQ(readInstallStarted(false), 1u);
  EXPECT_EQ(readInstallStarted(true), 1u);
  markers.setInstallStarted(true, false, false);  // neither marker asked for: nothing written
  markers.setInstallStarted(false, true, true);
  EXPECT_EQ(readInstallStarted(false), 0u);
}

TEST_F(InstallMarkersTest, ValuesWrittenByOthersAreReadWithoutTrustingTheirType) {
  const std::string own = perProcessMarkerName(GetCurrentProcessId());
  const DWORD two = 2;
  writeRaw(own, REG_DWORD, &two, sizeof two);
  EXPECT_EQ(readInstallStarted(true), 2u) << "the Java side reports its window";

  writeRaw("InstallStarted", REG_SZ, "1", 2);
  EXPECT_EQ(readInstallStarted(false), static_cast<unsigned long>('1')) << "bytes taken as they are";

  const unsigned long long wide = 1;
  writeRaw("InstallStarted", REG_QWORD, &wide, sizeof wide);
  EXPECT_EQ(readInstallStarted(false), 0u) << "a value that does not fit reads 0";

  writeRaw("InstallStarted", REG_BINARY, "", 0);
  EXPECT_EQ(readInstallStarted(false), 0u);
}

}  // namespace
