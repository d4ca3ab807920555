// A byte-driven parser of S-record software files: ASCII records
// ("S1 13 0000 ..." as hex digits) and binary records (the type digit as a
// byte, then the count and the bytes themselves), checked record by record
// as the bytes arrive, so a file of any size is checked in pieces without
// holding it. After the first error the rest of the input is ignored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace vx::download {

// The parser's error codes.
enum class SRecordError : uint16_t {
  None = 0,
  EmptyFile = 2000,          // nothing to check
  BadRecordType = 2001,      // not a digit after 'S', or an S4/S6 record
  BadChecksum = 2002,        // count, address, data and checksum do not sum to 0xFF
  UnexpectedByte = 2003,     // not a record start between records, or data after the end mark
  BadHexDigit = 2004,        // a hex field holds a character that is not a hex digit
  BadLength = 2005,          // count 0 or above 64, or a data record without data
  BadRecordCount = 2006,     // an S5 record not of 2 to 4 bytes, or not the count of the data records before it
  BadTermination = 2007,     // a start address of the wrong size, odd, or after a non-zero one
  NoTermination = 2008,      // the file does not end with a termination record (S7, S8 or S9): cut short
};

// One complete, checked record: its type (0..9), address and data.
struct SRecord {
  uint8_t type = 0;
  uint32_t address = 0;
  std::span<const uint8_t> data;  // valid only during the callback
};

class SRecordParser {
 public:
  static constexpr std::size_t kMaxCount = 64;
  // The start of an S0 record's data that marks a boot-block file.
  static constexpr char kBootBlockMarker[] = "utbootbloc";

  using RecordSink = std::function<void(const SRecord&)>;

  SRecordParser() = default;
  // `sink`, when given, hears of every record that passed its checks.
  explicit SRecordParser(RecordSink sink) : sink_(std::move(sink)) {}

  // Feeds the next bytes of the file; false once an error has been found.
  bool feed(std::span<const uint8_t> bytes);
  // The end of the file: a record cut short is an error of its field, an
  // empty file error 2000, a file whose last record is not a termination
  // record error 2008. Answers the error (None when the file is good); an
  // error found while feeding stays the answer.
  SRecordError finish();

  SRecordError error() const { return error_; }
  bool bootBlockMarkerSeen() const { return bootBlock_; }
  uint64_t bytesFed() const { return bytesFed_; }
  // Records that passed, by type.
  uint32_t recordsOfType(uint8_t type) const { return type < counts_.size() ? counts_[type] : 0; }

 private:
  enum class State { Idle, RecordType, Count, BinaryCount, Data, BinaryData, EndOfFile };

  void byte(uint8_t b);
  void fail(SRecordError error) { error_ = error; }
  bool hexNibble(uint8_t b, uint8_t* value);
  // Takes one hex digit; true when it completed a byte, which is in `value`.
  bool hexByte(uint8_t b, uint8_t* value);
  void startData(uint8_t count);
  void store(uint8_t value);
  void recordComplete();
  void checkRecord();

  RecordSink sink_;
  State state_ = State::Idle;
  SRecordError error_ = SRecordError::None;
  uint64_t bytesFed_ = 0;
  bool binary_ = false;
  bool highNibblePending_ = false;
  uint8_t highNibble_ = 0;
  uint8_t type_ = 0;
  uint8_t count_ = 0;
  uint8_t sum_ = 0;
  std::size_t stored_ = 0;
  std::array<uint8_t, kMaxCount> record_{};  // address, data and checksum
  std::array<uint32_t, 10> counts_{};
  bool bootBlock_ = false;
  bool terminated_ = false;         // a termination record has come
  bool nonZeroStart_ = false;       // ... and it held a non-zero start address
  bool endsWithTermination_ = false;  // the last record that passed was S7, S8 or S9
};

}  // namespace vx::download
