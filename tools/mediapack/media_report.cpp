#include "media_report.h"

#include <cinttypes>
#include <cstdio>
#include <map>
#include <vector>

#include "launcher_version.h"

#include "binary_file.h"
#include "description.h"
#include "code_page.h"
#include "base/config_table.h"
#include "base/crc32.h"
#include "media_writer.h"
#include "pe_file.h"
#include "pe_image.h"
#include "resource_tree.h"
#include "runtime_report.h"
#include "stub_resources.h"
#include "version_info.h"

namespace {

std::string hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

// Reads front to back over the file with explicit bounds, like the launcher's readers but
// reporting a short read instead of ending the process.
class Cursor {
 public:
  Cursor(InputFile& file, int64_t position) : file_(file), position_(position) {}
  int64_t position() const { return position_; }
  int64_t remaining() const { return file_.size() - position_; }
  bool bytes(std::string& out, int64_t count) {
    if (count < 0 || count > remaining()) return false;
    out.resize(static_cast<size_t>(count));
    if (count > 0 && !file_.readAt(position_, out.data(), out.size())) return false;
    position_ += count;
    return true;
  }
  bool u32(uint32_t& v) {
    std::string b;
    if (!bytes(b, 4)) return false;
    v = loadU32(reinterpret_cast<const uint8_t*>(b.data()));
    return true;
  }
  bool i64(int64_t& v) {
    std::string b;
    if (!bytes(b, 8)) return false;
    v = static_cast<int64_t>(loadU64(reinterpret_cast<const uint8_t*>(b.data())));
    return true;
  }
  bool skip(int64_t count) {
    if (count < 0 || count > remaining()) return false;
    position_ += count;
    return true;
  }

 private:
  InputFile& file_;
  int64_t position_;
};

class Inspector {
 public:
  Inspector(const std::string& path, int codePage, std::ostream& out, std::ostream& err)
      : path_(path), codePage_(codePage), out_(out), err_(err) {}

  int run();

 private:
  void problem(const std::string& what) {
    err_ << "mediapack: " << path_ << ": " << what << "\n";
    ++problems_;
  }
  int finish() { return problems_ == 0 ? 0 : 1; }
  bool readRecords(Cursor& c, bool wide);
  std::string show(const std::string& bytes, bool wide) const;
  void checkCrc(int64_t payloadStart, int64_t checkedLength, uint32_t expected);
  void listFiles(Cursor& c, int64_t checkedEnd);
  void showSignature(const PeLayout& layout);
  void showResources(int64_t imageEnd);
  void showRuntimeArchive();

  std::string path_;
  int codePage_;
  std::ostream& out_;
  std::ostream& err_;
  InputFile file_;
  int problems_ = 0;
  ConfigTable table_;
  int64_t certificateOffset_ = -1;  // where the signature begins, -1 when unsigned
  // The included runtime archive: its offset and size in the file, -1 when there is none.
  int64_t runtimeOffset_ = -1;
  int64_t runtimeSize_ = 0;
};

std::string Inspector::show(const std::string& bytes, bool wide) const {
  Conversion c = wide ? utf16leToUtf8(bytes) : codePageToUtf8(bytes, codePage_);
  if (c.ok) return "\"" + printable(c.output) + "\"";
  std::string raw;
  char buf[8];
  for (size_t i = 0; i < bytes.size() && i < 256; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(bytes[i]));
    raw += buf;
  }
  return "(not " + std::string(wide ? "UTF-16" : "code page " + std::to_string(codePage_)) + " text: " + c.detail +
         "; bytes " + raw + (bytes.size() > 256 ? "...)" : ")");
}

