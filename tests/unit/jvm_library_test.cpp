#include "jvm/jvm_library.h"

#include <gtest/gtest.h>

#include <set>

#include "jvm_test_env.h"
#include "platform/expand_variables.h"

using Strings = std::vector<std::string>;

TEST(JvmLibraryRules, PathsDerivedFromTheExecutable) {
  struct Row { const char* exe; const char* bin; const char* home; const char* jdk; } rows[] = {
      {"C:\\rt\\bin\\java.exe", "C:\\rt\\bin", "C:\\rt\\bin\\..", "C:\\rt\\bin\\..\\jre\\bin\\java.exe"},
      {"C:\\rt\\bin\\javaw.exe", "C:\\rt\\bin", "C:\\rt\\bin\\..", "C:\\rt\\bin\\..\\jre\\bin\\java.exe"},
      {"java.exe", "", "..", "..\\jre\\bin\\java.exe"},
      {"", "", "..", "..\\jre\\bin\\java.exe"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(binDirectoryOf(row.exe), row.bin) << row.exe;
    EXPECT_EQ(jvmHomeOf(row.exe), row.home) << row.exe;
    EXPECT_EQ(privateRuntimeJavaExe(row.exe), row.jdk) << row.exe;
  }
}

TEST(JvmLibraryRules, VmTypesPathAndMessages) {
  EXPECT_EQ(vmTypeOrder(""), (Strings{"hotspot", "client", "server", "classic", "jrockit"}));
  EXPECT_EQ(vmTypeOrder("client"), (Strings{"client", "hotspot", "client", "server", "classic", "jrockit"}));
  EXPECT_EQ(vmTypeOrder(std::string(300, 'x')).front().size(), kMaxPreferredVmType);

  std::string newPath;
  EXPECT_TRUE(extendPath("C:\\w", "C:\\rt\\bin", newPath));
  EXPECT_EQ(newPath, "C:\\w;C:\\rt\\bin");
  EXPECT_TRUE(extendPath(std::string(kMaxPathVariable - 2, 'p'), "b", newPath));
  EXPECT_FALSE(extendPath(std::string(kMaxPathVariable - 1, 'p'), "b", newPath));

  struct Row { JreSourceKind kind; ConfigId id; const char* argument; bool has; } rows[] = {
      {FOUND_ON_PATH, CFG_MSG_NO_JVM_BITS, "32", true},
      {FOUND_BY_ENV_VAR, CFG_MSG_ENV_VAR_NO_JVM_32, "JAVA_HOME", true},
      {FOUND_AT_LOCATION, CFG_MSG_JVM_AT_DAMAGED_32, "JAVA_HOME", true},
      {FOUND_IN_REGISTRY, CFG_MSG_JVM_NOT_STARTED, "", false},
  };
  for (const Row& row : rows) {
    const LoadFailureMessage m = loadFailureMessage(row.kind, "JAVA_HOME");
    EXPECT_EQ(m.id, row.id) << row.kind;
    EXPECT_EQ(m.argument, row.argument) << row.kind;
    EXPECT_EQ(m.hasArgument, row.has) << row.kind;
  }
}

namespace {
// A runtime on a fake system: which files exist and load, what PATH holds.
struct FakeLoader {
  bool hasPath = true;
  std::string path = "C:\\w";
  Strings pathWrites;  // "<removed>" for a removal
  std::set<std::string> present, loadable;
  bool withEntry = true;
  Strings loads;
  JreSourceKind kind = FOUND_ON_PATH;
  std::string javaExe = "C:\\rt\\bin\\java.exe", label = "label";
  bool checkPasses = true;
  std::string checks;
  Strings messages;
  Strings libraryDirectories;
};
FakeLoader fl;
int libraryObject;

jint JNICALL fakeCreate(JavaVM**, void**, void*) { return JNI_OK; }

bool readPath(std::string& value) {
  value = fl.path;
  return fl.hasPath;
}
uint32_t writePath(const char* value) {
  fl.pathWrites.push_back(value != nullptr ? value : "<removed>");
  fl.hasPath = value != nullptr;
  fl.path = value != nullptr ? value : "";
  return 0;
}
void* loadLibrary(const std::string& path, uint32_t* error) {
  fl.loads.push_back(path);
  if (fl.loadable.count(path) > 0) return &libraryObject;
  *error = 126;
  return nullptr;
}
void* findSymbol(void*, const char* name) {
  return fl.withEntry && std::string(name) == "JNI_CreateJavaVM" ? reinterpret_cast<void*>(&fakeCreate) : nullptr;
}
bool exists(const std::string& path) { return fl.present.count(path) > 0 || fl.loadable.count(path) > 0; }
JreSourceKind search(std::string& javaExe, std::string& label) {
  javaExe = fl.javaExe;
  label = fl.label;
  return fl.kind;
}
bool checkLocation(std::string& javaExe, const std::string& location, const std::string&,
                   const std::string&, bool skipVersionTest) {
  fl.checks += "location " + location + (skipVersionTest ? " skip" : "");
  javaExe = fl.javaExe;
  return fl.checkPasses;
}
bool checkJavaExe(std::string& javaExe, std::string&, const std::string&, const std::string&,
                  bool allowBeta, bool useCache) {
  fl.checks += "exe " + javaExe + (allowBeta ? " beta" : "") + (useCache ? " cache" : "");
  return fl.checkPasses;
}
void showMessage(ConfigId id, const char* argument) {
  fl.messages.push_back(std::to_string(id) + (argument != nullptr ? std::string(" ") + argument : ""));
}
void addLibraryDirectory(const std::string& directory) { fl.libraryDirectories.push_back(directory); }
const JvmLoaderSystem kFake = {&readPath, &writePath,     &loadLibrary,  &findSymbol,  &exists,
                               &search,   &checkLocation, &checkJavaExe, &showMessage, &addLibraryDirectory};
}  // namespace

class LoadDllTest : public JvmTestBase {
 protected:
  void SetUp() override {
    JvmTestBase::SetUp();
    fl = FakeLoader();
    setJvmLoaderSystemForTesting(&kFake);
  }
  void TearDown() override {
    setJvmLoaderSystemForTesting(nullptr);
    JvmTestBase::TearDown();
  }
  static Strings under(const std::string& bin, const Strings& types) {
    Strings out;
    for (const std::string& t : types) out.push_back(bin + "\\" + t + "\\jvm.dll");
    return out;
  }
};

TEST_F(LoadDllTest, LoadsTheFirstVmTypeThatLoads) {
  fl.loadable.insert("C:\\rt\\bin\\server\\jvm.dll");
  ASSERT_TRUE(loadJvmLibrary(false, nullptr, false));
  EXPECT_EQ(fl.loads, under("C:\\rt\\bin", {"hotspot", "client", "server"}));
  EXPECT_EQ(fl.pathWrites, (Strings{"C:\\w;C:\\rt\\bin"}));
  EXPECT_EQ(fl.libraryDirectories, (Strings{"C:\\rt\\bin"})) << "the runtime's own libraries stay findable";
  EXPECT_EQ(jvmLibrary().createJavaVMEntry, &fakeCreate);
  EXPECT_EQ(getJvmHome(), "C:\\rt\\bin\\..");
  std::string text = "${launcher:sys.jvmHome}";
  expandVariables(text);
  EXPECT_EQ(text, "C:\\rt\\bin\\..");
  const std::string log = logText();
  EXPECT_NE(log.find("LoadDLL (0, (null), 0)\nTrying to load JVM-DLL from C:\\rt\\bin\\java.exe\n"
                     "Setting PATH C:\\w;C:\\rt\\bin\n"
                     "Trying C:\\rt\\bin\\hotspot\\jvm.dll (exists 0)\n"),
            std::string::npos) << log;
  EXPECT_NE(log.find("Trying C:\\rt\\bin\\server\\jvm.dll (exists 1)\nLoading of JVM-DLL successful\n"),
            std::string::npos) << log;
}

TEST_F(LoadDllTest, PreferredVmTypeComesFirst) {
  set(CFG_PREFERRED_VM_TYPE, "client");
  fl.loadable = {"C:\\rt\\bin\\client\\jvm.dll", "C:\\rt\\bin\\server\\jvm.dll"};
  ASSERT_TRUE(loadJvmLibrary(false, nullptr, false));
  EXPECT_EQ(fl.loads, under("C:\\rt\\bin", {"client"}));
}

TEST_F(LoadDllTest, JdkPrivateRuntimeLeavesOneBinOnPath) {
  fl.javaExe = "C:\\jdk\\bin\\java.exe";
  fl.loadable.insert("C:\\jdk\\bin\\..\\jre\\bin\\server\\jvm.dll");
  ASSERT_TRUE(loadJvmLibrary(false, nullptr, false));
  Strings expected = under("C:\\jdk\\bin", {"hotspot", "client", "server", "classic", "jrockit"});
  for (const std::string& s : under("C:\\jdk\\bin\\..\\jre\\bin", {"hotspot", "client", "server"})) {
    expected.push_back(s);
  }
  EXPECT_EQ(fl.loads, expected);
  EXPECT_EQ(fl.pathWrites, (Strings{"C:\\w;C:\\jdk\\bin", "C:\\w", "C:\\w;C:\\jdk\\bin\\..\\jre\\bin"}));
  EXPECT_EQ(getJvmHome(), "C:\\jdk\\bin\\..");
}

TEST_F(LoadDllTest, NothingLoadsShowsOneMessageByKindAndRestoresPath) {
  struct Row { JreSourceKind kind; bool hasPath; const char* message; } rows[] = {
      {FOUND_ON_PATH, true, "1016 32"},
      {FOUND_BY_ENV_VAR, true, "1018 label"},
      {FOUND_AT_LOCATION, false, "1020 label"},
      {FOUND_IN_REGISTRY, true, "1005"},
  };
  for (const Row& row : rows) {
    fl = FakeLoader();
    fl.kind = row.kind;
    fl.hasPath = row.hasPath;
    fl.path = row.hasPath ? "C:\\w" : "";
    fl.present.insert("C:\\rt\\bin\\client\\jvm.dll");  // there, but does not load
    EXPECT_FALSE(loadJvmLibrary(true, nullptr, false)) << row.kind;
    EXPECT_EQ(fl.messages, (Strings{row.message})) << row.kind;
    EXPECT_EQ(fl.hasPath, row.hasPath) << row.kind;
    EXPECT_EQ(fl.pathWrites.back(), row.hasPath ? "C:\\w" : "<removed>") << row.kind;
    EXPECT_EQ(getJvmHome(), "C:\\rt\\bin\\..");
  }
  const std::string log = logText();
  EXPECT_NE(log.find("Trying C:\\rt\\bin\\client\\jvm.dll (exists 1)\nFailed with error code 126\n"),
            std::string::npos);
  EXPECT_NE(log.find("ERROR: Could not get DLL-Handle.\nERROR: Could not load functions\n"),
            std::string::npos);
  fl = FakeLoader();
  EXPECT_FALSE(loadJvmLibrary(false, nullptr, false));
  EXPECT_TRUE(fl.messages.empty());
}

TEST_F(LoadDllTest, LibraryWithoutEntryPointKeepsItsPath) {
  fl.loadable.insert("C:\\rt\\bin\\hotspot\\jvm.dll");
  ASSERT_TRUE(loadJvmLibrary(false, nullptr, false));
  fl.withEntry = false;
  fl.path = "C:\\w";
  fl.pathWrites.clear();
  EXPECT_FALSE(loadJvmLibrary(true, nullptr, false));
  EXPECT_EQ(fl.pathWrites, (Strings{"C:\\w;C:\\rt\\bin"}));
  EXPECT_EQ(jvmLibrary().createJavaVMEntry, &fakeCreate);  // the earlier entry stays
  EXPECT_EQ(fl.messages, (Strings{"1016 32"}));
}

TEST_F(LoadDllTest, HandedInRuntimeIsCheckedFirst) {
  struct Row { const char* location; bool isExe, passes, showErrors; const char* checks; Strings messages; bool loaded; } rows[] = {
      {"C:\\rt", false, true, true, "location C:\\rt skip", {}, true},
      {"C:\\rt\\bin\\java.exe", true, true, true, "exe C:\\rt\\bin\\java.exe beta", {}, true},
      {"C:\\rt", false, false, false, "location C:\\rt skip", {}, false},
      {"C:\\rt\\bin\\java.exe", true, false, true, "exe C:\\rt\\bin\\java.exe beta", {"1016 32"}, false},
  };
  for (const Row& row : rows) {
    fl = FakeLoader();
    fl.kind = NOT_FOUND;  // the search must not be asked
    fl.checkPasses = row.passes;
    fl.loadable.insert("C:\\rt\\bin\\hotspot\\jvm.dll");
    EXPECT_EQ(loadJvmLibrary(row.showErrors, row.location, row.isExe), row.loaded) << row.checks;
    EXPECT_EQ(fl.checks, row.checks);
    EXPECT_EQ(fl.messages, row.messages) << row.checks;
  }
  const std::string log = logText();
  EXPECT_NE(log.find("Got JRE location C:\\rt (java exe: 0)\nMinVersion: , MaxVersion: \n"), std::string::npos);
  EXPECT_NE(log.find("ERROR: Provided JVM unusable\n"), std::string::npos);
}

TEST_F(LoadDllTest, SearchFindingNothing) {
  fl.kind = NOT_FOUND;
  EXPECT_FALSE(loadJvmLibrary(true, nullptr, false));
  EXPECT_EQ(fl.messages, (Strings{"1016 32"}));
  EXPECT_TRUE(fl.loads.empty());
  EXPECT_NE(logText().find("ERROR: No JVM found\n"), std::string::npos);
}

TEST_F(LoadDllTest, OverlongPathAndBinDirectory) {
  fl.path = std::string(kMaxPathVariable, 'p');
  fl.loadable.insert("C:\\rt\\bin\\hotspot\\jvm.dll");
  EXPECT_TRUE(loadJvmLibrary(false, nullptr, false));
  EXPECT_TRUE(fl.pathWrites.empty());  // never set to a cut or overlong value

  fl = FakeLoader();
  fl.javaExe = "C:\\" + std::string(kMaxBinDirectory, 'd') + "\\bin\\java.exe";
  EXPECT_FALSE(loadJvmLibrary(false, nullptr, false));
  EXPECT_TRUE(fl.loads.empty());
  EXPECT_TRUE(fl.pathWrites.empty());
}
