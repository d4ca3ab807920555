// Converters that rewrite the sections of a backup file whose layout changed
// between UT software versions, so that an older file restores into a newer
// UT. They work on the file's text; the restore passes it through each in
// turn.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace vx::backup {

class CNVConvertFile {
 public:
  enum class Result { Unchanged, Converted, Failed };
  virtual ~CNVConvertFile() = default;
  // `output` holds the new text when the result is Converted.
  virtual Result convert(std::string_view input, std::string& output) = 0;
  // Why the last conversion failed, with the line at fault.
  const std::string& failure() const { return failure_; }

 protected:
  Result fail(std::string why) {
    failure_ = std::move(why);
    return Result::Failed;
  }

 private:
  std::string failure_;
};

// The older directory-number and NAM-name items (or the satellite mobile
// dialled number) become phone-book style display copies of the directory
// number, unless the file has such copies already.
class CNVCNAMName final : public CNVConvertFile {
 public:
  Result convert(std::string_view input, std::string& output) override;
};

// SMS messages of the older layout (smsi_msg_type) become messages of the
// newer one (sms_dm_msg_type), for a UT that uses the newer one.
class CNVCSMSFormat final : public CNVConvertFile {
 public:
  explicit CNVCSMSFormat(bool utUsesNewLayout) : utUsesNewLayout_(utUsesNewLayout) {}
  Result convert(std::string_view input, std::string& output) override;

 private:
  bool utUsesNewLayout_;
};

// Both converters in their order; false when one fails, with its reason in
// `failure`. `text` ends as the text to restore.
bool convertForRestore(std::string& text, bool utUsesNewSmsLayout, std::string* failure = nullptr);

}  // namespace vx::backup
