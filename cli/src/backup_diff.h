// Backup files without a UT: a file read and parsed by the suite's own
// backup reader (the one a restore uses, so a file shown here is read as a
// restore reads it), and the items and values two files differ in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
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

// A place in a file's text (a backup file is at most 64 MiB).
struct TextSpan {
  uint32_t begin = 0;
  uint32_t length = 0;
};

// A backup file as places in its own text: no string per value, so two
// files of a large UT stay small in memory and are read in the order they
// lie in it.
struct BackupFile {
  // One per item ("[name]" section), in file order: its name and which of
  // `values` are its own.
  struct Item {
    TextSpan name;
    uint32_t firstValue = 0;
    uint32_t valueCount = 0;
  };
  // One per "path value" line: the path as written under the item's name.
  struct Value {
    TextSpan path;
    TextSpan value;
  };

  std::string name;  // as the caller named it, for messages
  vx::backup::NvFileInfo info;
  std::string text;
  std::vector<Item> items;
  std::vector<Value> values;

  std::string_view view(TextSpan span) const { return std::string_view(text).substr(span.begin, span.length); }
  std::string_view itemName(std::size_t item) const { return view(items[item].name); }
  std::span<const Value> valuesOf(std::size_t item) const {
    return std::span<const Value>(values).subspan(items[item].firstValue, items[item].valueCount);
  }
  // The item's value lines as they lie in the text, from its first path to
  // its last value: two items with the same bytes here hold the same values.
  std::string_view valueLines(std::size_t item) const;
  // "NAME.path", as a restore names the value.
  std::string fullPath(std::size_t item, const Value& value) const;
};

// Parses a backup's text, which the file keeps; `name` goes into the
// error. Throws BackupFileError.
BackupFile parseBackupText(std::string text, const std::string& name);
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
