#include "keys_reference.h"

#include <sstream>

#include "description.h"
#include "base/config_table.h"
#include "version_info.h"

namespace {

const char* typeOf(const RecordInfo& r) {
  switch (r.kind) {
    case RecordKind::Int:
    case RecordKind::DerivedInt: return "integer";
    case RecordKind::Wide: return "wide text";
    default: return "text";
  }
}

// Text for a Markdown table cell: characters Markdown would act on are escaped.
std::string cell(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "<br>";
    } else {
      if (std::string("\\|*_<>`[]").find(c) != std::string::npos) out.push_back('\\');
      out.push_back(c);
    }
  }
  return out;
}

// A default text as a code span, line feeds shown as \n.
std::string codeCell(const std::string& text) {
  std::string out = "`";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '|') out += "\\|";
    else out.push_back(c);
  }
  return out + "`";
}

std::string quotedText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
  return out + "\"";
}

const char* const kIntro =
    "`mediapack build DESCRIPTION.json -o OUT.exe` reads a JSON object. Its keys are the fixed keys "
    "and the record keys below; message texts go inside \"messages\". A key that is not listed here is "
    "an error. Paths are relative to the description's directory. Comments (// and /* */) are allowed.";
const char* const kRecordsNote =
    "Integer records take a JSON integer, a boolean (true is 1) or a numeric string, and are stored as "
    "decimal text. Text records are written in the code page of \"codePage\"; text it cannot hold is refused. "
    "For a Linux launcher (an ELF stub) they are written in UTF-8, and \"icon\" and \"versionInfo\" "
    "are refused.";
const char* const kMessagesNote =
    "Keys inside \"messages\". Text messages are written in the code page, wide ones as UTF-16. "
    "Every message the description does not give is written with the English default shown.";
const char* const kVersionNote =
    "Keys inside \"versionInfo\". The texts are stored as UTF-16 in one string table for the language "
    "(code page 1200); the fixed part holds the two versions as numbers, the file type application.";
const char* const kDerivedNote = "Written by mediapack itself; a description cannot set them.";

}  // namespace

// What "runtime" does, for both forms of the reference.
const char* const kRuntimeNote =
    "\"runtime\" bundles a Java runtime: mediapack packs it as the included file jre.tar.gz (appended after "
    "\"files\") and writes includedJreSize (the unpacked size, for the progress bar) and includedJrePacked (0) "
    "itself, so a description with \"runtime\" sets neither and lists no jre.tar.gz of its own. Forms: "
    "\"runtime\": \"jre\" or {\"dir\": \"jre\"}, a runtime directory (holding bin\\...); "
    "{\"jlink\": {\"modules\": [\"java.base\", ...], \"jdk\": \"/path/to/jdk\", \"options\": [...]}}, a "
    "runtime the JDK's jlink makes (options default to --strip-debug --no-header-files --no-man-pages; the JDK "
    "must be one for the stub's platform, read from its release file). The directory must hold a jvm.dll of the "
    "stub's machine where the launcher looks for one (bin\\<type>\\jvm.dll for the types hotspot, client, server, "
    "classic, jrockit, after preferredVmType when set): a 32-bit launcher needs a 32-bit runtime. Symbolic links "
    "that are absolute, lead outside the directory, point to nothing or to a directory are refused, as are "
    "special files and names Windows or the launcher refuse; a link to a file inside is stored as a copy. The "
    "archive is the same for the same input: entries sorted, owner 0, time 0, modes 0755 (directories) and 0644 "
    "(files), gzip members with time 0 and a fixed system byte.";

const char* exampleDescription() {
  return R"({
  "mainClass": "com.example.Main",
  "executableType": 1,
  "minJavaVersion": "1.8",
  "jreSearchSequence": "B.\\jre;Y;EJAVA_HOME;",
  "vmOptions": "-Xmx256m",
  "includedJrePacked": false,
  "files": ["lib/app.jar", {"source": "app.vmoptions", "name": "conf\\app.vmoptions"}, "jre.tar.gz"],
  "messages": {"caption": "Example Setup"},
  "versionInfo": {"fileVersion": "1.0.0.0", "productName": "Example", "companyName": "Example Ltd."},
  "records": {"108": "raw text"}
})";
}

