// The argument splitter over the launcher's command line (UTF-16) and over option texts
// (narrow). The input's first byte chooses the form; the rest is the text, UTF-16LE for the
// wide form.
#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"
#include "fuzz_support.h"
#include "platform/paths.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

namespace {
size_t totalLength(const std::vector<std::u16string>& tokens) {
  size_t n = 0;
  for (const auto& token : tokens) n += token.size();
  return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool wideForm = (data[0] & 1) != 0;
  std::u16string text;
  std::string narrow;
  if (wideForm) {
    for (size_t i = 1; i + 1 < size; i += 2) {
      text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
  } else {
    narrow.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    text = narrowToWide(narrow);
  }

  std::vector<std::u16string> checked;
  const bool matched = splitCommandLineChecked(text, checked);
  // Quotes are removed and blanks between arguments dropped: nothing is ever added.
  fuzzCheck(totalLength(checked) <= text.size(), "arguments longer than the text");
  bool ended = false;
  std::vector<std::u16string> split;
  try {
    splitCommandLine(text, split);
  } catch (const FuzzExit& e) {
    fuzzCheck(e.code == 1, "wrong exit code for an unmatched quote");
    ended = true;
  }
  fuzzCheck(ended == !matched, "fatal form disagrees with the checked form");
  if (matched) fuzzCheck(split == checked, "fatal form splits differently");

  if (!wideForm) {
    std::vector<std::string> narrowTokens;
    bool narrowEnded = false;
    try {
      splitNarrowCommandLine(narrow, narrowTokens);
    } catch (const FuzzExit&) {
      narrowEnded = true;
    }
    fuzzCheck(narrowEnded == !matched, "narrow form disagrees on an unmatched quote");
    if (matched) fuzzCheck(narrowTokens.size() == checked.size(), "narrow form splits differently");
  }
  fuzzInputDone();
  return 0;
}
