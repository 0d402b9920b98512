#include "jvm/vm_options.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "jvm_test_env.h"
#include "payload/extract.h"
#include "support/test_exit.h"

using Options = std::vector<std::string>;

TEST(VmOptionRules, CleanOptionLine) {
  struct Row { std::string in; bool used; const char* out; } rows[] = {
      {"  -Xmx256m\n", true, "-Xmx256m"},
      {"-Dx=1   \r\n", true, "-Dx=1"},
      {"-Da=b\r\r\n\n", true, "-Da=b"},
      {"\t-Dtab=1\n", true, "\t-Dtab=1"},       // only blanks are trimmed
      {"-Dx= \t \n", true, "-Dx= \t"},
      {"# comment\n", false, ""},
      {"   #indented comment", false, ""},
      {"\r\n", false, ""},
      {"     ", false, ""},
      {std::string("-Dcut\0rest", 10), true, "-Dcut"},
  };
  for (const Row& row : rows) {
    std::string line = row.in;
    EXPECT_EQ(cleanOptionLine(line), row.used) << row.in;
    if (row.used) {
      EXPECT_EQ(line, row.out) << row.in;
    }
  }
}

TEST(VmOptionRules, DefaultFileCandidates) {
  EXPECT_EQ(defaultVmOptionsCandidates("C:\\dl\\setup.exe"),
            std::make_pair(std::string("C:\\dl\\setup.vmoptions"),
                           std::string("C:\\dl\\setup.exe.vmoptions")));
  EXPECT_EQ(defaultVmOptionsCandidates("abc").first, ".vmoptions");
}

class VmOptionsTest : public JvmTestBase {
 protected:
  void SetUp() override {
    JvmTestBase::SetUp();
    launcherTempDir = dir.file("no-such-temp");
  }
  std::string path(const std::string& name) const { return dir.file(name); }
  VmOptionCollector readContent(const std::string& content) {
    VmOptionCollector collector;
    readOptionsFile(fopen(dir.write("o.vmoptions", content).c_str(), "rt"), collector);
    return collector;
  }
  ScratchDir dir;
};

TEST_F(VmOptionsTest, ProcessOptionClassifiesLines) {
  struct Row { const char* line; Options options; const char* replace; const char* prepend; const char* append; } rows[] = {
      {"-classpath a;b", {}, "a;b", "", ""},
      {"-classpath/p pre", {}, "", "pre", ""},
      {"-classpath/a post", {}, "", "", "post"},
      {"-classpath/p", {"-classpath/p"}, "", "", ""},  // no blank: an ordinary option
      {"-Classpath x", {"-Classpath x"}, "", "", ""},
      {"-classpathx", {"-classpathx"}, "", "", ""},
      {"-Xmx1g", {"-Xmx1g"}, "", "", ""},
  };
  for (const Row& row : rows) {
    VmOptionCollector c;
    processOption(row.line, c);
    EXPECT_EQ(c.options, row.options) << row.line;
    EXPECT_EQ(c.overrides.replace, row.replace) << row.line;
    EXPECT_EQ(c.overrides.prepend, row.prepend) << row.line;
    EXPECT_EQ(c.overrides.append, row.append) << row.line;
  }
  VmOptionCollector c;
  processOption("-classpath/a first", c);
  processOption("-classpath/a second", c);
  EXPECT_EQ(c.overrides.append, "second");
}

TEST_F(VmOptionsTest, ReadsFileSkippingBlanksAndComments) {
  const VmOptionCollector c = readContent("  -Xmx256m\n# comment\n\n-Dx=1   \n\t-Dtab\n-Dlast");
  EXPECT_EQ(c.options, (Options{"-Xmx256m", "-Dx=1", "\t-Dtab", "-Dlast"}));
}

TEST_F(VmOptionsTest, LongLinesArriveInPiecesOf8191) {
  const std::string a(8191, 'a'), c(8191, 'c');
  const VmOptionCollector got = readContent(a + "bbb\n" + c + "\n-Dend\n");
  EXPECT_EQ(got.options, (Options{a, "bbb", c, "-Dend"}));
}