bool Inspector::readRecords(Cursor& c, bool wide) {
  const char* kind = wide ? "wide" : "narrow";
  uint32_t raw = 0;
  if (!c.u32(raw)) {
    problem(std::string("the file ends before the count of ") + kind + " records");
    return false;
  }
  int32_t count = static_cast<int32_t>(raw);
  out_ << kind << " records: " << count << (count < 0 ? " (none)" : "") << "\n";
  for (int32_t i = 0; i < count; ++i) {
    uint32_t id = 0, length = 0;
    if (!c.u32(id) || !c.u32(length)) {
      problem(std::string("the file ends inside ") + kind + " record " + std::to_string(i + 1) + " of " +
              std::to_string(count));
      return false;
    }
    int32_t signedLength = static_cast<int32_t>(length);
    std::string value;
    if (!c.bytes(value, signedLength)) {
      problem(std::string(kind) + " record " + std::to_string(static_cast<int32_t>(id)) + ": length " +
              std::to_string(signedLength) + " does not fit in the " + std::to_string(c.remaining()) +
              " bytes left");
      return false;
    }
    const RecordInfo* info = findRecord(static_cast<int32_t>(id), wide);
    std::string name = "(no name)";
    if (info) {
      name = info->name;
      if (info->group == RecordGroup::Message) name += " (messages." + std::string(info->key) + ")";
      else if (info->group == RecordGroup::Top) name += " (" + std::string(info->key) + ")";
    }
    out_ << "  " << static_cast<int32_t>(id) << " " << name << " = " << show(value, wide);
    if (wide && value.size() % 2 != 0) out_ << " [odd byte length]";
    if (wide ? table_.wide.count(static_cast<int32_t>(id)) : table_.narrow.count(static_cast<int32_t>(id))) out_ << " [replaces an earlier value]";
    out_ << "\n";
    if (wide) {
      std::u16string units;
      for (size_t k = 0; k + 1 < value.size(); k += 2) {
        units.push_back(static_cast<char16_t>(static_cast<uint8_t>(value[k]) | static_cast<uint8_t>(value[k + 1]) << 8));
      }
      table_.wide[static_cast<int32_t>(id)] = units;
    } else {
      table_.narrow[static_cast<int32_t>(id)] = value;
    }
  }
  return true;
}

void Inspector::checkCrc(int64_t payloadStart, int64_t checkedLength, uint32_t expected) {
  int64_t begin = payloadStart + kPayloadHeaderSize;
  if (checkedLength < 0 || checkedLength > file_.size() - begin) {
    problem("the checked range of " + std::to_string(checkedLength) + " bytes runs past the end of the file (" +
            std::to_string(file_.size() - begin) + " bytes follow the header): the file is truncated");
    return;
  }
  std::vector<uint8_t> buffer(1 << 16);
  uint32_t reg = crcInit();
  for (int64_t done = 0; done < checkedLength;) {
    size_t want = static_cast<size_t>(std::min<int64_t>(checkedLength - done, buffer.size()));
    if (!file_.readAt(begin + done, buffer.data(), want)) {
      problem("reading the checked range failed");
      return;
    }
    reg = crcUpdate(reg, buffer.data(), want);
    done += static_cast<int64_t>(want);
  }
  uint32_t computed = crcFinish(reg);
  out_ << "  CRC: " << hex32(computed) << (computed == expected ? " (matches)" : " (DOES NOT MATCH)") << "\n";
  if (computed != expected) problem("CRC mismatch: stored " + hex32(expected) + ", computed " + hex32(computed));
}

