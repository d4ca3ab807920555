#include "shapes_numbers.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "digit_codes.h"
#include "nv_path.h"
#include "nv_port.h"
#include "shapes_basic.h"
#include "vx/com/no_throw.h"
#include "vx/com/task_memory.h"

namespace vx::utconfig {

namespace {

constexpr int kMaxDigits = 32;
constexpr int kNameLength = 12;
constexpr int kNibbleBytes = 16;
constexpr const char* kAlpha = ".alpha[12].alpha[{k}]";
constexpr const char* kUnicodeAlpha = ".unicode_alpha[12].unicode_alpha[{k}]";

int clampDigits(UI4 count) { return static_cast<int>(std::min<UI4>(count, kMaxDigits)); }

// Reads leaves in order into `values`; stops at the first failure.
HRESULT readLeaves(const NvPort& nv, std::initializer_list<std::pair<std::string, UI4*>> leaves) {
  for (const auto& [path, value] : leaves) {
    const HRESULT hr = nv.readChecked(path, NV_UNKNOWN, value);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT writeLeaves(const NvPort& nv, std::initializer_list<std::pair<std::string, UI4>> leaves) {
  for (const auto& [path, value] : leaves) {
    const HRESULT hr = nv.write(path, value);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// The name leaves of a phone-book style node: 8-bit when `base` has them,
// else 16-bit.
std::string nameLeaves(const NvPort& nv, const std::string& base) {
  UI4 value = 0;
  return SUCCEEDED(nv.readChecked(base + ".alpha[12].alpha[0]", NV_UNKNOWN, &value)) ? kAlpha : kUnicodeAlpha;
}

template <class Char>
HRESULT readName(const NvPort& nv, const std::string& leaves, Char (&name)[kNameLength]) {
  for (int k = 0; k < kNameLength; ++k) {
    UI4 value = 0;
    const HRESULT hr = nv.readChecked(NvPath(leaves.c_str(), 0, k), NV_UNKNOWN, &value);
    if (FAILED(hr)) return hr;
    name[k] = static_cast<Char>(value);
  }
  return S_OK;
}

template <class Char>
HRESULT writeName(const NvPort& nv, const std::string& leaves, const Char (&name)[kNameLength]) {
  for (int k = 0; k < kNameLength; ++k) {
    using Unsigned = std::make_unsigned_t<Char>;
    const HRESULT hr = nv.write(NvPath(leaves.c_str(), 0, k), static_cast<Unsigned>(name[k]));
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// At least one name character is neither a space nor zero.
template <class Char>
bool hasName(const Char (&name)[kNameLength]) {
  return std::any_of(std::begin(name), std::end(name), [](Char c) { return c != 0 && c != ' '; });
}

// The 32 digit characters from `count` packed digits, spaces after them.
HRESULT readNibbles(const NvPort& nv, const std::string& base, int count, uint8_t (&digits)[kMaxDigits]) {
  std::memset(digits, ' ', sizeof digits);
  for (int k = 0; k < count; k += 2) {
    UI4 byte = 0;
    const HRESULT hr = nv.readChecked(base + ".nibble[16].nibble[" + std::to_string(k / 2) + "]", NV_UNKNOWN, &byte);
    if (FAILED(hr)) return hr;
    digits[k] = static_cast<uint8_t>(DecodePhoneBookDigit((byte >> 4) & 0xFu));
    digits[k + 1] = k + 1 == count ? ' ' : static_cast<uint8_t>(DecodePhoneBookDigit(byte & 0xFu));
  }
  return S_OK;
}

// All 16 nibble bytes from 32 characters.
HRESULT writeNibbles(const NvPort& nv, const std::string& base, const uint8_t (&digits)[kMaxDigits]) {
  for (int j = 0; j < kNibbleBytes; ++j) {
    const UI4 byte = (EncodePhoneBookDigit(static_cast<char>(digits[2 * j])) << 4) |
                     EncodePhoneBookDigit(static_cast<char>(digits[2 * j + 1]));
    const HRESULT hr = nv.write(base + ".nibble[16].nibble[" + std::to_string(j) + "]", byte);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Digit list get and set on a ui_digits_type node.
HRESULT readDigitList(const NvPort& nv, const std::string& base, emergency_pnumber_type& number) {
  UI4 international = 0, count = 0;
  HRESULT hr = readLeaves(nv, {{base + ".international", &international}, {base + ".digits_index", &count}});
  if (FAILED(hr)) return hr;
  number.international = static_cast<int32_t>(international);
  number.digits_index = clampDigits(count);
  for (int k = 0; k < number.digits_index; ++k) {
    UI4 c = 0;
    hr = nv.readChecked(base + ".digits[32].digits[" + std::to_string(k) + "]", NV_UNKNOWN, &c);
    if (FAILED(hr)) return hr;
    number.digits[k] = static_cast<uint8_t>(c);
  }
  return S_OK;
}

HRESULT writeDigitList(const NvPort& nv, const std::string& base, const emergency_pnumber_type& number) {
  for (int k = 0; k < kMaxDigits; ++k) {
    const HRESULT hr = nv.write(base + ".digits[32].digits[" + std::to_string(k) + "]", number.digits[k]);
    if (FAILED(hr)) return hr;
  }
  return writeLeaves(nv, {{base + ".international", static_cast<UI4>(number.international)},
                          {base + ".digits_index", static_cast<UI4>(number.digits_index)},
                          {base + ".hyphen", static_cast<UI4>(number.hyphen)}});
}

bool digitCountValid(int32_t count) { return count >= 0 && count <= kMaxDigits; }

template <class Entry>
HRESULT phoneBook(IVexParams1* params, const Row& row, GetSetType gstType, int n, Entry* caller, bool probeName) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, caller != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string base = NvPath(row.path, n);
    auto& name = [](Entry & e) -> auto& {
      if constexpr (requires { e.unicode_alpha; })
        return e.unicode_alpha;
      else
        return e.alpha;
    }
    (*caller);
    const std::string names = base + (probeName ? nameLeaves(nv, base) : std::string(kAlpha));

    if (!IsGet(gstType)) {
      const Entry& entry = *caller;
      if (!digitCountValid(entry.digits_index)) return E_INVALIDARG;
      hr = writeLeaves(nv, {{base + ".hdr.flags.international", static_cast<UI4>(entry.international)},
                            {base + ".hdr.flags.valid", static_cast<UI4>(entry.valid)},
                            {base + ".hdr.flags.secret", static_cast<UI4>(entry.secret)},
                            {base + ".hdr.digits_index", static_cast<UI4>(entry.digits_index)}});
      if (FAILED(hr)) return hr;
      hr = writeName(nv, names, name);
      if (FAILED(hr)) return hr;
      const UI4 alphaValid = entry.valid == 1 && hasName(name) ? 1 : 0;
      hr = nv.write(base + ".hdr.flags.alpha_valid", alphaValid);
      if (FAILED(hr)) return hr;
      return writeNibbles(nv, base, entry.digits);
    }

    Entry entry{};
    bool allocated = false;
    hr = nv.isAllocated(NvPath(row.path2, n), &allocated);
    if (FAILED(hr)) return hr;
    if (allocated) {
      UI4 international = 0, valid = 0, secret = 0, count = 0;
      hr = readLeaves(nv, {{base + ".hdr.flags.international", &international},
                           {base + ".hdr.flags.valid", &valid},
                           {base + ".hdr.flags.secret", &secret},
                           {base + ".hdr.digits_index", &count}});
      if (FAILED(hr)) return hr;
      entry.allocated = 1;
      entry.international = static_cast<int32_t>(international);
      entry.valid = static_cast<int32_t>(valid);
      entry.secret = static_cast<int32_t>(secret);
      entry.digits_index = clampDigits(count);
      auto& entryName = [](Entry & e) -> auto& {
        if constexpr (requires { e.unicode_alpha; })
          return e.unicode_alpha;
        else
          return e.alpha;
      }
      (entry);
      hr = readName(nv, names, entryName);
      if (FAILED(hr)) return hr;
      hr = readNibbles(nv, base, entry.digits_index, entry.digits);
      if (FAILED(hr)) return hr;
      entry.pb_position = n;
    }
    *caller = entry;
    return S_OK;
  });
}

template <class Number>
HRESULT lastDialed(IVexParams1* params, const Row& row, GetSetType gstType, Number* caller, bool probeName) {
  return vx::com::NoThrow([&]() -> HRESULT {
    HRESULT hr = Prologue(params, caller != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string base = row.path;
    const std::string names = base + (probeName ? nameLeaves(nv, base) : std::string(kAlpha));
    auto nameOf = [](Number & number) -> auto& {
      if constexpr (requires { number.unicode_alpha; })
        return number.unicode_alpha;
      else
        return number.alpha;
    };

    if (!IsGet(gstType)) {
      if (!digitCountValid(caller->number_stuff.digits_index)) return E_INVALIDARG;
      hr = writeDigitList(nv, base + ".digits", caller->number_stuff);
      if (FAILED(hr)) return hr;
      hr = writeName(nv, names, nameOf(*caller));
      if (FAILED(hr)) return hr;
      hr = nv.write(base + ".alpha_valid", hasName(nameOf(*caller)) ? 1 : 0);
      if (FAILED(hr)) return hr;
      return nv.writeEnumName(base + ".secret", u"UI_NO_DISPLAY");
    }

    Number number = *caller;
    hr = readDigitList(nv, base + ".digits", number.number_stuff);
    if (FAILED(hr)) return hr;
    UI4 alphaValid = 0;
    hr = nv.readChecked(base + ".alpha_valid", NV_UNKNOWN, &alphaValid);
    if (FAILED(hr)) return hr;
    auto& name = nameOf(number);
    std::fill(std::begin(name), std::end(name), 0);
    if (alphaValid != 0) {
      hr = readName(nv, names, name);
      if (FAILED(hr)) return hr;
    }
    *caller = number;
    return S_OK;
  });
}

// The display copy: "+" when international, then the decoded digits.
HRESULT readDisplayCopy(const NvPort& nv, const std::string& base, std::u16string* text) {
  UI4 international = 0, count = 0;
  HRESULT hr =
      readLeaves(nv, {{base + ".hdr.flags.international", &international}, {base + ".hdr.digits_index", &count}});
  if (FAILED(hr)) return hr;
  uint8_t digits[kMaxDigits];
  const int length = clampDigits(count);
  hr = readNibbles(nv, base, length, digits);
  if (FAILED(hr)) return hr;
  std::u16string copy = international == 1 ? u"+" : u"";
  for (int k = 0; k < length; ++k) copy += static_cast<char16_t>(digits[k]);
  *text = copy;
  return S_OK;
}

HRESULT writeDisplayCopy(const NvPort& nv, const std::string& base, std::u16string_view text) {
  const bool international = !text.empty() && text.front() == u'+';
  if (international) text.remove_prefix(1);
  const std::size_t length = std::min<std::size_t>(text.size(), kMaxDigits);
  uint8_t digits[kMaxDigits];
  std::memset(digits, ' ', sizeof digits);
  for (std::size_t k = 0; k < length; ++k) digits[k] = static_cast<uint8_t>(text[k]);
  const HRESULT hr = writeLeaves(nv, {{base + ".hdr.flags.international", international ? 1u : 0u},
                                      {base + ".hdr.flags.valid", 1},
                                      {base + ".hdr.flags.secret", 0},
                                      {base + ".hdr.digits_index", static_cast<UI4>(length)}});
  if (FAILED(hr)) return hr;
  return writeNibbles(nv, base, digits);
}

constexpr int kProperDigits = 10;
constexpr std::size_t kDirectoryUnits = 50;

}  // namespace

HRESULT DigitListShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, emergency_pnumber_type* number) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const HRESULT hr = Prologue(params, number != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string base = NvPath(row.path, n);
    if (!IsGet(gstType)) {
      if (!digitCountValid(number->digits_index)) return E_INVALIDARG;
      return writeDigitList(nv, base, *number);
    }
    emergency_pnumber_type read = *number;  // hyphen and unread digits keep the caller's values
    const HRESULT got = readDigitList(nv, base, read);
    if (FAILED(got)) return got;
    *number = read;
    return S_OK;
  });
}

HRESULT PhoneBookShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, phonebook_entry_type* entry) {
  return phoneBook(params, row, gstType, n, entry, false);
}

HRESULT PhoneBookShape(IVexParams1* params, const Row& row, GetSetType gstType, int n,
                       phonebook_entry_unicode_type* entry) {
  return phoneBook(params, row, gstType, n, entry, true);
}

HRESULT LastDialedShape(IVexParams1* params, const Row& row, GetSetType gstType, last_dialed_digits_type* number) {
  return lastDialed(params, row, gstType, number, false);
}

HRESULT LastDialedShape(IVexParams1* params, const Row& row, GetSetType gstType,
                        last_dialed_digits_unicode_type* number) {
  return lastDialed(params, row, gstType, number, true);
}

HRESULT DirectoryNumberShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet,
                             LPWSTR* ppszResult) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    HRESULT hr = Prologue(params, get ? ppszResult != nullptr : szSet != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const bool satellite = n == -1;
    const char* proper = satellite ? row.path : row.path2;
    const std::string display = NvPath(satellite ? row.path3 : row.path4, n);

    if (!get) {
      std::u16string digits(szSet);
      std::erase(digits, u'-');
      for (int k = 0; k < kProperDigits; ++k) {
        const UI4 unit = static_cast<std::size_t>(k) < digits.size() ? digits[k] : 0;
        hr = nv.write(NvPath(proper, n, k), unit);
        if (FAILED(hr)) return hr;
      }
      return FAILED(writeDisplayCopy(nv, display, szSet)) ? UTC_S_ONE_COPY_ONLY : S_OK;
    }

    std::u16string number(kProperDigits, u'\0');
    HRESULT properRead = S_OK;
    for (int k = 0; k < kProperDigits && SUCCEEDED(properRead); ++k) {
      UI4 unit = 0;
      properRead = nv.readChecked(NvPath(proper, n, k), NV_UNKNOWN, &unit);
      number[k] = static_cast<char16_t>(unit);
    }
    // A number shorter than 10 is NUL-padded: it ends at the first NUL.
    number.resize(std::min(number.find(u'\0'), number.size()));
    std::u16string copy;
    const HRESULT copyRead = readDisplayCopy(nv, display, &copy);
    if (FAILED(properRead) && FAILED(copyRead)) return copyRead;

    std::u16string answer;
    HRESULT result = S_OK;
    if (FAILED(properRead)) {
      answer = copy;
    } else if (FAILED(copyRead)) {
      answer = number;
      result = UTC_S_ONE_COPY_ONLY;
    } else {
      std::u16string undashed = copy;
      std::erase(undashed, u'-');
      answer = undashed.substr(0, kProperDigits) == number ? copy : number;
    }
    auto* buffer = static_cast<LPWSTR>(CoTaskMemAlloc(kDirectoryUnits * sizeof(char16_t)));
    if (buffer == nullptr) return E_OUTOFMEMORY;
    std::memset(buffer, 0, kDirectoryUnits * sizeof(char16_t));
    std::copy_n(answer.begin(), std::min(answer.size(), kDirectoryUnits - 1), buffer);
    *ppszResult = buffer;
    return result;
  });
}

