#include "payload/extract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "support/included_names.h"
#include "support/media_files.h"
#include "support/observed_source.h"
#include "support/payload_bytes.h"
#include "support/quiet_log.h"
#include "support/scratch_files.h"
#include "support/test_exit.h"

namespace {

// An in-memory file system with failure switches; records what extraction asks of it.
struct FakeDisk {
  std::map<std::string, std::string> files;
  std::set<std::string> directories;
  std::vector<std::string> calls;  // "mkdir x", "create x", "empty x", "rmdir x"
  bool refuseCreate = false;
  int64_t writeCapacity = INT64_MAX;  // bytes the disk takes before writes fail
  bool stallWrites = false;           // writes report success but take nothing
  uint32_t writePiece = UINT32_MAX;   // largest piece one write takes

  struct Open {
    FakeDisk* disk;
    std::string path;
  };
  std::vector<std::unique_ptr<Open>> open;

  ExtractionTarget target() {
    ExtractionTarget t;
    t.context = this;
    t.createDirectory = [](void* c, const std::string& path) {
      auto* self = static_cast<FakeDisk*>(c);
      self->calls.push_back("mkdir " + path);
      return self->directories.insert(path).second ? DirectoryResult::Created
                                                   : DirectoryResult::AlreadyExists;
    };
    t.createFile = [](void* c, const std::string& path, ByteSink* sink) {
      auto* self = static_cast<FakeDisk*>(c);
      self->calls.push_back("create " + path);
      if (self->refuseCreate) return false;
      self->files[path].clear();
      self->open.push_back(std::unique_ptr<Open>(new Open{self, path}));
      sink->context = self->open.back().get();
      sink->write = [](void* f, const void* data, uint32_t count, uint32_t* written, uint32_t* error) {
        Open* file = static_cast<Open*>(f);
        FakeDisk* disk = file->disk;
        if (disk->stallWrites) {
          *written = 0;
          return true;
        }
        if (disk->writeCapacity <= 0) {
          *error = 112;
          return false;
        }
        const uint32_t n = static_cast<uint32_t>(
            std::min<int64_t>({count, disk->writePiece, disk->writeCapacity}));
        disk->files[file->path].append(static_cast<const char*>(data), n);
        disk->writeCapacity -= n;
        *written = n;
        return true;
      };
      return true;
    };
    t.closeFile = [](void* c, ByteSink&) { static_cast<FakeDisk*>(c)->calls.push_back("close"); };
    t.emptyDirectory = [](void* c, const std::string& path) {
      static_cast<FakeDisk*>(c)->calls.push_back("empty " + path);
    };
    t.removeDirectory = [](void* c, const std::string& path) {
      static_cast<FakeDisk*>(c)->calls.push_back("rmdir " + path);
    };
    return t;
  }
};

std::string patterned(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
  return s;
}

class ExtractTest : public QuietLogTest {};

TEST(UnscrambleTest, MatchesTheByteRuleAtEveryLengthAndAlignment) {
  for (size_t offset = 0; offset < 9; ++offset) {
    for (size_t length : {0u, 1u, 7u, 8u, 15u, 16u, 17u, 33u, 100u}) {
      Bytes data(offset + length);
      for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
      Bytes expected = data;
      for (size_t i = offset; i < expected.size(); ++i) expected[i] ^= 0xA7;
      unscrambleBytes(data.data() + offset, length);
      EXPECT_EQ(data, expected) << "offset " << offset << " length " << length;
    }
  }
}

TEST(IncludedFileNameTest, AcceptsOnlyNamesThatStayInsideTheDirectory) {
  for (const IncludedNameRow& row : kIncludedNameRows) {
    EXPECT_EQ(isSafeIncludedFileName(row.name), row.safe) << "name: \"" << row.name << "\"";
  }
}

TEST(IncludedFileNameTest, NamesAreCutAtTheCountAndEmptyItemsVanish) {
  struct Row {
    const char* list;
    int count;
    std::vector<std::string> names;
  } rows[] = {
      {"a;b;c", 2, {"a", "b"}},
      {"a;b", 5, {"a", "b"}},
      {"a;;b;", 3, {"a", "b"}},
      {";;", 2, {}},
      {"a;b", 0, {}},
      {"a;b", -1, {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(includedFileNames(row.list, row.count), row.names) << row.list << " / " << row.count;
  }
}

TEST_F(ExtractTest, CopyBlockSurvivesShortReadsAndPartialWrites) {
  const std::string content = patterned(3 * 8192 + 123, 1);
  Bytes scrambled(content.begin(), content.end());
  for (uint8_t& b : scrambled) b ^= 0xA7;
  for (uint32_t readPiece : {1u, 1000u, 8192u, 100000u}) {
    for (uint32_t writePiece : {3u, 8192u, UINT32_MAX}) {
      FakeDisk disk;
      disk.writePiece = writePiece;
      ExtractionTarget target = disk.target();
      ByteSink sink;
      ASSERT_TRUE(target.createFile(target.context, "f", &sink));
      ObservedSource in(scrambled, readPiece);
      EXPECT_EQ(copyBlock(in.source, sink, static_cast<int64_t>(content.size()), true), kExtractOk);
      EXPECT_TRUE(disk.files["f"] == content) << "read piece " << readPiece << " write piece " << writePiece;
      EXPECT_EQ(in.source.tell(in.source.context), static_cast<int64_t>(content.size()));
    }
  }
}

TEST_F(ExtractTest, CopyBlockReportsReadAndWriteFailuresByCode) {
  const Bytes data(20000, 0x11);
  struct Row {
    const char* name;
    int64_t count;
    int64_t capacity;
    bool stall;
    int expected;
    const char* logLine;
  } rows[] = {
      {"nothing to copy", 0, INT64_MAX, false, kExtractOk, nullptr},
      {"negative count", -5, INT64_MAX, false, kExtractOk, nullptr},
      {"source ends early", 30000, INT64_MAX, false, kExtractReadFailed,
       "ERROR: ReadFile failed 8192 0 20000\n"},
      {"disk full after 10000 bytes", 20000, 10000, false, kExtractWriteFailed,
       "ERROR: WriteFile failed 6384 112\n"},
      {"write that takes nothing", 100, INT64_MAX, true, kExtractWriteFailed,
       "ERROR: WriteFile failed 100 0\n"},
  };
  for (const Row& row : rows) {
    resetLogForTesting();
    FakeDisk disk;
    disk.writeCapacity = row.capacity;
    disk.stallWrites = row.stall;
    ExtractionTarget target = disk.target();
    ByteSink sink;
    target.createFile(target.context, "f", &sink);
    MemorySource m{data.data(), static_cast<int64_t>(data.size())};
    ByteSource in = m.source();
    EXPECT_EQ(copyBlock(in, sink, row.count, false), row.expected) << row.name;
    if (row.logLine) {
      EXPECT_NE(logText().find(row.logLine), std::string::npos) << row.name << "\n" << logText();
    }
  }
}

TEST_F(ExtractTest, ExtractsRootAndSubdirectoryFilesAndSkipsEmptyEntries) {
  const std::string app = patterned(10000, 2);
  const std::string lib = patterned(8192, 3);
  const std::string other = patterned(5, 4);
  const Bytes payload = PayloadBytes()
                            .raw(std::string("HEAD"))
                            .includedFile(app)
                            .includedFile("")
                            .includedFile(lib)
                            .includedFile(other)
                            .raw(std::string("unextracted"))
                            .bytes();
  MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
  ByteSource in = m.source();
  FakeDisk disk;
  int64_t end = -1;
  const std::vector<std::string> names = {"app.jar", "empty.txt", "lib\\a.jar", "lib\\b.jar"};
  ASSERT_EQ(extractEntries(in, 4, "C:\\t\\qlz1.tmp_dir", names, disk.target(), &end), kExtractOk);

  EXPECT_TRUE(disk.files["C:\\t\\qlz1.tmp_dir\\app.jar"] == app);
  EXPECT_TRUE(disk.files["C:\\t\\qlz1.tmp_dir\\lib\\a.jar"] == lib);
  EXPECT_TRUE(disk.files["C:\\t\\qlz1.tmp_dir\\lib\\b.jar"] == other);
  EXPECT_EQ(disk.files.count("C:\\t\\qlz1.tmp_dir\\empty.txt"), 0u) << "an empty entry creates no file";
  EXPECT_EQ(end, static_cast<int64_t>(payload.size() - std::string("unextracted").size()));
  // The directory is asked for once per name inside it; the second time it already exists.
  EXPECT_EQ(std::count(disk.calls.begin(), disk.calls.end(), "mkdir C:\\t\\qlz1.tmp_dir\\lib"), 2);
  const std::string log = logText();
  EXPECT_NE(log.find("extracting C:\\t\\qlz1.tmp_dir\\empty.txt (size: 0)\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("failed to create directory"), std::string::npos) << log;
}

TEST_F(ExtractTest, AnEntryCutShortFailsAndDiscardsTheDirectory) {
  Bytes payload = PayloadBytes().includedFile("complete").includedFile(patterned(9000, 5)).bytes();
  payload.resize(payload.size() - 100);
  MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
  ByteSource in = m.source();
  FakeDisk disk;
  int64_t end = -1;
  EXPECT_EQ(extractEntries(in, 0, "D", {"a", "b"}, disk.target(), &end), kExtractReadFailed);
  EXPECT_EQ(end, -1);
  ASSERT_GE(disk.calls.size(), 2u);
  EXPECT_EQ(disk.calls[disk.calls.size() - 2], "empty D");
  EXPECT_EQ(disk.calls.back(), "rmdir D");
  const std::string log = logText();
  EXPECT_NE(log.find("ERROR: ReadFile failed 100 0 8900\n"), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR: Failed to extract D\\b\n"), std::string::npos) << log;
}

TEST_F(ExtractTest, AWriteFailureIsReportedAsSuch) {
  const Bytes payload = PayloadBytes().includedFile(patterned(5000, 6)).bytes();
  MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
  ByteSource in = m.source();
  FakeDisk disk;
  disk.writeCapacity = 4000;
  int64_t end = -1;
  EXPECT_EQ(extractEntries(in, 0, "D", {"a"}, disk.target(), &end), kExtractWriteFailed);
  EXPECT_EQ(disk.calls.back(), "rmdir D");
}

TEST_F(ExtractTest, AnUnsafeNameRefusesTheWholeExtractionBeforeWriting) {
  const Bytes payload = PayloadBytes().includedFile("fine").includedFile("evil").bytes();
  MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
  ByteSource in = m.source();
  FakeDisk disk;
  int64_t end = -1;
  EXPECT_EQ(extractEntries(in, 0, "D", {"fine.txt", "..\\..\\evil.dll"}, disk.target(), &end),
            kExtractReadFailed);
  EXPECT_TRUE(disk.files.empty());
  EXPECT_TRUE(disk.directories.empty());
  EXPECT_EQ(in.tell(in.context), 0) << "nothing read from the media file";
  EXPECT_EQ(disk.calls, (std::vector<std::string>{"empty D", "rmdir D"}));
  EXPECT_NE(logText().find("..\\..\\evil.dll"), std::string::npos);
}

TEST_F(ExtractTest, ATargetThatCannotBeCreatedIsInternalError11) {
  configTable().narrow[CFG_MSG_INTERNAL_ERROR] = "An internal error occurred (error code: {0})";
  const Bytes payload = PayloadBytes().includedFile("x").bytes();
  MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
  ByteSource in = m.source();
  FakeDisk disk;
  disk.refuseCreate = true;
  int64_t end = -1;
  ::testing::internal::CaptureStderr();
  const int code = exitCodeOf([&] { extractEntries(in, 0, "D", {"a"}, disk.target(), &end); });
  const std::string err = ::testing::internal::GetCapturedStderr();
  configTable().narrow.erase(CFG_MSG_INTERNAL_ERROR);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(err.substr(0, err.find('\n')), "An internal error occurred (error code: 11)");
}

TEST_F(ExtractTest, ASubdirectoryThatWasThereBeforeIsNotExtractedInto) {
  // The run's directory is new: "lib" existing before the first file needs it was made by
  // someone else. Two files in one subdirectory (any case) are fine.
  const Bytes payload = PayloadBytes().includedFile("a").includedFile("b").bytes();
  struct Row {
    bool planted;
    int result;
  } rows[] = {{false, kExtractOk}, {true, kExtractReadFailed}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.planted);
    MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
    ByteSource in = m.source();
    FakeDisk disk;
    if (row.planted) disk.directories.insert("D\\lib");
    int64_t end = -1;
    EXPECT_EQ(extractEntries(in, 0, "D", {"lib\\a", "LIB\\b"}, disk.target(), &end), row.result);
    EXPECT_EQ(disk.files.count("D\\lib\\a"), row.planted ? 0u : 1u);
    if (row.planted) {
      EXPECT_EQ(disk.calls.back(), "rmdir D");
      EXPECT_NE(logText().find("D\\lib was there before this run made it"), std::string::npos) << logText();
    }
  }
}

TEST_F(ExtractTest, RealFilesAreByteIdenticalAndCleanUpRemovesTheWholeTree) {
  // Through the platform's own file system, into a scratch directory.
  const std::string content = patterned(70000, 7);
  const Bytes payload = PayloadBytes().includedFile(content).includedFile("x").bytes();
  ScratchDir dir;
  MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
  ByteSource in = m.source();
  int64_t end = -1;
  ASSERT_EQ(extractEntries(in, 0, dir.path(), {"big.bin", "sub\\small.bin"}, fileSystemTarget(), &end),
            kExtractOk);
  const std::string big = dir.file("big.bin");
  const std::string small = dir.file("sub") + pathSeparator() + "small.bin";
  const Bytes bigBytes = readFileBytes(big);
  EXPECT_TRUE(std::string(bigBytes.begin(), bigBytes.end()) == content);
  EXPECT_EQ(readTextFile(small), "x");

  const ExtractionTarget& fs = fileSystemTarget();
  fs.emptyDirectory(fs.context, dir.path());
  fs.removeDirectory(fs.context, dir.path());
  EXPECT_FALSE(pathExists(big));
  EXPECT_FALSE(pathExists(small)) << "a failed extraction leaves nothing, however deep";
  EXPECT_FALSE(pathExists(dir.path()));
}

}  // namespace
