// The media file opened from disk: the system-backed byte source must read a payload the
// same way the memory source does, and files that cannot be read as a payload are refused.
#include "payload/media_file.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/config_table.h"
#include "base/error_report.h"
#include "base/messages.h"
#include "platform/diagnostic_log.h"
#include "support/media_files.h"
#include "support/payload_bytes.h"
#include "support/quiet_log.h"
#include "support/test_exit.h"

namespace {

namespace fs = std::filesystem;

class MediaFileTest : public QuietLogTest {
 protected:
  void SetUp() override {
    QuietLogTest::SetUp();
    dir_ = fs::temp_directory_path() /
           ("media_file_test_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    QuietLogTest::TearDown();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Runs `body`, which must end the process; returns the code and the first line shown.
  template <typename F>
  static std::pair<int, std::string> fatalOf(F&& body) {
    ::testing::internal::CaptureStderr();
    const int code = exitCodeOf(body);
    const std::string err = ::testing::internal::GetCapturedStderr();
    return {code, err.substr(0, err.find('\n'))};
  }

  fs::path dir_;
};

TEST_F(MediaFileTest, FileSourceReadsThePayloadBehindTheImage) {
  Bytes file = buildFakePe(FakePe());
  const Bytes payload = PayloadBytes()
                            .header(1, 0x1234, 99)
                            .narrowRecords({{CFG_MAIN_CLASS, "app.Main"}, {CFG_EXECUTABLE_TYPE, "2"}})
                            .wideRecords({{CFG_WMSG_CAPTION, u"\u00c9tape"}})
                            .bytes();
  file.insert(file.end(), payload.begin(), payload.end());
  file.resize(file.size() + 100, 0);  // padding after the configuration is not read
  const std::string path = (dir_ / "setup.exe").string();
  writeFileBytes(path, file);

  std::unique_ptr<MediaFile> media = openMediaFileAt(path.c_str());
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->source().size, static_cast<int64_t>(file.size()));
  ConfigTable table;
  EXPECT_EQ(readConfiguration(media->source(), table), static_cast<int64_t>(file.size() - 100));
  EXPECT_EQ(table.narrow[CFG_MAIN_CLASS], "app.Main");
  EXPECT_EQ(table.narrow[CFG_EXECUTABLE_TYPE], "2");
  EXPECT_EQ(table.wide[CFG_WMSG_CAPTION], u"\u00c9tape");

  // Reading on into the padding and past the end: zeros, then a short read.
  EXPECT_EQ(readLong(media->source()), 0);
  ASSERT_TRUE(media->source().seek(media->source().context, static_cast<int64_t>(file.size()) - 2));
  const auto outcome = fatalOf([&] { readInt(media->source()); });
  EXPECT_EQ(outcome.first, 1);
  EXPECT_EQ(outcome.second, messages::kReadInt);

#ifdef _WIN32
  // While the run holds it, the file can be neither written nor renamed and replaced: what
  // was checked is what gets extracted.
  HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  const std::string moved = path + ".old";
  EXPECT_FALSE(MoveFileA(path.c_str(), moved.c_str()));
  media.reset();
  EXPECT_TRUE(MoveFileA(path.c_str(), moved.c_str())) << "released when the run is done with it";
#endif
}

TEST_F(MediaFileTest, UnreadableAndOversizedFilesAreRefused) {
  const std::string missing = (dir_ / "missing.exe").string();
  auto outcome = fatalOf([&] { openMediaFileAt(missing.c_str()); });
  EXPECT_EQ(outcome.first, 1);
  EXPECT_EQ(outcome.second, messages::kOpenMediaFile);
  const std::string logPath = logPathForTesting();
  ASSERT_FALSE(logPath.empty());
  const Bytes log = readFileBytes(logPath);
  EXPECT_NE(std::string(log.begin(), log.end()).find("ERROR: Could not open " + missing), std::string::npos);

  // Sparse files: nothing is written, only the size matters.
  const std::string big = (dir_ / "big.exe").string();
  writeFileBytes(big, Bytes(1, 0));
  fs::resize_file(big, uintmax_t(1) << 31);
  outcome = fatalOf([&] { openMediaFileAt(big.c_str()); });
  EXPECT_EQ(outcome.first, 1);
  EXPECT_EQ(outcome.second, messages::kMediaSize);

  fs::resize_file(big, (uintmax_t(1) << 31) - 1);
  std::unique_ptr<MediaFile> media = openMediaFileAt(big.c_str());
  ASSERT_NE(media, nullptr);
  EXPECT_EQ(media->source().size, (int64_t(1) << 31) - 1);
}

}  // namespace