HRESULT NamNameShape(IVexParams1* params, const Row& row, GetSetType gstType, int n, LPWSTR szSet, LPWSTR* ppszResult) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const bool get = IsGet(gstType);
    HRESULT hr = Prologue(params, get ? ppszResult != nullptr : szSet != nullptr, row.index, n);
    if (FAILED(hr)) return hr;
    const NvPort nv(params);
    const std::string mirror = NvPath(row.path2, n);
    if (get) {
      hr = ReadCharRow(nv, row.path, n, row.count, ppszResult);
      if (SUCCEEDED(hr)) return hr;
      return ReadCharRow(nv, (mirror + nameLeaves(nv, mirror)).c_str(), n, row.count, ppszResult);
    }
    hr = WriteCharRow(nv, row.path, n, row.count, szSet);
    if (FAILED(hr)) return hr;
    // UT software without the display copy has no mirror to keep.
    const std::string mirrorItem = mirror.substr(0, mirror.find('.'));
    bool present = false;
    hr = nv.isAllocated(mirrorItem, &present);
    if (FAILED(hr) || !present) return hr;
    int16_t name[kNameLength];
    const std::size_t length = vx::com::WideLength(szSet);
    for (int k = 0; k < kNameLength; ++k) {
      name[k] = static_cast<int16_t>(static_cast<std::size_t>(k) < length ? szSet[k] : u' ');
    }
    hr = writeLeaves(nv, {{mirror + ".hdr.flags.valid", 1},
                          {mirror + ".hdr.flags.secret", 0},
                          {mirror + ".hdr.flags.alpha_valid", hasName(name) ? 1u : 0u}});
    if (FAILED(hr)) return hr;
    return writeName(nv, mirror + nameLeaves(nv, mirror), name);
  });
}

HRESULT ReadProbeShape(IVexParams1* params, const Row& row, int32_t whenReadable, int32_t* result) {
  return vx::com::NoThrow([&]() -> HRESULT {
    const HRESULT hr = Prologue(params, result != nullptr, row.index, 0);
    if (FAILED(hr)) return hr;
    UI4 value = 0;
    const bool readable = SUCCEEDED(NvPort(params).readChecked(row.path, NV_UNKNOWN, &value));
    *result = readable ? whenReadable : 1 - whenReadable;
    return S_OK;
  });
}

}  // namespace vx::utconfig
