#include "nv_loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "decompressor.h"
#include "item_tables.h"
#include "subtree_builder.h"
#include "symbol_parser.h"

namespace vx::nvdb {

namespace {

constexpr std::size_t kSymbolAddressOffset = 31;
constexpr std::size_t kSymbolSizeOffset = 35;
constexpr uint32_t kReadSlice = 4096;  // memory is read in slices, for progress
constexpr std::string_view kNameTableSymbol = "NVitems_item_name_table";
constexpr std::string_view kDescriptorTableSymbol = "NVitems_desc_table";

uint32_t littleEndian32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// A private directory in $TMPDIR for the compressed file and gzip's output,
// removed with everything in it on every path out of the load.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/stiXXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = std::move(pattern);
  }
  ~ScratchDirectory() {
    if (path_.empty()) return;
    for (const std::string& file : files_) unlink(file.c_str());
    rmdir(path_.c_str());
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  bool valid() const { return !path_.empty(); }
  // A file name inside the directory, removed with it.
  std::string file(const std::string& name) {
    files_.push_back(path_ + "/" + name);
    return files_.back();
  }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

bool writeFile(const std::string& path, std::span<const uint8_t> bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  return close(fd) == 0 && written == bytes.size();
}

// The whole file, or nullopt when it cannot be opened or read or is larger
// than `limit`.
std::optional<std::string> readFile(const std::string& path, uint64_t limit) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> text;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) <= limit) {
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < content.size()) {
      const ssize_t n = read(fd, content.data() + got, content.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got == content.size()) text = std::move(content);
  }
  close(fd);
  return text;
}

// What the items made so far cost, against the budget of the database.
class Budget {
 public:
  // Charges one entry; false, with the reason, when that is over the budget.
  bool charge(uint64_t nodes, uint64_t bytes, const ItemTableRow& row, int32_t element, uint16_t count) {
    nodes_ += nodes;
    bytes_ += bytes;
    if (nodes_ > kMaxDatabaseNodes) return refuse(kMaxDatabaseNodes, "nodes", row, element, count);
    if (bytes_ > kMaxDatabaseBytes) return refuse(kMaxDatabaseBytes, "bytes", row, element, count);
    return true;
  }
  const std::string& refusal() const { return refusal_; }

 private:
  bool refuse(uint64_t limit, const char* what, const ItemTableRow& row, int32_t element, uint16_t count) {
    refusal_ = "the UT's NV items need more than " + std::to_string(limit) + ' ' + what + " (item " + row.name;
    if (count > 1) refusal_ += ", element " + std::to_string(element);
    refusal_ += ')';
    return false;
  }

  uint64_t nodes_ = 0;
  uint64_t bytes_ = 0;
  std::string refusal_;
};

class Loader {
 public:
  Loader(NvUtAccess& ut, const LoadOptions& options) : ut_(ut), options_(options) {}

  std::unique_ptr<NvDatabase> run(std::string* refusal) {
    auto database = load();
    // A catalogue over the budget was read well; the refusal says why.
    if (!database && budget_.refusal().empty()) say(NvMessageId::SymbolInformationUnreadable);
    if (refusal != nullptr) *refusal = budget_.refusal();
    return database;
  }

 private:
  std::unique_ptr<NvDatabase> load() {
    const std::string decompressor =
        options_.decompressor.empty() ? locateDecompressor() : options_.decompressor;

    std::array<uint8_t, kVersionBlockSize> version{};
    if (!ut_.readVersionBlock(version)) return nullptr;
    const uint32_t address = littleEndian32(&version[kSymbolAddressOffset]);
    const uint32_t size = littleEndian32(&version[kSymbolSizeOffset]);
    if (size == 0 || size > kMaxCompressedSymbolInformation) return nullptr;

    std::vector<uint8_t> compressed(size);
    if (!readMemory(address, compressed, LoadProgress::Stage::SymbolInformation)) return nullptr;

    auto symbols = unpackAndParse(compressed, decompressor);
    if (!symbols) return nullptr;

    // The two tables are one step of the progress: bytes of both together.
    const TypeRecord* nameTable = tableSymbol(*symbols, kNameTableSymbol);
    const TypeRecord* descriptorTable = tableSymbol(*symbols, kDescriptorTableSymbol);
    if (nameTable == nullptr || descriptorTable == nullptr) return nullptr;
    const uint64_t tableBytes = uint64_t{nameTable->size} + descriptorTable->size;
    std::vector<uint8_t> names;
    std::vector<uint8_t> descriptors;
    if (!readTable(*nameTable, names, 0, tableBytes) ||
        !readTable(*descriptorTable, descriptors, nameTable->size, tableBytes)) {
      return nullptr;
    }
    TreeSizes treeSizes;
    auto items = buildItemList(*symbols, treeSizes, parseItemTables(names, descriptors));
    if (!items) return nullptr;
    return std::make_unique<NvDatabase>(std::move(*symbols), std::move(*items), std::move(treeSizes));
  }

  std::optional<SymbolTable> unpackAndParse(std::span<const uint8_t> compressed,
                                            const std::string& decompressor) {
    ScratchDirectory scratch;
    if (!scratch.valid()) return std::nullopt;
    const std::string unpacked = scratch.file("symbols");
    const std::string packed = scratch.file("symbols.gz");
    if (!writeFile(packed, compressed)) return std::nullopt;

    if (access(decompressor.c_str(), X_OK) != 0) {
      say(NvMessageId::DecompressorNotFound, decompressor);
      return std::nullopt;
    }
    // A decompressor that fails leaves no output; one stopped at the time
    // limit may leave part of it, which must not pass for the whole.
    const bool finished = runDecompressor(decompressor, packed, options_.decompressTimeoutMs) ==
                          DecompressResult::Finished;
    auto text = finished ? readFile(unpacked, kMaxSymbolInformation) : std::nullopt;
    unlink(unpacked.c_str());
    if (!text) {
      say(NvMessageId::CouldNotOpenFile, unpacked);
      return std::nullopt;
    }
    auto parsed = parseSymbolInformation(std::move(*text));
    if (!parsed.table) {
      say(NvMessageId::ParseError, std::to_string(parsed.errorRecord));
      return std::nullopt;
    }
    return std::move(parsed.table);
  }

