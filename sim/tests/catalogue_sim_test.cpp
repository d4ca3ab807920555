// The catalogue as a host meets it on the line: the version block, region
// reads of the symbol information and the tables, NV reads of values set
// through the control language, and variants switched while running.
#include <zlib.h>

#include "kmx/proto/byte_order.h"
#include "kmx/sim/ut_commands.h"
#include "sim_fixture.h"
#include "symbol_grammar.h"

namespace kmx::sim::testing {
namespace {

using namespace ut_command;
using proto::loadLe16;
using proto::loadLe32;

constexpr uint8_t kAccepted = 1;
constexpr uint16_t kChunk = 1024;

class CatalogueOnTheLine : public SimulatorTest {
 protected:
  // Reads a region of region 0 as a host does, in chunks.
  std::vector<uint8_t> readRegion(uint32_t address, uint32_t size) {
    std::vector<uint8_t> bytes;
    while (bytes.size() < size) {
      auto length = static_cast<uint16_t>(std::min<std::size_t>(kChunk, size - bytes.size()));
      Packet part = ask(kReadRegion, cat({{0, 0}, le32(address + static_cast<uint32_t>(bytes.size())), le16(length)}));
      EXPECT_EQ(part.type, kAccepted);
      if (part.type != kAccepted) return {};
      bytes.insert(bytes.end(), part.payload.begin(), part.payload.end());
    }
    return bytes;
  }