void Inspector::listFiles(Cursor& c, int64_t checkedEnd) {
  int count = parseConfigInt(table_.narrow.count(CFG_INCLUDED_FILE_COUNT) ? table_.narrow[CFG_INCLUDED_FILE_COUNT] : "");
  std::vector<std::string> names;
  const std::string& list = table_.narrow[CFG_INCLUDED_FILE_NAMES];
  for (size_t start = 0; start <= list.size();) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) names.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  size_t extracted = count > 0 ? std::min<size_t>(static_cast<size_t>(count), names.size()) : 0;
  out_ << "included files: " << extracted << "\n";
  if (count > 0 && static_cast<size_t>(count) > names.size()) {
    problem("the file count is " + std::to_string(count) + " but " + std::to_string(names.size()) +
            " names are given: the launcher extracts " + std::to_string(extracted));
  } else if (names.size() > extracted) {
    problem(std::to_string(names.size()) + " names are given but the file count is " + std::to_string(count) +
            ": the launcher ignores the rest");
  }
  for (size_t i = 0; i < extracted; ++i) {
    int64_t size = 0;
    int64_t at = c.position();
    if (!c.i64(size)) {
      problem("the file ends before the size of included file " + std::to_string(i + 1));
      return;
    }
    out_ << "  " << show(names[i], false) << " " << size << " bytes at offset " << at + 8 << "\n";
    if (size > 0 && foldFileName(names[i]) == foldFileName(kRuntimeArchiveName)) {
      runtimeOffset_ = at + 8;
      runtimeSize_ = size;
    }
    if (size < 0) problem("included file " + std::to_string(i + 1) + " has a negative size");
    if (size > 0 && !c.skip(size)) {
      problem("included file " + std::to_string(i + 1) + " (" + std::to_string(size) + " bytes) runs past the end of the file");
      return;
    }
  }
  int64_t unextracted = c.position();
  if (checkedEnd < 0) {
    out_ << "unextracted position: " << unextracted << "\n";
    out_ << "rest of the file: " << c.remaining()
         << " bytes (unextracted block and padding; without a checked length they cannot be told apart)\n";
    return;
  }
  if (unextracted > checkedEnd) {
    problem("the included files end at " + std::to_string(unextracted) + ", after the checked range (" +
            std::to_string(checkedEnd) + ")");
    return;
  }
  out_ << "unextracted: " << checkedEnd - unextracted << " bytes at offset " << unextracted << "\n";
  if (certificateOffset_ >= 0 && certificateOffset_ < checkedEnd) {
    problem("the certificate table at offset " + std::to_string(certificateOffset_) +
            " lies inside the checked range, which ends at " + std::to_string(checkedEnd));
    return;
  }
  int64_t dataEnd = certificateOffset_ >= 0 ? certificateOffset_ : file_.size();
  int64_t padding = dataEnd - checkedEnd;
  int64_t nonzero = 0;
  std::vector<uint8_t> buffer(1 << 16);
  for (int64_t done = 0; done < padding;) {
    size_t want = static_cast<size_t>(std::min<int64_t>(padding - done, buffer.size()));
    if (!file_.readAt(checkedEnd + done, buffer.data(), want)) break;
    for (size_t k = 0; k < want; ++k) nonzero += buffer[k] != 0;
    done += static_cast<int64_t>(want);
  }
  out_ << "padding: " << padding << " bytes" << (nonzero ? " (" + std::to_string(nonzero) + " not zero)" : " (zeros)");
  if (certificateOffset_ >= 0) {
    out_ << "; the signature follows at offset " << dataEnd << "\n";
  } else {
    out_ << "; file size " << file_.size() << (file_.size() % kMediaAlignment == 0 ? " is" : " is not") << " a multiple of "
         << kMediaAlignment << "\n";
  }
}

void Inspector::showSignature(const PeLayout& layout) {
  uint32_t offset = 0, size = 0;
  if (!readCertificateTable(file_, layout, offset, size)) return;
  out_ << "signature: certificate table of " << size << " bytes at offset " << offset << "\n";
  if (int64_t(offset) + size > file_.size()) {
    problem("the certificate table (" + std::to_string(size) + " bytes at offset " + std::to_string(offset) +
            ") runs past the end of the file");
  } else if (int64_t(offset) < layout.payloadStart) {
    problem("the certificate table at offset " + std::to_string(offset) + " lies inside the executable image");
  } else {
    certificateOffset_ = offset;
  }
}