  static const TypeRecord* tableSymbol(const SymbolTable& symbols, std::string_view name) {
    const TypeRecord* symbol = symbols.symbolByName(name);
    return symbol == nullptr || symbol->size > kMaxItemTable ? nullptr : symbol;
  }

  // `before` bytes of the step's `stepTotal` were read by earlier tables.
  bool readTable(const TypeRecord& symbol, std::vector<uint8_t>& out, uint64_t before, uint64_t stepTotal) {
    // Two zero bytes beyond the table end its text even when the UT's does not.
    out.assign(symbol.size + 2u, 0);
    return readMemory(symbol.address, std::span(out).first(symbol.size), LoadProgress::Stage::ItemTables, before,
                      stepTotal);
  }

  std::optional<std::vector<NVItemInfo>> buildItemList(const SymbolTable& symbols, TreeSizes& treeSizes,
                                                       const std::vector<ItemTableRow>& rows) {
    std::vector<NVItemInfo> items;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const ItemTableRow& row = rows[i];
      if (row.itemNumber > UINT16_MAX) return std::nullopt;  // item numbers are 16 bits
      uint16_t count = 0;
      if (!ut_.listDimension(row.itemNumber, count)) return std::nullopt;
      report(LoadProgress::Stage::ItemDimensions, i + 1, rows.size());
      if (count == 0 && row.presence != 1) continue;
      // Each entry is charged before it is made, so that a long list stops
      // where the budget runs out.
      const ElementCost cost = elementCost(symbols, treeSizes, row);
      const int32_t first = count == 0 ? -1 : 0;
      const int32_t end = count == 0 ? 0 : count;
      for (int32_t k = first; k < end; ++k) {
        NVItemInfo item = entry(row, k, count);
        const uint64_t bytes = cost.valueBytes + sizeof(NVItemInfo) + item.name.size() + item.descriptor.size() +
                               item.typeName.size();
        const uint64_t nodes = cost.elementNodes + (k == first ? cost.checkNodes : 0);
        if (!budget_.charge(nodes, bytes, row, k, count)) return std::nullopt;
        items.push_back(std::move(item));
        if (items.size() > kMaxItemEntries) return std::nullopt;
      }
    }
    return items;
  }

  // What an element of the row's type costs once expanded: the nodes of its
  // tree and its value buffer. An element whose type is unknown, too large
  // or has a tree over the per-item cap never expands and costs nothing;
  // the first row of such a tree is charged the cap once instead, the work
  // of finding out, so that many of them cannot hold the load up for long.
  struct ElementCost {
    uint64_t elementNodes = 0;
    uint64_t valueBytes = 0;
    uint64_t checkNodes = 0;
  };
  static ElementCost elementCost(const SymbolTable& symbols, TreeSizes& treeSizes, const ItemTableRow& row) {
    const TypeRecord* type = symbols.typeByName(row.typeName);
    if (type == nullptr || type->size > kMaxItemSize) return {};
    const bool checked = treeSizes.known(*type);
    const auto nodes = treeSizes.of(symbols, *type);
    if (!nodes) return {0, 0, checked ? 0 : uint64_t{kMaxNodesPerItem}};
    return {*nodes, type->size, 0};
  }

  static NVItemInfo entry(const ItemTableRow& row, int32_t element, uint16_t count) {
    NVItemInfo item;
    item.name = row.name;
    item.descriptor = row.descriptor;
    if (count > 1) {
      std::string suffix(1, '[');
      suffix += std::to_string(element);
      suffix += ']';
      item.name += suffix;
      item.descriptor += suffix;
    }
    item.typeName = row.typeName;
    item.presence = row.presence;
    item.flags = row.flags;
    item.itemNumber = row.itemNumber;
    item.elementIndex = element;
    item.instanceCount = count;
    return item;
  }

  // Reads `out` in slices; the progress counts `before` + the bytes read
  // against `stepTotal` (0: the size of `out`).
  bool readMemory(uint32_t address, std::span<uint8_t> out, LoadProgress::Stage stage, uint64_t before = 0,
                  uint64_t stepTotal = 0) {
    if (static_cast<uint64_t>(address) + out.size() > (uint64_t{1} << 32)) return false;
    if (stepTotal == 0) stepTotal = out.size();
    for (std::size_t done = 0; done < out.size();) {
      const std::size_t slice = std::min<std::size_t>(kReadSlice, out.size() - done);
      if (!ut_.readMemory(address + static_cast<uint32_t>(done), out.subspan(done, slice))) return false;
      done += slice;
      report(stage, before + done, stepTotal);
    }
    return true;
  }

  void report(LoadProgress::Stage stage, uint64_t done, uint64_t total) const {
    if (options_.progress) options_.progress({stage, done, total});
  }

  void say(NvMessageId id, std::string argument = {}) const {
    if (options_.messagesEnabled && options_.messages) options_.messages({id, std::move(argument)});
  }

  NvUtAccess& ut_;
  const LoadOptions& options_;
  Budget budget_;
};

}  // namespace

std::unique_ptr<NvDatabase> loadNvDatabase(NvUtAccess& ut, const LoadOptions& options, std::string* refusal) {
  return Loader(ut, options).run(refusal);
}

}  // namespace vx::nvdb