std::string keysReference(bool markdown) {
  std::ostringstream o;
  const auto& records = allRecords();
  if (markdown) {
    o << "_Generated from src/base/config_records.def by `mediapack keys --markdown`; do not edit. "
         "Regenerate with `build/host/mediapack keys --markdown > docs/build-description.md`._\n\n";
    o << "# Build description reference\n\n" << kIntro << "\n\n";
    o << "## Fixed keys\n\n| Key | Type | Meaning |\n|---|---|---|\n";
    for (const FixedKey& k : fixedDescriptionKeys()) {
      o << "| `" << k.key << "` | " << k.type << " | " << cell(k.meaning) << " |\n";
    }
    o << "\n## Version information\n\n" << kVersionNote << "\n\n| Key | Resource string | Meaning |\n|---|---|---|\n";
    for (const VersionKey& k : versionInfoKeys()) {
      o << "| `" << k.key << "` | " << (*k.resource ? "`" + std::string(k.resource) + "`" : std::string("-")) << " | "
        << cell(k.meaning) << " |\n";
    }
    o << "\n## Runtime\n\n" << kRuntimeNote << "\n";
    o << "\n## Records\n\n" << kRecordsNote << "\n\n| Key | Type | Id | Record | Meaning |\n|---|---|---|---|---|\n";
    for (const RecordInfo& r : records) {
      if (r.group != RecordGroup::Top) continue;
      o << "| `" << r.key << "` | " << typeOf(r) << " | " << r.id << " | `" << r.name << "` | " << cell(r.summary)
        << " |\n";
    }
    o << "\n## Messages\n\n" << kMessagesNote
      << "\n\n| Key | Type | Id | Record | Meaning | Default |\n|---|---|---|---|---|---|\n";
    for (const RecordInfo& r : records) {
      if (r.group != RecordGroup::Message) continue;
      o << "| `" << r.key << "` | " << typeOf(r) << " | " << r.id << " | `" << r.name << "` | " << cell(r.summary)
        << " | " << codeCell(r.defaultText) << " |\n";
    }
    o << "\n## Derived records\n\n" << kDerivedNote << "\n\n| Record | Type | Id | Meaning |\n|---|---|---|---|\n";
    for (const RecordInfo& r : records) {
      if (r.group != RecordGroup::Derived) continue;
      o << "| `" << r.name << "` | " << typeOf(r) << " | " << r.id << " | " << cell(r.summary) << " |\n";
    }
    o << "\n## Example\n\n```json\n" << exampleDescription() << "\n```\n";
    return o.str();
  }

  o << "Build description reference\n\n" << kIntro << "\n\nFixed keys:\n";
  for (const FixedKey& k : fixedDescriptionKeys()) o << "  " << k.key << " (" << k.type << "): " << k.meaning << "\n";
  o << "\nVersion information (inside \"versionInfo\"):\n  " << kVersionNote << "\n";
  for (const VersionKey& k : versionInfoKeys()) o << "  " << k.key << ": " << k.meaning << "\n";
  o << "\nRuntime:\n  " << kRuntimeNote << "\n";
  o << "\nRecords (top level):\n  " << kRecordsNote << "\n";
  for (const RecordInfo& r : records) {
    if (r.group != RecordGroup::Top) continue;
    o << "  " << r.key << " (" << typeOf(r) << ", id " << r.id << ", " << r.name << "): " << r.summary << "\n";
  }
  o << "\nMessages (inside \"messages\"):\n  " << kMessagesNote << "\n";
  for (const RecordInfo& r : records) {
    if (r.group != RecordGroup::Message) continue;
    o << "  " << r.key << " (" << typeOf(r) << ", id " << r.id << ", " << r.name << "): " << r.summary
      << "\n      default: " << quotedText(r.defaultText) << "\n";
  }
  o << "\nDerived records:\n  " << kDerivedNote << "\n";
  for (const RecordInfo& r : records) {
    if (r.group != RecordGroup::Derived) continue;
    o << "  " << r.name << " (" << typeOf(r) << ", id " << r.id << "): " << r.summary << "\n";
  }
  o << "\nExample:\n" << exampleDescription() << "\n";
  return o.str();
}