TEST_F(VmOptionsTest, IncludesAreReadInPlace) {
  dir.write("inc.vmoptions", "-Dinc=1\n-classpath/a fromInclude\n");
  const VmOptionCollector c = readContent("-Dbefore\n-include-options " + path("inc.vmoptions") +
                                          "\n-include-options " + path("missing.vmoptions") +
                                          "\n-Dafter\n");
  EXPECT_EQ(c.options, (Options{"-Dbefore", "-Dinc=1", "-Dafter"}));
  EXPECT_EQ(c.overrides.append, "fromInclude");
  EXPECT_NE(logText().find("adding vmoptions from <" + path("missing.vmoptions") + "> ("), std::string::npos);
}

TEST_F(VmOptionsTest, IncludeCyclesAndDeepNestingAreRefused) {
  dir.write("self.vmoptions", "-Dself\n-include-options " + path("self.vmoptions") + "\n");
  dir.write("b.vmoptions", "-Db\n-include-options " + path("c.vmoptions") + "\n");
  dir.write("c.vmoptions", "-Dc\n-include-options " + path("b.vmoptions") + "\n");
  for (int i = 0; i < 12; ++i) {
    dir.write("f" + std::to_string(i), "-Dlevel=" + std::to_string(i) + "\n-include-options " +
                                           path("f" + std::to_string(i + 1)) + "\n");
  }
  VmOptionCollector c;
  processOption("-include-options " + path("self.vmoptions"), c);
  processOption("-include-options " + path("b.vmoptions"), c);
  EXPECT_EQ(c.options, (Options{"-Dself", "-Db", "-Dc"}));
  c.options.clear();
  processOption("-include-options " + path("f0"), c);
  ASSERT_EQ(c.options.size(), kMaxOptionsFileDepth);
  EXPECT_EQ(c.options.back(), "-Dlevel=" + std::to_string(kMaxOptionsFileDepth - 1));
  const std::string log = logText();
  EXPECT_NE(log.find("ERROR: vmoptions file <" + path("self.vmoptions") + "> is already being read"),
            std::string::npos);
  EXPECT_NE(log.find("ERROR: vmoptions files nested deeper than 8, not including <" +
                     path("f8") + ">"), std::string::npos);
  EXPECT_TRUE(c.filesBeingRead.empty());
}

TEST_F(VmOptionsTest, AnotherSpellingOfAFileBeingReadIsACycleToo) {
  // Two spellings per file doubled the reads at every level, up to the depth limit.
  fileSystemTarget().createDirectory(nullptr, path("sub"));
  const std::string sep(1, pathSeparator());
  const std::string viaDot = dir.path() + sep + "." + sep + "a.vmoptions";
  const std::string viaSub = dir.path() + sep + "sub" + sep + ".." + sep + "a.vmoptions";
  dir.write("a.vmoptions", "-Da\n-include-options " + viaDot + "\n-include-options " + viaSub + "\n");
  VmOptionCollector c;
  processOption("-include-options " + path("a.vmoptions"), c);
  EXPECT_EQ(c.options, Options{"-Da"});
  const std::string log = logText();
  for (const std::string& spelling : {viaDot, viaSub}) {
    EXPECT_NE(log.find("ERROR: vmoptions file <" + spelling + "> is already being read"), std::string::npos) << log;
  }
  EXPECT_TRUE(c.filesBeingRead.empty());
  EXPECT_TRUE(c.identitiesBeingRead.empty());
}

TEST_F(VmOptionsTest, VariablesAreExpandedBeforeClassification) {
  ScopedEnvVar var("JVMTEST_DIR", dir.path().c_str());
  dir.write("inc.vmoptions", "-Dincluded\n");
  const std::string sep(1, pathSeparator());
  const VmOptionCollector c = readContent("-include-options ${JVMTEST_DIR}" + sep +
                                          "inc.vmoptions\n-classpath/p ${JVMTEST_DIR}\n");
  EXPECT_EQ(c.options, (Options{"-Dincluded"}));
  EXPECT_EQ(c.overrides.prepend, dir.path());
}

