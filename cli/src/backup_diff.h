// Backup files without a UT: a file read and parsed by the suite's own
// backup reader (the one a restore uses, so a file shown here is read as a
// restore reads it), and the items and values two files differ in.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "nv_file_info.h"
#include "nv_file_reader.h"

namespace vx::cli {

// A file that cannot be read or is no backup: the file's name, the line and
// what is wrong ("a.vex: line 214: not a number: 42abc").
class BackupFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a section's name and value lines lie in the file's text.
struct SectionText {
  std::size_t nameBegin = 0;
  std::size_t nameLength = 0;
  std::size_t bodyBegin = 0;
  std::size_t bodyLength = 0;
};

struct BackupFile {
  std::string name;  // as the caller named it, for messages
  vx::backup::NvFileInfo info;
  std::vector<vx::backup::NVFileSection> sections;  // one per item, in file order
  // The file's text, and where each section lies in it (one per section,
  // or none): items are paired by names read from the text, and two items
  // whose value lines are the same bytes are the same, so a comparison
  // reads memory that lies together rather than the sections' own strings.
  std::string text;
  std::vector<SectionText> texts;
};

// Parses a backup's text; `name` goes into the error. Throws BackupFileError.
BackupFile parseBackupText(std::string_view text, const std::string& name);
// Reads the file (at most the reader's 64 MiB) and parses it.
BackupFile readBackupFile(const std::string& path);

// One value that differs: `before` is absent for a value only the second
// file holds, `after` for one only the first holds.
struct ValueDifference {
  std::string path;
  std::optional<std::string> before;
  std::optional<std::string> after;
};

enum class ItemChange { Added, Removed, Changed };

struct ItemDifference {
  std::string item;
  ItemChange change;
  std::vector<ValueDifference> values;  // every value of an added or removed item
};

struct HeaderDifference {
  std::string field;  // format, model, nrVersion, version
  std::string before;
  std::string after;
};

struct BackupDiff {
  std::vector<HeaderDifference> header;
  std::vector<ItemDifference> items;  // the first file's order, then the items only the second holds
  bool same() const { return header.empty() && items.empty(); }
  std::size_t count(ItemChange change) const;
};

// What changes from `before` to `after`. Values are compared as the restore
// takes them (32-bit numbers: "-1" is "4294967295"); an item named twice in
// a file is matched by its occurrence. Linear in the two files.
BackupDiff diffBackups(const BackupFile& before, const BackupFile& after);

const char* changeName(ItemChange change);

}  // namespace vx::cli
