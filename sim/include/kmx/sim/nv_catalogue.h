// The simulated UT's NV item catalogue: the item types and items that the UT
// software describes in its symbol information and its two item tables, and
// the initial values of every item element. It is built from the catalogue
// text compiled into the simulator (sim/catalogue/nv_catalogue.txt) for one
// variant of the UT software, and installed into a UT model: the compressed
// symbol information and both tables go into UT memory (region 0), the items
// into the NV store.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kmx::sim {

class UtModel;

// Main model bytes the UT reports in its model status item.
namespace main_model {
inline constexpr uint8_t kTrimodePortable = 0xC9;
inline constexpr uint8_t kSinglemodePortable = 0xCA;
inline constexpr uint8_t kAnalogFixed = 0xCB;
inline constexpr uint8_t kDigitalFixed = 0xCC;
inline constexpr uint8_t kModule = 0xCD;
}  // namespace main_model

// A broken or hostile UT's list item, after every other item: a list of
// 65 535-byte arrays of characters (nv_huge_array_type), as large as an
// element of an NV item can be.
enum class HostileList : uint8_t {
  None,
  // NV_HUGE_INACTIVE_LIST_I: 50 elements, none of them holding a value.
  InactiveElements,
  // NV_HUGE_DIMENSION_LIST_I: the list dimension 65 535, every element
  // holding zeros.
  HugeDimension,
};

// The names the control language and utsim give them: none, inactive,
// dimension.
const char* hostileListName(HostileList list);
bool parseHostileList(const std::string& name, HostileList& list);

// "NAME=FLAGS" (FLAGS decimal or 0x hexadecimal), as the control language
// and utsim give an item's flags: adds or replaces the item's entry.
bool parseItemFlags(const std::string& text, std::map<std::string, int32_t>& itemFlags);

// The variants of UT software the host side must cope with.
struct CatalogueVariant {
  uint8_t mainModel = main_model::kTrimodePortable;
  // Names as 16-bit characters: unicode_alpha[12] in phone-book entries and
  // the last dialled number, T_USHORT service provider names.
  bool unicodePhoneBookNames = false;
  uint32_t nameArrayLength = 12;  // service provider names: 12 or 33
  bool oldSmsLayout = false;      // SMS boxes of type smsi_msg_type, not sms_dm_msg_type
  // Software before the phone-book style display copy of the directory
  // number: NV_UI_DIRECTORY_NUMBER_I is held 0 times with presence 0, so a
  // backup carries only NV_UI_DIR_NUMBER_I and NV_UI_NAM_NAME_I.
  bool oldDirectoryNumber = false;
  bool emptySymbolInformation = false;  // the version block gives size 0
  // The descriptor table ends early: the last kShortTableMissing names lose
  // their fields (the first of them keeps two of its four).
  bool shortDescriptorTable = false;
  HostileList hostileList = HostileList::None;
  // Descriptor table flags that chosen items carry in place of the
  // catalogue's own, by item name: software that marks an item with another
  // value than 0, 2 or 4 (6 holds both the critical and the ignored bit).
  std::map<std::string, int32_t> itemFlags;

  bool operator==(const CatalogueVariant&) const = default;
};

inline constexpr std::size_t kShortTableMissing = 3;

// One name of the item name table.
struct CatalogueItem {
  std::string name;
  std::string descriptor;
  std::string typeName;
  uint16_t number = 0;         // position in the name table
  uint16_t listDimension = 0;  // what the UT answers: 0 holds none, 1 single, n a list
  int32_t presence = 0;
  int32_t flags = 0;           // 4 critical, 2 ignored by restore
  uint32_t size = 0;           // bytes of one element (its type's size)
  bool described = true;       // all four descriptor fields are in the table
};

// What a dotted path names inside one item element.
struct NvNode {
  enum class Kind : uint8_t {
    Unsigned,          // base type leaf (T_UCHAR, T_USHORT, T_UINT, T_ULONG)
    Signed,            // base type leaf (T_CHAR, T_SHORT, T_INT, T_LONG)
    Pointer,           // pointer or function member, or T_VOID: 4 bytes
    Enum,              // signed value of the enumeration's size
    UnsignedBitfield,  // bits of the 32-bit word at `offset`
    SignedBitfield,
    Aggregate,         // array, structure or union: not a leaf
  };
  uint16_t item = 0;     // item number
  uint16_t element = 0;  // element index
  uint32_t offset = 0;   // in the element's bytes
  uint32_t size = 0;     // bytes (4 for a bitfield's word)
  Kind kind = Kind::Aggregate;
  uint8_t bitPosition = 0;
  uint8_t bitWidth = 0;
  std::string typeName;  // declared type (the enumeration for Enum)

  bool isLeaf() const { return kind != Kind::Aggregate; }
};

class NvCatalogue : public std::enable_shared_from_this<NvCatalogue> {
 public:
  // Address of the item tables in region 0.
  static constexpr uint32_t kNameTableAddress = 0x00480000;
  static constexpr uint32_t kDescriptorTableAddress = 0x00490000;

  // Builds the catalogue of one variant; null with the reason in `error`.
  static std::shared_ptr<const NvCatalogue> build(const CatalogueVariant& variant, std::string& error);
  // The catalogue text compiled into the simulator.
  static std::string sourceText();

  ~NvCatalogue();
  NvCatalogue(const NvCatalogue&) = delete;
  NvCatalogue& operator=(const NvCatalogue&) = delete;

  const CatalogueVariant& variant() const;
  const std::vector<CatalogueItem>& items() const;
  const CatalogueItem* find(const std::string& name) const;

  // What the UT serves: the symbol information (as text, and gzip-compressed
  // as it lies in memory) and the two NUL-terminated tables.
  const std::string& symbolText() const;
  const std::vector<uint8_t>& compressedSymbolText() const;
  const std::string& nameTable() const;
  const std::string& descriptorTable() const;

  // The item entries a reader of the tables makes, in order: names with
  // "[k]" for lists of more than one element; items the UT holds none of
  // only with presence 1; undescribed names left out.
  std::vector<std::string> entryNames() const;
  // Every leaf path of one entry ("NV_UI_PHONE_BOOK[3]"), depth first, as
  // the item tree shows them; empty for an unknown entry.
  std::vector<std::string> leafPaths(const std::string& entry) const;

  // Resolves a dotted path: entry name, type name, then node texts
  // ("NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[0]").
  // A path of the entry alone names the whole element.
  std::optional<NvNode> locate(const std::string& path, std::string& error) const;
  // Constants of an enumeration type, in declaration order.
  std::vector<std::pair<std::string, int32_t>> enumConstants(const std::string& typeName) const;

  // A leaf's value in an element's bytes, read the way the host reads it
  // (signed kinds sign-extended); bytes past the element's end read as 0.
  static int64_t readValue(const NvNode& node, std::span<const uint8_t> element);
  // Stores a leaf's value; bytes past the element's end are not written.
  static void writeValue(const NvNode& node, std::span<uint8_t> element, int64_t value);

  // Puts the catalogue into a model: symbol information, tables, the NV
  // store with its initial values, and the main model status item.
  void install(UtModel& model) const;

  class Impl;

 private:
  explicit NvCatalogue(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kmx::sim
