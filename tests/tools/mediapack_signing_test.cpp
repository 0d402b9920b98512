// Code signing: a media file signed after it was built (with a throw-away self-signed
// certificate) verifies, is read by `mediapack inspect`, and still starts and checks its
// payload under Wine. The signature covers the whole file; the launcher's CRC covers only
// its payload, which the certificate table does not touch.
#include <iostream>

#include "pe_fixture.h"

using namespace mediatest;

namespace {

class Signing : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"openssl", "osslsigncode"}) {
      ASSERT_TRUE(haveProgram(tool)) << tool << " is missing: run scripts/install-deps.sh";
    }
    stub = windowsTree() + "/launcher.exe";
    ASSERT_TRUE(fs::exists(stub)) << "no launcher at " << stub;
    ProgramRun key = runProgram({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", dir / "key.pem", "-out",
                          dir / "cert.pem", "-days", "2", "-subj", "/CN=Media Test Publisher"});
    ASSERT_EQ(key.code, 0) << key.err;
  }

  // Builds `name` from a description that runs quietly with errors on standard error.
  std::string buildMedia(const std::string& name, const std::string& extra = "") {
    writeFile(dir / "app.jar", std::string(5000, 'j'));
    writeFile(dir / "app.ico", makeIco({{32, 0x00FF00, false}}));
    writeFile(dir / (name + ".json"),
              R"({"mainClass": "M", "executableType": 0, "files": ["app.jar"], "unextracted": "app.jar")" + extra + "}");
    Outcome r = mediapack({"build", dir / (name + ".json"), "-o", dir / name, "--stub", stub});
    EXPECT_EQ(r.code, 0) << r.err;
    return dir / name;
  }

  ProgramRun sign(const std::string& in, const std::string& out) {
    return runProgram({"osslsigncode", "sign", "-certs", dir / "cert.pem", "-key", dir / "key.pem", "-n",
                       "Media Test", "-h", "sha256", "-in", in, "-out", out});
  }

  // The launcher in quiet mode with its log kept; returns the run and the log's text.
  std::pair<WineResult, std::string> launch(const std::string& exe) {
    wineReady();
    WineCommand command;
    command.program = exe;
    command.args = {"-q"};
    command.environment = {{"QUOLL_LOG", "yes"}};
    command.unset = {"VANTREL_LOG"};
    command.workingDirectory = dir.path().string();
    command.traceMessageBoxes = true;
    WineResult result = runUnderWine(command);
    std::string log;
    for (const std::string& path : logsOfRunsIn(dir.path().string())) {
      log += readTextFile(path);
      std::remove(path.c_str());
    }
    log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());
    return {result, log};
  }

  // Whether this build of the launcher has its integrity check linked in (its log line is
  // in the image). Until the start-up runs the work sequence, a run ends after "Init done",
  // having read its configuration from the payload but not checked the CRC.
  bool launcherChecksIntegrity() const { return readFile(stub).find("checksums: ") != std::string::npos; }

  // "checksums: A B ..." of the log: the computed and the stored CRC.
  static std::pair<std::string, std::string> checksums(const std::string& log) {
    size_t at = log.find("checksums: ");
    if (at == std::string::npos) return {};
    std::istringstream values(log.substr(at + 11, log.find('\n', at) - at - 11));
    std::pair<std::string, std::string> out;
    values >> out.first >> out.second;
    return out;
  }

  TempDir dir;
  std::string stub;
};

}  // namespace