// One line each for the icon group and the version information, so that a built file can
// be checked without Windows. Unreadable resources are reported here, not as a problem of
// the payload.
void Inspector::showResources(int64_t imageEnd) {
  if (imageEnd > (int64_t(256) << 20)) return;
  std::string image(static_cast<size_t>(imageEnd), '\0');
  if (!file_.readAt(0, image.data(), image.size())) return;
  PeFile pe;
  ResourceTree tree;
  std::string why;
  if (!parsePeFile(std::move(image), pe, why) || !readResourceTree(pe, tree, why)) {
    out_ << "resources: cannot be read: " << why << "\n";
    return;
  }
  const ResourceEntry* group = tree.find(kResourceGroupIcon, kInstallerIconGroup);
  if (!group || group->languages.empty()) {
    out_ << "icon: no icon group " << kInstallerIconGroup << "\n";
  } else {
    const std::string& g = group->languages.front().bytes;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(g.data());
    size_t count = g.size() >= 6 ? loadU16(p + 4) : 0;
    out_ << "icon: group " << kInstallerIconGroup << " with " << count << " images:";
    for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= g.size(); ++i) {
      const uint8_t* e = p + 6 + 14 * i;
      out_ << " " << (e[0] ? e[0] : 256) << "x" << (e[1] ? e[1] : 256) << "/" << loadU16(e + 6) << "-bit";
    }
    out_ << "\n";
  }
  // The launcher's own record of its version, which no build description replaces.
  const ResourceEntry* stub = tree.find(kResourceData, LAUNCHER_VERSION_RESOURCE);
  if (!stub || stub->languages.empty()) {
    out_ << "stub version: not recorded in the stub\n";
  } else {
    std::string text = stub->languages.front().bytes;
    text = text.substr(0, text.find('\0'));
    uint16_t parts[4];
    if (parseVersionNumber(text, parts)) {
      out_ << "stub version: " << text << "\n";
    } else {
      out_ << "stub version: not recorded in the stub (its RCDATA " << LAUNCHER_VERSION_RESOURCE
           << " holds something else)\n";
    }
  }
  std::vector<uint16_t> versions = tree.idsOf(kResourceVersion);
  const ResourceEntry* version = versions.empty() ? nullptr : tree.find(kResourceVersion, versions.front());
  if (!version || version->languages.empty()) {
    out_ << "version: none\n";
    return;
  }
  // VS_VERSIONINFO: the fixed part follows the 6-byte header and the key, 4-byte aligned.
  const std::string& v = version->languages.front().bytes;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(v.data());
  size_t fixed = 40;
  if (v.size() < fixed + 52 || loadU32(p + fixed) != 0xFEEF04BDu) {
    out_ << "version: present but without its fixed part\n";
    return;
  }
  auto four = [&](size_t at) {
    return std::to_string(loadU16(p + at + 2)) + "." + std::to_string(loadU16(p + at)) + "." +
           std::to_string(loadU16(p + at + 6)) + "." + std::to_string(loadU16(p + at + 4));
  };
  out_ << "version: file " << four(fixed + 8) << ", product " << four(fixed + 16) << " (language "
       << version->languages.front().language << ")\n";
}

int Inspector::run() {
  std::string error;
  if (!file_.open(path_, error)) {
    problem("cannot open: " + error);
    return 1;
  }
  out_ << "file: " << path_ << " (" << file_.size() << " bytes)\n";
  PeLayout layout;
  if (!locatePayload(file_, layout, error)) {
    problem("cannot find the payload: " + error);
    return finish();
  }
  if (layout.elf) {
    out_ << "ELF image (Linux launcher): it ends at " << layout.payloadStart << "\n";
    out_ << "payload start: " << layout.payloadStart << "\n";
  } else {
    out_ << "PE header at " << layout.peHeader << ": " << layout.sectionCount << " sections, optional header "
         << layout.optionalSize << " bytes\n";
    out_ << "last section: header at " << layout.lastSectionHeader << ", raw data " << layout.rawDataSize
         << " bytes at offset " << layout.rawDataOffset << "\n";
    out_ << "payload start: " << layout.payloadStart << "\n";
    showResources(std::min<int64_t>(layout.payloadStart, file_.size()));
    showSignature(layout);
  }
  if (layout.payloadStart >= file_.size()) {
    problem("no payload: the image ends at " + std::to_string(layout.payloadStart) + " and the file has " +
            std::to_string(file_.size()) + " bytes");
    return finish();
  }

  Cursor c(file_, layout.payloadStart);
  uint32_t magic = 0, present = 0, expected = 0;
  int64_t checkedLength = 0;
  if (!c.u32(magic) || !c.u32(present) || !c.u32(expected) || !c.i64(checkedLength)) {
    problem("the file ends inside the payload header");
    return finish();
  }
  out_ << "header:\n  magic: " << hex32(magic) << (magic == kPayloadMagic ? " (ok)" : " (WRONG)") << "\n";
  if (magic != kPayloadMagic) {
    problem("no payload: the magic is " + hex32(magic) + ", not " + hex32(kPayloadMagic));
    return finish();
  }
  out_ << "  checksumPresent: " << static_cast<int32_t>(present) << "\n  expectedCrc: " << hex32(expected)
       << "\n  checkedLength: " << checkedLength << "\n";
  int64_t checkedEnd = -1;
  if (present != 0) {
    checkCrc(layout.payloadStart, checkedLength, expected);
    if (checkedLength >= 0 && checkedLength <= c.remaining()) checkedEnd = c.position() + checkedLength;
  } else {
    out_ << "  CRC: not checked (no integrity data)\n";
  }

  if (!readRecords(c, false) || !readRecords(c, true)) return finish();
  out_ << "configuration ends at: " << c.position() << "\n";
  listFiles(c, checkedEnd);
  showRuntimeArchive();
  return finish();
}

