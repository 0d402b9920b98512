// The end-to-end tests see message boxes through Wine's relay trace; a misread trace would
// make them pass or fail for the wrong reason.
#include <gtest/gtest.h>

#include "support/wine_run.h"

namespace {

TEST(WineTraceTest, MessageBoxCallsAreDecodedFromTheRelayTrace) {
  const std::string trace =
      "0278:trace:relay:load_list L\"RelayInclude\" = L\"user32.MessageBoxA\"\n"
      "program line\n"
      "02cc:Starting thread proc 000000014000F700 (arg=0000000067FF0000)\n"
      "0278:Call user32.MessageBoxA(00000000,00c80820 \"Internal Error: magic\\n\\nLog: "
      "C:\\\\users\\\\Temp\\\\vnq_nlog_1\",0021fb10 \"\",00000010) ret=14000626b\n"
      "0278:Ret  user32.MessageBoxA() retval=ffffffff ret=14000626b\n"
      "1250.389:0240:0244:Call user32.MessageBoxW(00010020,00cab250 L\"Caf\\00e9 \\4e2d \\\"q\\\"\","
      "0021faa0 L\"Setup\",00000034) ret=14000626b\n"
      "0280:Call user32.MessageBoxA(00000000,00c80820 \"a\\351b\\tc\",0021fb10 \"vantrel\",00000004) ret=1\n";
  const std::vector<MessageBoxCall> boxes = parseMessageBoxTrace(trace);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_FALSE(boxes[0].wide);
  EXPECT_EQ(boxes[0].text, "Internal Error: magic\n\nLog: C:\\users\\Temp\\vnq_nlog_1");
  EXPECT_EQ(boxes[0].caption, "");
  EXPECT_EQ(boxes[0].flags, 0x10u);
  EXPECT_TRUE(boxes[1].wide);
  EXPECT_EQ(boxes[1].text, "Caf\xc3\xa9 \xe4\xb8\xad \"q\"");
  EXPECT_EQ(boxes[1].caption, "Setup");
  EXPECT_EQ(boxes[1].flags, 0x34u);
  EXPECT_EQ(boxes[2].text, "a\xe9" "b\tc");
  EXPECT_EQ(boxes[2].caption, "vantrel");

  EXPECT_EQ(withoutTraceLines(trace), "program line\n");
  EXPECT_EQ(withoutTraceLines("0abc: not a trace form\n"), "0abc: not a trace form\n");
  EXPECT_EQ(withoutTraceLines("Wrong Parameter Usage\n\nLog: C:\\x\n"), "Wrong Parameter Usage\n\nLog: C:\\x\n");
}

}  // namespace
