// The work sequence's decisions: which runtime is used, what happens without one, where the
// progress bar stands when the runtime is ready, and which included files are restored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/work_sequence.h"

namespace {

const char* nameOf(RuntimeChoice choice) {
  switch (choice) {
    case RuntimeChoice::UseIncluded: return "UseIncluded";
    case RuntimeChoice::SearchThenIncluded: return "SearchThenIncluded";
    case RuntimeChoice::SearchThenObtain: return "SearchThenObtain";
    case RuntimeChoice::ObtainWithoutSearch: return "ObtainWithoutSearch";
  }
  return "?";
}

TEST(WorkSequenceTest, RuntimeDecisionCoversEveryCombination) {
  struct Row {
    bool included, manual, prefer;
    RuntimeChoice choice;
    bool searches;
  } rows[] = {
      // Included, no manual switch: the preference alone decides whether to search first.
      {true, false, false, RuntimeChoice::UseIncluded, false},
      {true, false, true, RuntimeChoice::SearchThenIncluded, true},
      // The manual switch drops an included runtime and never searches, whatever the
      // preference says.
      {true, true, false, RuntimeChoice::ObtainWithoutSearch, false},
      {true, true, true, RuntimeChoice::ObtainWithoutSearch, false},
      {false, true, false, RuntimeChoice::ObtainWithoutSearch, false},
      {false, true, true, RuntimeChoice::ObtainWithoutSearch, false},
      // Nothing included: search, then obtain; the preference changes nothing.
      {false, false, false, RuntimeChoice::SearchThenObtain, true},
      {false, false, true, RuntimeChoice::SearchThenObtain, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "included=" << row.included << " manual=" << row.manual
                                    << " prefer=" << row.prefer);
    const RuntimeChoice choice = chooseRuntime(row.included, row.manual, row.prefer);
    EXPECT_STREQ(nameOf(choice), nameOf(row.choice));
    EXPECT_EQ(searchesInstalled(choice), row.searches);
  }
}

TEST(WorkSequenceTest, MissingRuntimeIsAbortedOnlyInQuietModeWithoutAutomaticDownload) {
  struct Row {
    bool quiet;
    int autoDownload;
    bool dialog;
    MissingRuntimeAction action;
  } rows[] = {
      {true, 0, false, MissingRuntimeAction::Abort},
      // A dialog shown with -splash does not make a quiet run interactive.
      {true, 0, true, MissingRuntimeAction::Abort},
      {true, 1, false, MissingRuntimeAction::DownloadQuietly},
      {true, -1, true, MissingRuntimeAction::DownloadQuietly},
      // Not quiet: the user decides, in the progress dialog or one opened for it; the
      // automatic download is that flow's business.
      {false, 0, true, MissingRuntimeAction::ObtainInDialog},
      {false, 1, true, MissingRuntimeAction::ObtainInDialog},
      {false, 0, false, MissingRuntimeAction::ObtainInOwnDialog},
      {false, 1, false, MissingRuntimeAction::ObtainInOwnDialog},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "quiet=" << row.quiet << " auto=" << row.autoDownload
                                    << " dialog=" << row.dialog);
    EXPECT_EQ(static_cast<int>(missingRuntimeAction(row.quiet, row.autoDownload, row.dialog)),
              static_cast<int>(row.action));
  }
}

TEST(WorkSequenceTest, ProgressStartDependsOnTheIncludedRuntimeAndItsPacking) {
  EXPECT_EQ(progressStartFor(false, 0), 100);
  EXPECT_EQ(progressStartFor(false, 1), 100) << "packing of an unused runtime does not count";
  EXPECT_EQ(progressStartFor(true, 0), 200);
  EXPECT_EQ(progressStartFor(true, 1), 300);
  EXPECT_EQ(progressStartFor(true, -7), 300);
}

TEST(WorkSequenceTest, OnlyNamesEndingInDotPackAreRestored) {
  struct Row {
    const char* name;
    bool packed;
  } rows[] = {
      {"user.jar.pack", true},
      {"lib\\rt.jar.pack", true},
      {"x.pack", true},
      {"pack", false},
      {".pack", false},  // nothing to restore it to
      {"user.jar.packed", false},
      {"user.jar.PACK", false},
      {"user.jar.pack ", false},
      {"user.jar", false},
      {"", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(isPackedIncludedFile(row.name), row.packed) << '"' << row.name << '"';
  }
}

TEST(WorkSequenceTest, PackedFilesAreTakenFromTheNamesExtractionTakes) {
  struct Row {
    const char* name;
    const char* names;
    int count;
    std::vector<std::string> packed;
  } rows[] = {
      {"payload order kept", "b.jar.pack;app.jar;a.jar.pack", 3, {"b.jar.pack", "a.jar.pack"}},
      {"names beyond the count are ignored", "a.jar.pack;b.jar;c.jar.pack", 2, {"a.jar.pack"}},
      {"empty names are skipped like in extraction", "a.jar;;b.jar.pack", 2, {"b.jar.pack"}},
      {"count zero", "a.jar.pack", 0, {}},
      {"negative count", "a.jar.pack", -1, {}},
      {"count beyond the names", "lib\\x.jar.pack", 9, {"lib\\x.jar.pack"}},
      {"no names", "", 3, {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(packedIncludedFiles(row.names, row.count), row.packed) << row.name;
  }
}

}  // namespace