// What the launcher will unpack as its runtime: the archive's entries, its unpacked size
// against the record that scales the progress bar, and the runtime library it will load.
void Inspector::showRuntimeArchive() {
  if (runtimeOffset_ < 0 || runtimeOffset_ + runtimeSize_ > file_.size()) return;
  RuntimeArchiveSummary summary = summarizeRuntimeArchive(file_, runtimeOffset_, runtimeSize_, true);
  out_ << "runtime archive " << kRuntimeArchiveName << ": " << summary.members << " gzip member"
       << (summary.members == 1 ? "" : "s") << ", " << summary.tarSize << " bytes unpacked"
       << (summary.sizedMembers ? "; the launcher inflates the members side by side" : "") << "\n";
  if (!summary.readable) {
    problem(std::string("the runtime archive ") + kRuntimeArchiveName + " is damaged: " + summary.problem +
            "; the launcher would end with \"The bundled JRE is corrupted\"");
    return;
  }
  out_ << "  entries: " << summary.directories + summary.files + summary.links + summary.others << " ("
       << summary.directories << " directories, " << summary.files << " files, " << summary.links << " links, "
       << summary.others << " other)\n";
  const std::string record = table_.narrow.count(CFG_INCLUDED_JRE_SIZE) ? table_.narrow[CFG_INCLUDED_JRE_SIZE] : "";
  out_ << "  includedJreSize: " << (record.empty() ? "not set" : record);
  if (!record.empty()) {
    out_ << (std::to_string(summary.tarSize) == record ? " (matches)"
                                                       : " (differs from the unpacked size: the progress bar is off)");
  }
  out_ << "\n";
  std::string head(static_cast<size_t>(std::min<int64_t>(file_.size(), kImageHeadBytes)), '\0');
  RuntimeTarget target;
  if (!file_.readAt(0, head.data(), head.size()) || !imageMachine(head, target.os, target.machine)) return;
  const std::string preferred = table_.narrow.count(CFG_PREFERRED_VM_TYPE) ? table_.narrow[CFG_PREFERRED_VM_TYPE] : "";
  std::string why;
  out_ << "  runtime library: " << runtimeLibraryLine(summary, target, preferred, why) << "; launcher "
       << machineName(target.os, target.machine) << "\n";
  if (!why.empty()) problem("the runtime archive: " + why);
}

}  // namespace

std::string printable(const std::string& utf8, size_t limit) {
  std::string out;
  size_t n = std::min(utf8.size(), limit);
  while (n > 0 && n < utf8.size() && (static_cast<unsigned char>(utf8[n]) & 0xC0) == 0x80) --n;
  for (size_t i = 0; i < n; ++i) {
    unsigned char ch = static_cast<unsigned char>(utf8[i]);
    switch (ch) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (ch < 0x20 || ch == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", ch);
          out += buf;
        } else {
          out.push_back(static_cast<char>(ch));
        }
    }
  }
  if (n < utf8.size()) out += "... (" + std::to_string(utf8.size() - n) + " more bytes)";
  return out;
}

int inspectMediaFile(const std::string& path, int codePage, std::ostream& out, std::ostream& err) {
  return Inspector(path, codePage, out, err).run();
}
