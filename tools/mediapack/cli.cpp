#include "cli.h"

#include "launcher_version.h"

#include "code_page.h"
#include "description.h"
#include "media_report.h"
#include "keys_reference.h"
#include "media_writer.h"
#include "shipped_files.h"

namespace {

// The shipped file's path when it is there, else where it was looked for.
std::string shippedFileLine(const std::string& selfPath, const char* relative) {
  std::string found = findShippedFile(selfPath, relative);
  return found.empty() ? "(not found: " + shippedFilePlaces(selfPath, relative) + ")" : found;
}

std::string usage(const std::string& selfPath) {
  return "usage:\n"
         "  mediapack build DESCRIPTION.json -o OUT.exe [--stub LAUNCHER.exe | --linux] [--quiet]\n"
         "  mediapack inspect FILE [--code-page N]\n"
         "  mediapack keys [--markdown]\n"
         "  mediapack --version\n"
         "\n"
         "build    writes OUT.exe: the stub's executable image (with the description's icon and\n"
         "         version information) followed by the payload that the description defines\n"
         "         (records, included files, CRC-32), padded to 512 bytes. Sign OUT.exe last.\n"
         "         The stub is --stub when given, else the description's \"stub\" key (relative\n"
         "         to the description), else the launcher.exe that comes with mediapack:\n"
         "           " + shippedFileLine(selfPath, kShippedWindowsStub) + "\n"
         "         --linux builds a Linux installer on the Linux launcher that comes with it:\n"
         "           " + shippedFileLine(selfPath, kShippedLinuxStub) + "\n"
         "         \"launcherRuntime\": true in the description includes its runtime jar:\n"
         "           " + shippedFileLine(selfPath, kShippedRuntimeJar) + "\n"
         "         A \"runtime\" in the description is packed as jre.tar.gz; on a terminal a\n"
         "         progress line shows meanwhile. --quiet: no progress line, no \"wrote\" line.\n"
         "inspect  shows the payload of a media file and checks its CRC, with the file's icon,\n"
         "         version information, signature and the version of the stub it was built on;\n"
         "         narrow texts are shown from code page N (default 1252).\n"
         "keys     prints the reference of the build description keys (--markdown: the text of\n"
         "         docs/build-description.md).\n"
         "\n"
         "exit codes: 0 ok, 1 I/O or inspect failure, 2 bad description or usage\n";
}

// Matches "--name VALUE", "--name=VALUE" and, for a one-letter alias, "-x VALUE".
bool takeValue(const std::vector<std::string>& args, size_t& i, const std::string& longName, const char* alias,
               std::string& value, bool& missing) {
  const std::string& a = args[i];
  if (a == longName || (alias && a == alias)) {
    if (i + 1 >= args.size()) {
      missing = true;
      return true;
    }
    value = args[++i];
    return true;
  }
  if (a.rfind(longName + "=", 0) == 0) {
    value = a.substr(longName.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

int runMediapack(const std::vector<std::string>& args, const std::string& selfPath, std::ostream& out,
                 std::ostream& err, bool errIsTerminal) {
  auto usageError = [&](const std::string& what) {
    err << "mediapack: " << what << "\n" << usage(selfPath);
    return int(kExitBadInput);
  };
  if (args.empty()) return usageError("no command given");
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << usage(selfPath);
    return kExitOk;
  }
  if (command == "--version") {
    if (args.size() > 1) return usageError("--version takes nothing more");
    out << "mediapack " << LAUNCHER_VERSION_TEXT << "\n";
    return kExitOk;
  }

  std::vector<std::string> positional;
  std::string output, stub, codePageText;
  bool markdown = false;
  bool quiet = false;
  bool linux = false;
  for (size_t i = 1; i < args.size(); ++i) {
    bool missing = false;
    const std::string& a = args[i];
    if (command == "build" && takeValue(args, i, "--output", "-o", output, missing)) {
    } else if (command == "build" && takeValue(args, i, "--stub", nullptr, stub, missing)) {
    } else if (command == "inspect" && takeValue(args, i, "--code-page", nullptr, codePageText, missing)) {
    } else if (command == "build" && (a == "--quiet" || a == "-q")) {
      quiet = true;
    } else if (command == "build" && a == "--linux") {
      linux = true;
    } else if (command == "keys" && a == "--markdown") {
      markdown = true;
    } else if (a == "--help" || a == "-h") {
      out << usage(selfPath);
      return kExitOk;
    } else if (a.size() > 1 && a[0] == '-') {
      return usageError("unknown option " + a + " for " + command);
    } else {
      positional.push_back(a);
    }
    if (missing) return usageError("option " + a + " needs a value");
  }

  if (command == "build") {
    if (positional.size() != 1) return usageError("build takes one description file");
    if (output.empty()) return usageError("build needs -o OUT.exe");
    if (linux && !stub.empty()) return usageError("give either --stub or --linux");
    if (linux) {
      stub = findShippedFile(selfPath, kShippedLinuxStub);
      if (stub.empty()) {
        err << "mediapack: --linux: the Linux launcher that comes with mediapack is missing (looked for "
            << shippedFilePlaces(selfPath, kShippedLinuxStub) << ")\n";
        return kExitFailure;
      }
    }
    Status s = buildMediaFile(positional[0], output, stub, selfPath, errIsTerminal && !quiet ? &err : nullptr);
    if (!s.ok()) {
      err << "mediapack: " << s.message << "\n";
      return s.code;
    }
    if (!quiet) out << "wrote " << output << "\n";
    return kExitOk;
  }
  if (command == "inspect") {
    if (positional.size() != 1) return usageError("inspect takes one file");
    int codePage = kDefaultCodePage;
    if (!codePageText.empty()) {
      size_t used = 0;
      try {
        codePage = std::stoi(codePageText, &used);
      } catch (...) {
        used = 0;
      }
      if (used != codePageText.size() || codePageCharset(codePage).empty()) {
        return usageError("--code-page " + codePageText + " is not a narrow code page known here");
      }
    }
    return inspectMediaFile(positional[0], codePage, out, err);
  }
  if (command == "keys") {
    if (!positional.empty()) return usageError("keys takes no file");
    out << keysReference(markdown);
    return kExitOk;
  }
  return usageError("unknown command " + command);
}
