// The four libraries as built: loaded by file name, read through the C
// interface, and compared with each other.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "vexres_loader_image.h"
#include "vx/com/strings.h"
#include "vx/res/resource_library.h"

namespace vx::res {
namespace {

const struct {
  const char* file;
  const char* language;
} kLibraries[] = {
    {"libVEXResENU.so", "ENU"}, {"libVEXResESN.so", "ESN"}, {"libVEXResFRA.so", "FRA"}, {"libVEXResPTB.so", "PTB"}};

// Every string number the script server and the service tool ask for.
const std::uint32_t kRequired[] = {
    130,   61204, 61216, 61217, 61218, 61219, 61227, 61228, 61229, 61230, 61231, 61238, 61239, 61240, 61241, 61250,
    61253, 61254, 61259, 61260, 61261, 61262, 61271, 61274, 61275, 61294, 61295, 61296, 61298, 61300, 61301, 61304,
    61307, 61308, 61311, 61312, 61313, 61314, 61315, 61316, 61318, 61319, 61328, 61329, 61330, 61331, 61332, 61352,
    61413, 61414, 61418, 61419, 61420, 61421, 61423, 61424, 61427, 61428, 61432, 61434, 61435, 61438, 61439, 61440,
    61444, 61451, 61452, 61455, 61471, 61479, 61481, 61482, 61483, 61484, 61486, 61487, 61489, 61491, 61504, 61523,
    61524, 61525, 61529, 61530, 61533, 61534, 61535, 61536, 61550, 61553, 61554, 61560, 61572, 61573, 61574, 61575,
    61576, 61577, 61578, 61579, 61580, 61581, 61582, 61583, 61584, 61585, 61586, 61587, 61588, 61589, 61590, 61592,
    61598, 61599, 61600, 61601, 61602, 61603};

// All texts of a library, found by asking for every 16-bit number.
std::map<std::uint32_t, std::string> allTexts(const ResourceLibrary& library) {
  std::map<std::uint32_t, std::string> texts;
  for (std::uint32_t id = 0; id <= 0xFFFF; ++id)
    if (auto text = library.text(id)) texts.emplace(id, *text);
  return texts;
}

// The printf conversions of a text, in order ("%%" included).
std::vector<std::string> conversions(const std::string& text) {
  std::vector<std::string> found;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    std::size_t end = i + 1;
    while (end < text.size() && std::strchr("-+ #0123456789.hlLqjzt", text[end]) != nullptr) ++end;
    found.push_back(text.substr(i, end - i + 1));
    i = end;
  }
  return found;
}

TEST(ResourceLibraries, EachLoadsByNameWithItsTextsAndLoader) {
  for (const auto& entry : kLibraries) {
    SCOPED_TRACE(entry.file);
    const ResourceLibrary library = ResourceLibrary::load(entry.file);
    ASSERT_TRUE(library.loaded());
    EXPECT_EQ(library.language(), entry.language);
    EXPECT_EQ(library.text(VEXRES_STR_COMPANY), "UTVEX");
    EXPECT_FALSE(library.text(61205).has_value());

    const auto loader = library.binary(VEXRES_TYPE_FLASH, VEXRES_ID_LOADER);
    ASSERT_TRUE(loader.has_value());
    EXPECT_TRUE(VexLoaderImageIsValid(loader->data(), loader->size()));
    ASSERT_GT(loader->size(), loader_image::kHeaderSize + loader_image::kPayloadNameSize);
    EXPECT_STREQ(reinterpret_cast<const char*>(loader->data() + loader_image::kHeaderSize), "UTVEX RAM loader 1.0");
    EXPECT_TRUE(library.binary("flash", VEXRES_ID_LOADER).has_value());
    EXPECT_FALSE(library.binary(VEXRES_TYPE_FLASH, 175).has_value());
    EXPECT_FALSE(library.binary("FLASHX", VEXRES_ID_LOADER).has_value());
  }
  EXPECT_EQ(ResourceLibrary::load("libVEXResENU.so").text(VEXRES_STR_SCRIPT_VERSION), "UTVEX Script Object 1.0");
}

TEST(ResourceLibraries, SameNumbersFormatsAndLoaderInEveryLanguage) {
  const ResourceLibrary english = ResourceLibrary::load("libVEXResENU.so");
  ASSERT_TRUE(english.loaded());
  const auto reference = allTexts(english);
  for (std::uint32_t id : kRequired) EXPECT_TRUE(reference.count(id)) << "no text " << id;
  const auto referenceLoader = english.binary(VEXRES_TYPE_FLASH, VEXRES_ID_LOADER);
  ASSERT_TRUE(referenceLoader.has_value());
  const std::vector<std::uint8_t> loaderBytes(referenceLoader->begin(), referenceLoader->end());

  for (const auto& entry : kLibraries) {
    SCOPED_TRACE(entry.file);
    const ResourceLibrary library = ResourceLibrary::load(entry.file);
    ASSERT_TRUE(library.loaded());
    const auto texts = allTexts(library);
    std::vector<std::uint32_t> ids, referenceIds;
    for (const auto& [id, text] : texts) ids.push_back(id);
    for (const auto& [id, text] : reference) referenceIds.push_back(id);
    EXPECT_EQ(ids, referenceIds);
    for (const auto& [id, text] : texts) {
      EXPECT_FALSE(text.empty()) << id;
      std::u16string wide;
      EXPECT_TRUE(vx::com::TryUtf8ToUtf16(text, &wide)) << id << " is not UTF-8";
      auto other = reference.find(id);
      if (other != reference.end()) {
        EXPECT_EQ(conversions(text), conversions(other->second)) << id;
      }
    }
    const auto loader = library.binary(VEXRES_TYPE_FLASH, VEXRES_ID_LOADER);
    ASSERT_TRUE(loader.has_value());
    EXPECT_EQ(std::vector<std::uint8_t>(loader->begin(), loader->end()), loaderBytes);
  }
}

TEST(ResourceLibraries, MissingOrForeignLibraryIsNotLoaded) {
  const ResourceLibrary missing = ResourceLibrary::load("libVEXResXYZ.so");
  EXPECT_FALSE(missing.loaded());
  EXPECT_FALSE(missing.text(61576).has_value());
  EXPECT_FALSE(missing.binary(VEXRES_TYPE_FLASH, VEXRES_ID_LOADER).has_value());
  EXPECT_EQ(missing.language(), "");
  EXPECT_FALSE(ResourceLibrary::load("").loaded());
  EXPECT_FALSE(ResourceLibrary::load("/nonexistent/libVEXResENU.so").loaded());
  // A library that loads but lacks the resource interface is passed over.
  EXPECT_FALSE(ResourceLibrary::load("libvxcom.so").loaded());
}

TEST(ResourceLibraries, MoveHandsOverTheLibrary) {
  ResourceLibrary first = ResourceLibrary::load("libVEXResFRA.so");
  ASSERT_TRUE(first.loaded());
  const std::string path = first.path();
  ResourceLibrary second = std::move(first);
  EXPECT_FALSE(first.loaded());  // NOLINT(bugprone-use-after-move): the moved-from state is specified
  EXPECT_EQ(second.language(), "FRA");
  EXPECT_EQ(second.path(), path);
  second = ResourceLibrary::load("libVEXResESN.so");
  EXPECT_EQ(second.language(), "ESN");
  // The absolute path found by name loads the same file again.
  EXPECT_TRUE(ResourceLibrary::load(path).loaded());
}

}  // namespace
}  // namespace vx::res
