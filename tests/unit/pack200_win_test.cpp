// Pack200 restoration with the fixture unpack200.exe.
#include "runtime/pack200.h"

#include "jre_test_env_win.h"
#include "runtime_search/jre_search.h"
#include "support/test_exit.h"

using namespace jretest;

namespace {
class Pack200Test : public JreTest {
 protected:
  // A home with the fixture unpacker and a packed file for each jar given.
  std::string packedHome(const std::string& name, const std::vector<std::string>& jars) {
    const std::string home = dir(name);
    makeDirs(home + "\\bin");
    EXPECT_TRUE(CopyFileA(fixtureProgram("unpack200").c_str(), unpacker(home).c_str(), FALSE));
    for (const std::string& jar : jars) writeFile(home + "\\" + jar + ".pack", "packed " + jar);
    return home;
  }
  static std::string unpacker(const std::string& home) {
    return home + "\\bin\\unpack200.exe";
  }
  // The command lines the fixture unpacker recorded.
  static std::vector<std::string> unpackerRuns(const std::string& home) {
    std::vector<std::string> lines;
    std::istringstream in(readTextFile(unpacker(home) + ".log"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};
}  // namespace

TEST_F(Pack200Test, RestoresTheSixJarsInOrder) {
  const std::vector<std::string>& jars = packedRuntimeJars();
  const std::string home = packedHome("jre", jars);
  LogCapture log;
  prepareJre(home);
  const std::vector<std::string> runs = unpackerRuns(home);
  ASSERT_EQ(runs.size(), jars.size());
  for (size_t i = 0; i < jars.size(); ++i) {
    const std::string packed = home + "\\" + jars[i] + ".pack";
    const std::string target = home + "\\" + jars[i];
    EXPECT_EQ(runs[i], "\"" + unpacker(home) + "\" -r \"" + packed + "\" \"" + target + "\"");
    EXPECT_EQ(readTextFile(target), "packed " + jars[i]) << target;
    EXPECT_FALSE(pathExists(packed)) << packed;  // -r reached the unpacker
  }
  EXPECT_EQ(log.count("Unpacking JRE"), 1);
  EXPECT_EQ(log.count("Unpacking JRE done"), 1);
  EXPECT_EQ(log.count("waiting for unpack200 to finish"), 6);

  // A prepared home is left alone.
  prepareJre(home);
  EXPECT_EQ(unpackerRuns(home).size(), jars.size());
}

TEST_F(Pack200Test, HomesThatAreNotPackedAreLeftAlone) {
  const std::string prepared = packedHome("prepared", {"lib\\rt.jar", "lib\\charsets.jar"});
  writeFile(prepared + "\\lib\\jsse.jar", "");
  const std::string noRt = packedHome("nort", {"lib\\charsets.jar", "lib\\jsse.jar"});
  for (const std::string& home : {prepared, noRt}) {
    prepareJre(home);
    EXPECT_TRUE(unpackerRuns(home).empty()) << home;
  }
}

TEST_F(Pack200Test, MissingPackedJarIsSkipped) {
  std::vector<std::string> jars = packedRuntimeJars();
  jars.erase(jars.begin() + 2);  // lib\plugin.jar
  const std::string home = packedHome("jre", jars);
  LogCapture log;
  prepareJre(home);
  EXPECT_EQ(unpackerRuns(home).size(), 5u);
  EXPECT_EQ(log.count("pack path doesn't exists"), 1);
  EXPECT_TRUE(pathExists(home + "\\lib\\jsse.jar"));
  EXPECT_FALSE(pathExists(home + "\\lib\\plugin.jar"));
}

TEST_F(Pack200Test, IncludedFileIsRestoredBesideItself) {
  const std::string runtime = packedHome("rt", {});
  writeFile(dir("tmp\\user.jar.pack"), "user");
  unpackFile(runtime, dir("tmp\\user.jar.pack"));
  EXPECT_EQ(readTextFile(dir("tmp\\user.jar")), "user");
  EXPECT_EQ(unpackerRuns(runtime).size(), 1u);
}

TEST_F(Pack200Test, MissingUnpackerIsInternalError20) {
  const std::string home = dir("broken");
  writeFile(home + "\\lib\\rt.jar.pack", "");
  setConfig(CFG_MSG_INTERNAL_ERROR, "An internal error occurred (error code: {0})");
  LogCapture log;
  EXPECT_EQ(exitCodeOf([&] { prepareJre(home); }), 1);
  EXPECT_EQ(log.count("could not create unpack process"), 1);
}

TEST_F(Pack200Test, CheckLocationPreparesAPackedHome) {
  const std::string home = packedHome("found", packedRuntimeJars());
  installJava(home + "\\bin\\java.exe");
  std::string exe;
  ASSERT_TRUE(checkLocation(exe, home, "1.6", "", false));
  EXPECT_TRUE(pathExists(home + "\\lib\\rt.jar"));
  EXPECT_EQ(exe, lower(home + "\\bin\\java.exe"));
}