TEST_F(Signing, ASignedMediaFileVerifiesAndItsPayloadStaysIntact) {
  std::string media = buildMedia("setup.exe", R"(, "icon": "app.ico", "versionInfo": {"fileVersion": "1.0"})");
  ProgramRun s = sign(media, dir / "signed.exe");
  ASSERT_EQ(s.code, 0) << s.out << s.err;

  // The self-signed certificate is its own root: given as the CA file, the chain and the
  // digest over the whole file verify.
  ProgramRun v = runProgram({"osslsigncode", "verify", "-CAfile", dir / "cert.pem", "-in", dir / "signed.exe"});
  EXPECT_EQ(v.code, 0) << v.out << v.err;
  EXPECT_NE(v.out.find("Signature verification: ok"), std::string::npos) << v.out;

  std::string unsignedBytes = readFile(media), signedBytes = readFile(dir / "signed.exe");
  PeView pe = viewPe(signedBytes);
  ASSERT_GT(pe.directories.size(), 4u);
  EXPECT_GE(pe.directories[4].first, unsignedBytes.size()) << "the certificate table follows the padded payload";
  EXPECT_EQ(signedBytes.substr(0, pe.checksumOffset), unsignedBytes.substr(0, pe.checksumOffset));
  EXPECT_EQ(pe.checksum, referencePeChecksum(signedBytes)) << "the signer keeps the checksum right";
  Media m = decodeMedia(signedBytes);
  EXPECT_EQ(m.expectedCrc, zlibCrc(signedBytes.substr(m.payloadStart + 20, m.checkedLength)));

  Outcome shown = mediapack({"inspect", dir / "signed.exe"});
  EXPECT_EQ(shown.code, 0) << shown.err;
  for (const std::string& line : {
           "signature: certificate table of " + std::to_string(pe.directories[4].second) + " bytes at offset " +
               std::to_string(pe.directories[4].first),
           std::string("(matches)"),
           "; the signature follows at offset " + std::to_string(pe.directories[4].first),
       }) {
    EXPECT_NE(shown.out.find(line), std::string::npos) << line << "\n" << shown.out;
  }

  // Under Wine the signed file runs exactly as the unsigned one: the CRC the launcher
  // computes equals the stored one, and nothing says the file is corrupt.
  auto [plainRun, plainLog] = launch(media);
  auto [signedRun, signedLog] = launch(dir / "signed.exe");
  EXPECT_FALSE(signedRun.timedOut);
  EXPECT_EQ(signedRun.exitCode, plainRun.exitCode) << signedRun.err;
  EXPECT_TRUE(signedRun.boxes.empty()) << signedRun.boxes.front().text;
  EXPECT_EQ(signedRun.err.find("corrupt"), std::string::npos) << signedRun.err;
  EXPECT_NE(signedLog.find("\nInit done\n"), std::string::npos) << "the configuration was read:\n" << signedLog;
  if (!launcherChecksIntegrity()) {
    std::cout << "note: this launcher build ends before its integrity check; the CRC is checked by inspect only\n";
    return;
  }
  auto [computed, stored] = checksums(signedLog);
  EXPECT_FALSE(computed.empty()) << "the run did not reach the integrity check:\n" << signedLog;
  EXPECT_EQ(computed, stored) << signedLog;
  EXPECT_EQ(checksums(plainLog), checksums(signedLog));
}

TEST_F(Signing, DamageAfterSigningIsCaughtByTheSignatureAndByTheLauncher) {
  std::string media = buildMedia("setup.exe");
  ASSERT_EQ(sign(media, dir / "signed.exe").code, 0);
  std::string bytes = readFile(dir / "signed.exe");
  Media m = decodeMedia(bytes);
  bytes[m.configEnd + 100] ^= 0x01;  // inside the included file
  writeFile(dir / "damaged.exe", bytes);

  ProgramRun v = runProgram({"osslsigncode", "verify", "-CAfile", dir / "cert.pem", "-in", dir / "damaged.exe"});
  EXPECT_NE(v.code, 0) << v.out;
  Outcome shown = mediapack({"inspect", dir / "damaged.exe"});
  EXPECT_EQ(shown.code, 1);
  EXPECT_NE(shown.err.find("CRC mismatch"), std::string::npos) << shown.err;

  auto [run, log] = launch(dir / "damaged.exe");
  EXPECT_NE(log.find("\nInit done\n"), std::string::npos) << log;
  if (!launcherChecksIntegrity()) {
    std::cout << "note: this launcher build ends before its integrity check; the damage is caught by inspect only\n";
    return;
  }
  EXPECT_EQ(run.exitCode, 1) << run.err;
  ASSERT_EQ(run.boxes.size(), 1u) << run.err;
  EXPECT_EQ(run.boxes[0].text, "The installation file is corrupted. Please download it again.");
}

TEST_F(Signing, ASignedStubIsRefusedAsTheBaseOfAMediaFile) {
  ASSERT_EQ(sign(stub, dir / "signed-stub.exe").code, 0);
  writeFile(dir / "d.json", "{}");
  Outcome r = mediapack({"build", dir / "d.json", "-o", dir / "out.exe", "--stub", dir / "signed-stub.exe"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("is signed: its certificate follows the last section"), std::string::npos) << r.err;
}