  std::string symbolTextFromTheUt() {
    Packet version = ask(kVersion);
    uint32_t address = loadLe32(&version.payload[31]);
    uint32_t size = loadLe32(&version.payload[35]);
    auto blob = readRegion(address, size);
    z_stream stream{};
    inflateInit2(&stream, 15 + 16);
    std::string text(1 << 20, '\0');
    stream.next_in = blob.data();
    stream.avail_in = static_cast<uInt>(blob.size());
    stream.next_out = reinterpret_cast<Bytef*>(text.data());
    stream.avail_out = static_cast<uInt>(text.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
    text.resize(stream.total_out);
    inflateEnd(&stream);
    return text;
  }

  uint16_t number(const std::string& item) { return sim.catalogue()->find(item)->number; }

  std::vector<uint8_t> nvRead(uint16_t item, uint16_t index) {
    Packet answer = ask(kNvRead, cat({le16(item), le16(index)}));
    EXPECT_EQ(answer.type, kAccepted);
    return answer.payload;
  }
};

TEST_F(CatalogueOnTheLine, AHostFindsTheSymbolInformationAndTheTablesWhereTheyAreAnnounced) {
  std::string text = symbolTextFromTheUt();
  EXPECT_EQ(text, sim.catalogue()->symbolText());
  std::string error;
  auto file = readSymbolText(text, error);
  ASSERT_TRUE(file) << error;

  const GrammarSymbol* names = file->symbol("NVitems_item_name_table");
  const GrammarSymbol* descriptors = file->symbol("NVitems_desc_table");
  ASSERT_TRUE(names && descriptors);
  auto nameBytes = readRegion(static_cast<uint32_t>(names->address), static_cast<uint32_t>(names->size));
  ASSERT_FALSE(nameBytes.empty());
  EXPECT_EQ(nameBytes.back(), 0) << "NUL-terminated";
  EXPECT_EQ(std::string(nameBytes.begin(), nameBytes.end() - 1), sim.catalogue()->nameTable());
  auto descriptorBytes = readRegion(static_cast<uint32_t>(descriptors->address), static_cast<uint32_t>(descriptors->size));
  ASSERT_FALSE(descriptorBytes.empty());
  EXPECT_EQ(std::string(descriptorBytes.begin(), descriptorBytes.end() - 1), sim.catalogue()->descriptorTable());

  for (const auto& item : sim.catalogueItems()) {
    Packet dimension = ask(kNvListDimension, le16(item.number));
    ASSERT_EQ(dimension.payload.size(), 2u);
    EXPECT_EQ(loadLe16(dimension.payload.data()), item.listDimension) << item.name;
  }
}

TEST_F(CatalogueOnTheLine, ValuesSetByPathAreWhatTheNvReadCommandReturns) {
  const std::string wdc = "NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5].wdc[4]";
  EXPECT_EQ(sim.control("nv get " + wdc), "52");
  EXPECT_EQ(sim.control("nv set " + wdc + " '7'"), "ok");
  auto code = nvRead(number("NV_UI_WARRANTY_DATE_CODE"), 0);
  EXPECT_EQ(std::string(code.begin(), code.end()), "98117");

  const std::string flag = "NV_UI_PHONE_BOOK[7].ui_nv_phone_book_entry_type.hdr.flags.international";
  EXPECT_EQ(sim.control("nv set " + flag + " 1"), "ok");
  auto entry = nvRead(number("NV_UI_PHONE_BOOK"), 7);
  EXPECT_EQ(entry[1], 0x08) << "bit 3 of the byte after digits_index";
  EXPECT_EQ(sim.control("nv set " + flag + " 2"), "error: value does not fit " + flag);

  const std::string alert = "NV_UI_SERVICE_ALERT.ui_on_off_display_type";
  EXPECT_EQ(sim.control("nv get " + alert), "5 UI_ON_DISPLAY");
  EXPECT_EQ(sim.control("nv set " + alert + " UI_OFF_DISPLAY"), "ok");
  EXPECT_EQ(nvRead(number("NV_UI_SERVICE_ALERT"), 0), std::vector<uint8_t>{4});
  EXPECT_EQ(sim.control("nv set " + alert + " UI_NO_DISPLAY").rfind("error", 0), 0u) << "another enum's constant";

  const std::string channel = "NV_SID_NID_I[2].nv_sid_nid_type.pair[0].pair[4].pair[1].nid";
  EXPECT_TRUE(sim.setNvValue(channel, 0xBEEF));
  auto pairs = nvRead(number("NV_SID_NID_I"), 2);
  EXPECT_EQ(loadLe16(&pairs[2 + 4 + 2]), 0xBEEF);
  EXPECT_EQ(sim.nvValue(channel), 0xBEEF);

  // And the other way: what the host writes shows by path.
  ASSERT_EQ(ask(kNvWrite, cat({le16(number("NV_GCP_REG_GW")), le16(0), {0xFE, 0xFF, 0xFF, 0xFF}})).type, kAccepted);
  EXPECT_EQ(sim.control("nv get NV_GCP_REG_GW.T_LONG"), "-2");
  EXPECT_EQ(sim.nvBytes(number("NV_GCP_REG_GW"), 0), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST_F(CatalogueOnTheLine, ElementsWithoutAValueAndBadPathsAreReported) {
  const std::string lock = "NV_CDMA_SID_LOCK_I[2].nv_sid_lock_type.sid[6].sid[0]";
  std::string error;
  EXPECT_FALSE(sim.nvValue(lock, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(sim.nvBytes(10, 2));
  EXPECT_TRUE(sim.setNvValue(lock, 5)) << "writing gives the element a value";
  EXPECT_EQ(sim.nvValue(lock), 5);
  EXPECT_EQ(nvRead(10, 2).size(), 16u);

  EXPECT_EQ(sim.control("nv get NV_NO_SUCH_ITEM.T_ULONG"), "error: no item NV_NO_SUCH_ITEM");
  EXPECT_EQ(sim.control("nv get NV_VER_NO_I.T_USHORT").rfind("error: no node T_USHORT", 0), 0u);
  EXPECT_EQ(sim.control("nv set NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type 1").rfind("error", 0), 0u);
  EXPECT_EQ(sim.control("nv get NV_UI_WARRANTY_DATE_CODE.ui_nv_warranty_date_code_type.wdc[5]"), "3938313134");
  EXPECT_EQ(sim.control("nv set NV_VER_NO_I.T_ULONG many").rfind("error", 0), 0u);
  EXPECT_EQ(sim.control("nv item 10").rfind("number 10 name NV_CDMA_SID_LOCK_I type nv_sid_lock_type size 16 dimension 3", 0), 0u);
  EXPECT_NE(sim.control("nv item NV_UI_SP_TABLE").find(" dimension 67 presence 0 flags 0 described yes"), std::string::npos);
}

TEST_F(CatalogueOnTheLine, VariantsSwitchWhileRunning) {
  EXPECT_EQ(sim.control("catalogue"), "model 0xc9 unicode off name-length 12 sms new directory new symbols full descriptors full hostile-list none");
  EXPECT_EQ(sim.control("nv set NV_UI_TIMEZONE.T_USHORT 120"), "ok");
  EXPECT_EQ(sim.control("catalogue model 0xcd symbols none unicode on"), "ok");
  EXPECT_EQ(sim.control("catalogue"), "model 0xcd unicode on name-length 12 sms new directory new symbols none descriptors full hostile-list none");
  Packet version = ask(kVersion);
  EXPECT_EQ(loadLe32(&version.payload[35]), 0u) << "no symbol information";
  Packet model = ask(kStatusData, le32(0x39));
  ASSERT_EQ(model.type, kAccepted);
  EXPECT_EQ(model.payload.back(), 0xCD);
  EXPECT_EQ(sim.control("nv get NV_UI_TIMEZONE.T_USHORT"), "60") << "items back at their initial values";
  EXPECT_EQ(sim.catalogue()->find("NV_UI_PHONE_BOOK")->size, 42u);
  EXPECT_EQ(nvRead(number("NV_UI_PHONE_BOOK"), 1).size(), 42u);

  // A list of the largest dimension, each element as large as an element can be.
  EXPECT_EQ(sim.control("catalogue hostile-list dimension"), "ok");
  EXPECT_NE(sim.control("nv item NV_HUGE_DIMENSION_LIST_I").find(" size 65535 dimension 65535 "), std::string::npos);
  EXPECT_EQ(sim.nvBytes(number("NV_HUGE_DIMENSION_LIST_I"), 65534), std::vector<uint8_t>(65535, 0));

  // Flags the catalogue text never gives, in the descriptor table the host reads.
  EXPECT_EQ(sim.control("catalogue item-flags NV_SCM_I=6 item-flags NV_TIME_TILL_SLEEP=0x1"), "ok");
  EXPECT_NE(sim.control("nv item NV_SCM_I").find(" flags 6 described yes"), std::string::npos);
  EXPECT_NE(sim.catalogue()->descriptorTable().find(",Station class mark,T_UCHAR,0,6,"), std::string::npos);
  EXPECT_NE(sim.catalogue()->descriptorTable().find(",No service time until sleep,T_ULONG,0,1,"), std::string::npos);
  EXPECT_EQ(sim.control("catalogue item-flags NV_NO_SUCH_I=6"), "error: no item NV_NO_SUCH_I to give flags");
  EXPECT_EQ(sim.control("catalogue item-flags NV_SCM_I"), "error: bad catalogue setting: item-flags NV_SCM_I");

  EXPECT_EQ(sim.control("catalogue default sms old directory old descriptors short"), "ok");
  EXPECT_EQ(sim.control("catalogue"),
            "model 0xc9 unicode off name-length 12 sms old directory old symbols full descriptors short hostile-list none");
  EXPECT_EQ(symbolTextFromTheUt(), sim.catalogue()->symbolText());
  EXPECT_EQ(sim.control("catalogue name-length 20"), "error: bad catalogue setting: name-length 20");
  EXPECT_EQ(sim.control("catalogue model"), "error: model needs a value");

  CatalogueVariant variant;
  variant.nameArrayLength = 33;
  ASSERT_TRUE(sim.setCatalogue(variant));
  EXPECT_EQ(nvRead(number("NV_UI_SP_TABLE"), 66).size(), 4u + 2 + 66);
  variant.nameArrayLength = 0;
  EXPECT_FALSE(sim.setCatalogue(variant));
  EXPECT_FALSE(sim.lastError().empty());
  EXPECT_EQ(sim.catalogue()->variant().nameArrayLength, 33u) << "a failed switch keeps the catalogue";
}

TEST(CatalogueOptions, TheSimulatorStartsWithTheVariantItIsGiven) {
  SimulatorOptions options;
  options.catalogue.oldSmsLayout = true;
  options.catalogue.mainModel = main_model::kAnalogFixed;
  UtSimulator sim(options);
  EXPECT_TRUE(sim.catalogue()->variant() == options.catalogue);
  EXPECT_EQ(sim.control("nv get NV_SMS_MSGS_1_0.smsi_msg_type.user_data_len"), "5");
  UtSimulator plain;
  EXPECT_EQ(plain.control("nv get NV_SMS_MSGS_1_0.sms_dm_msg_type.sms_msg.user_data_len"), "5");
}

}  // namespace
}  // namespace kmx::sim::testing
