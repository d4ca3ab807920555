#include "vx/download/srecord_parser.h"

#include <cstring>

namespace vx::download {
namespace {

constexpr uint8_t kSub = 0x1A;  // end-of-file mark, and the padding of the last Xmodem block

// Bytes of the address field of each record type.
constexpr std::array<uint8_t, 10> kAddressBytes{2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

}  // namespace

bool SRecordParser::feed(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) {
    if (error_ != SRecordError::None) return false;
    ++bytesFed_;
    byte(b);
  }
  return error_ == SRecordError::None;
}

SRecordError SRecordParser::finish() {
  if (error_ != SRecordError::None) return error_;
  uint32_t records = 0;
  for (uint32_t count : counts_) records += count;
  if (bytesFed_ == 0 || records == 0) {
    fail(SRecordError::EmptyFile);
  } else {
    // A record the file cut short cannot be checked: it fails in the field
    // it ended in.
    switch (state_) {
      case State::RecordType: fail(SRecordError::BadRecordType); break;
      case State::Count:
      case State::BinaryCount: fail(SRecordError::BadLength); break;
      case State::Data:
      case State::BinaryData: fail(SRecordError::BadChecksum); break;
      case State::Idle:
      case State::EndOfFile:
        // A file cut at a record boundary reads as whole records up to the
        // cut: only its missing termination record tells.
        if (!endsWithTermination_) fail(SRecordError::NoTermination);
        break;
    }
  }
  return error_;
}

bool SRecordParser::hexNibble(uint8_t b, uint8_t* value) {
  if (b >= '0' && b <= '9') {
    *value = static_cast<uint8_t>(b - '0');
  } else if (b >= 'A' && b <= 'F') {
    *value = static_cast<uint8_t>(b - 'A' + 10);
  } else if (b >= 'a' && b <= 'f') {
    *value = static_cast<uint8_t>(b - 'a' + 10);
  } else {
    fail(SRecordError::BadHexDigit);
    return false;
  }
  return true;
}

bool SRecordParser::hexByte(uint8_t b, uint8_t* value) {
  uint8_t nibble = 0;
  if (!hexNibble(b, &nibble)) return false;
  if (!highNibblePending_) {
    highNibble_ = nibble;
    highNibblePending_ = true;
    return false;
  }
  highNibblePending_ = false;
  *value = static_cast<uint8_t>(highNibble_ << 4 | nibble);
  return true;
}

void SRecordParser::byte(uint8_t b) {
  switch (state_) {
    case State::Idle:
      if (b == '\r' || b == '\n' || b == ' ') return;
      if (b == kSub) {
        state_ = State::EndOfFile;
      } else if (b == 'S') {
        state_ = State::RecordType;
      } else {
        fail(SRecordError::UnexpectedByte);
      }
      return;
    case State::RecordType:
      if (b >= '0' && b <= '9') {
        type_ = static_cast<uint8_t>(b - '0');
        binary_ = false;
        highNibblePending_ = false;
        state_ = State::Count;
      } else if (b <= 9) {
        type_ = b;
        binary_ = true;
        state_ = State::BinaryCount;
      } else {
        fail(SRecordError::BadRecordType);
      }
      return;
    case State::Count: {
      uint8_t value = 0;
      if (hexByte(b, &value)) startData(value);
      return;
    }
    case State::BinaryCount:
      startData(b);
      return;
    case State::Data: {
      uint8_t value = 0;
      if (hexByte(b, &value)) store(value);
      return;
    }
    case State::BinaryData:
      store(b);
      return;
    case State::EndOfFile:
      if (b != kSub) fail(SRecordError::UnexpectedByte);
      return;
  }
}

void SRecordParser::startData(uint8_t count) {
  if (count == 0 || count > kMaxCount) {
    fail(SRecordError::BadLength);
    return;
  }
  count_ = count;
  sum_ = count;
  stored_ = 0;
  state_ = binary_ ? State::BinaryData : State::Data;
}

void SRecordParser::store(uint8_t value) {
  record_[stored_++] = value;
  sum_ = static_cast<uint8_t>(sum_ + value);
  if (stored_ == count_) recordComplete();
}

void SRecordParser::recordComplete() {
  state_ = State::Idle;
  if (sum_ != 0xFF) {
    fail(SRecordError::BadChecksum);
    return;
  }
  checkRecord();
}

void SRecordParser::checkRecord() {
  const std::size_t body = count_ - 1u;  // address and data, without the checksum
  const std::size_t addressBytes = kAddressBytes[type_];
  switch (type_) {
    case 0:
      if (count_ > 12 && std::memcmp(record_.data() + 2, kBootBlockMarker, 10) == 0) bootBlock_ = true;
      break;
    case 1:
    case 2:
    case 3:
      if (body <= addressBytes) return fail(SRecordError::BadLength);
      break;
    case 4:
    case 6:
      return fail(SRecordError::BadRecordType);
    case 5: {
      if (body < 2 || body > 4) return fail(SRecordError::BadRecordCount);
      uint32_t value = 0;
      for (std::size_t i = 0; i < body; ++i) value = value << 8 | record_[i];
      // The count is of the data records before it, whatever their address size.
      if (value != counts_[1] + counts_[2] + counts_[3]) return fail(SRecordError::BadRecordCount);
      break;
    }
    case 7:
    case 8:
    case 9: {
      if (body != addressBytes || (terminated_ && nonZeroStart_)) return fail(SRecordError::BadTermination);
      uint32_t start = 0;
      for (std::size_t i = 0; i < body; ++i) start = start << 8 | record_[i];
      if (start % 2 != 0) return fail(SRecordError::BadTermination);
      terminated_ = true;
      nonZeroStart_ = start != 0;
      break;
    }
    default:
      break;
  }
  ++counts_[type_];
  endsWithTermination_ = type_ >= 7;
  if (!sink_) return;
  SRecord record;
  record.type = type_;
  const std::size_t usedAddress = body < addressBytes ? body : addressBytes;
  for (std::size_t i = 0; i < usedAddress; ++i) record.address = record.address << 8 | record_[i];
  record.data = std::span<const uint8_t>(record_.data() + usedAddress, body - usedAddress);
  sink_(record);
}

}  // namespace vx::download