TEST_F(VmOptionsTest, CollectsAllSourcesInOrder) {
  dir.write("my opts.vmoptions", "-Dfromconf\n");
  dir.write("setup.vmoptions", "-Ddefault=1\n-classpath cp-from-file\n");
  set(CFG_VM_OPTIONS, "-Dconf=1 -include-options \"" + path("my opts.vmoptions") + "\" -Dconf=2");
  set(CFG_ACCEPT_J_ARGUMENTS, "1");
  const Options got = collectVmOptionList(
      {"-Dp=1"}, {u"-Jprog", u"-J-Xmx512m", u"-q", u"-Jfoo"}, path("setup.exe"), launcherTempDir);
  EXPECT_EQ(got, (Options{"-Dp=1", "-Dconf=1", "-Dfromconf", "-Dconf=2", "prog", "-Xmx512m", "foo",
                          "-Ddefault=1", "-Djava.class.path=cp-from-file"}));
  EXPECT_NE(logText().find("adding options\n\n"), std::string::npos);
}

TEST_F(VmOptionsTest, DefaultFileCandidatesAndJArguments) {
  struct Row { bool shortName, longName; const char* accept; Options expected; } rows[] = {
      {true, true, "1", {"-Xmx1m", "-Dshort"}},
      {false, true, "1", {"-Xmx1m", "-Dlong"}},
      {false, false, "0", {}},
  };
  for (const Row& row : rows) {
    ScratchDir d;
    if (row.shortName) d.write("setup.vmoptions", "-Dshort\n");
    if (row.longName) d.write("setup.exe.vmoptions", "-Dlong\n");
    set(CFG_ACCEPT_J_ARGUMENTS, row.accept);
    Options got = collectVmOptionList({}, {u"setup.exe", u"-J-Xmx1m"}, d.file("setup.exe"), launcherTempDir);
    got.pop_back();  // the class path
    EXPECT_EQ(got, row.expected) << row.shortName << row.longName << row.accept;
  }
}

TEST_F(VmOptionsTest, ConfiguredOptionEdgeCases) {
  set(CFG_VM_OPTIONS, "-Da -include-options");
  EXPECT_EQ(collectVmOptionList({}, {}, path("x.exe"), launcherTempDir),
            (Options{"-Da", "-include-options", "-Djava.class.path="}));
  // A record longer than the 8191 bytes the launcher reads is cut there.
  set(CFG_VM_OPTIONS, "-Da " + std::string(9000, 'x'));
  EXPECT_EQ(collectVmOptionList({}, {}, path("x.exe"), launcherTempDir),
            (Options{"-Da", std::string(8191 - 4, 'x'), "-Djava.class.path="}));
  set(CFG_VM_OPTIONS, "-Dx=\"open");
  set(CFG_MSG_WRONG_PARAMETER, "Wrong Parameter Usage");
  testing::internal::CaptureStderr();
  EXPECT_EQ(exitCodeOf([&] { collectVmOptionList({}, {}, path("x.exe"), launcherTempDir); }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr().find("Wrong Parameter Usage"), 0u);
}

TEST_F(VmOptionsTest, FillsCreationArguments) {
  VmCreationArguments args;
  fillVmCreationArguments({"-Da", "-Db"}, args);
  EXPECT_EQ(args.initArgs.version, JNI_VERSION_1_2);
  EXPECT_EQ(args.initArgs.ignoreUnrecognized, JNI_TRUE);
  ASSERT_EQ(args.initArgs.nOptions, 2);
  EXPECT_STREQ(args.initArgs.options[1].optionString, "-Db");
  EXPECT_EQ(args.initArgs.options[1].extraInfo, nullptr);
  const std::string log = logText();
  EXPECT_NE(log.find("vmoption count 2\nvmoption 0: -Da\nvmoption 1: -Db\n"), std::string::npos);
}
