// vexctl's parts without a bus: the command line, values by member type,
// the S0 header, the introspected member catalogue, JSON and tables, the
// progress line, and the differences between two backup files.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdio>
#include <fstream>

#include "arguments.h"
#include "backup_diff.h"
#include "bench.h"
#include "member_catalogue.h"
#include "output.h"
#include "progress.h"
#include "software_file.h"
#include "values.h"

namespace vx::cli {
namespace {

Invocation parse(std::vector<std::string> words) { return parseArguments(words); }

TEST(Arguments, OptionsAnywhereValuesAndCommandWords) {
  auto inv = parse({"--port", "ttyUSB0", "set", "IS95_ACCOLC", "0", "-1", "--no-commit", "--baud=9600"});
  EXPECT_EQ(inv.port, "ttyUSB0");
  EXPECT_EQ(inv.baud, 9600);
  EXPECT_TRUE(inv.noCommit);
  EXPECT_EQ(inv.command, "set");
  EXPECT_EQ(inv.words, (std::vector<std::string>{"IS95_ACCOLC", "0", "-1"}));

  inv = parse({"--sim", "--json", "restore", "a.vex", "--report", "r.txt", "--dry-run"});
  EXPECT_TRUE(inv.sim && inv.json && inv.dryRun);
  EXPECT_EQ(inv.report, "r.txt");
  // After "--" a word that looks like an option is a value.
  inv = parse({"--sim", "set", "Banner", "--", "--hello"});
  EXPECT_EQ(inv.words.back(), "--hello");
  EXPECT_EQ(parse({"--sim", "nv", "set", "NV_X.y", "3", "--no-commit"}).words.size(), 3u);
  // list and help need no UT.
  EXPECT_EQ(parse({"list", "--names"}).command, "list");
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"help"}).help);
}

TEST(Arguments, HelpPerCommandVersionAndTimeout) {
  EXPECT_EQ(parse({"download", "--help"}).helpTopic, "download");
  EXPECT_EQ(parse({"help", "nv"}).helpTopic, "nv");
  EXPECT_TRUE(parse({"help"}).helpTopic.empty());
  EXPECT_NE(std::string(commandHelp("download")).find("--boot-block"), std::string::npos);
  EXPECT_TRUE(parse({"--version"}).version);
  EXPECT_EQ(parse({"--sim", "--timeout", "90", "info"}).timeoutSeconds, 90);
  EXPECT_TRUE(parse({"--sim", "download", "bb.srec", "--boot-block", "--yes"}).bootBlock);
  EXPECT_TRUE(parse({"--sim", "restore", "a.vex", "--verbose"}).verbose);
}

TEST(Arguments, BadUsageIsRefusedWithAReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{}, "no command"},
      {{"--sim", "frobnicate"}, "unknown command"},
      {{"info"}, "needs --port"},
      {{"--port", "UT1", "--sim", "info"}, "exclude"},
      {{"--sim", "--baud", "1200", "info"}, "--baud"},
      {{"--sim", "--bogus", "info"}, "unknown option"},
      {{"--sim", "get"}, "missing"},
      {{"--sim", "backup", "a", "b"}, "too many"},
      {{"--sim", "info", "--dry-run"}, "belong to restore"},
      {{"--sim", "get", "ESN", "--no-commit"}, "belongs to set"},
      {{"--sim", "nv", "frob"}, "nv: unknown"},
      {{"--sim", "nv", "get"}, "missing"},
      {{"--sim", "--json=yes", "info"}, "takes no value"},
      {{"--port"}, "needs a value"},
      {{"--sim", "--timeout", "0", "info"}, "--timeout"},
      {{"--sim", "--timeout", "5s", "info"}, "--timeout"},
      {{"--sim", "info", "--boot-block"}, "belongs to download"},
      {{"help", "frob"}, "unknown command"},
      {{"--port", "A", "--port", "A", "info"}, "given twice"},
      {{"--all-ports", "--sim", "info"}, "exclude"},
      {{"--all-ports", "--port", "A", "info"}, "exclude"},
      {{"--port", "A", "--port", "B", "list"}, "one phone at a time"},
  };
  for (const auto& [words, reason] : bad) {
    try {
      parse(words);
      ADD_FAILURE() << "accepted: " << (words.empty() ? "(nothing)" : words.front());
    } catch (const UsageError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
    }
  }
}

// Several ports: one command on each phone, with file names made per phone;
// a name two phones would both write is found before anything starts.
TEST(Bench, PortsNamesPerPhoneAndFilesWrittenTwice) {
  auto inv = parse({"--port", "A", "backup", "x.vex", "--port", "/dev/serial/by-id/usb-UT-port0"});
  EXPECT_EQ(inv.ports, (std::vector<std::string>{"A", "/dev/serial/by-id/usb-UT-port0"}));
  EXPECT_TRUE(severalPhones(inv));
  EXPECT_FALSE(severalPhones(parse({"--port", "A", "info"})));
  EXPECT_EQ(parse({"--port", "A", "info"}).port, "A");
  EXPECT_TRUE(severalPhones(parse({"--all-ports", "info"})));

  EXPECT_EQ(portFilePart("/dev/serial/by-id/usb-UT-port0"), "usb-UT-port0");
  EXPECT_EQ(portFilePart("/dev/ttyUSB0/"), "ttyUSB0");
  EXPECT_EQ(expandNames("bench/{esn}-{port}.vex", "/dev/ttyS0", "0x1234"), "bench/0x1234-ttyS0.vex");

  // Each phone's invocation: its words and report expanded, the files it writes.
  const Invocation phone = forPhone(parse({"--all-ports", "restore", "{esn}.vex", "--report", "/r/{port}"}), "UT2", "0x7");
  EXPECT_EQ(phone.port, "UT2");
  EXPECT_EQ(phone.words.front(), "0x7.vex");
  EXPECT_EQ(filesWritten(phone), (std::vector<std::string>{"/r/UT2"}));
  EXPECT_TRUE(filesWritten(forPhone(parse({"--all-ports", "info"}), "UT2", "0x7")).empty());

  const auto backups = parse({"--all-ports", "backup", "/b/{esn}.vex"});
  EXPECT_FALSE(sharedWrite({forPhone(backups, "UT1", "0x1"), forPhone(backups, "UT2", "0x2")}).has_value());
  EXPECT_EQ(sharedWrite({forPhone(backups, "UT1", "0x1"), forPhone(backups, "UT2", "0x2"), forPhone(backups, "UT3", "0x1")}),
            "UT1 and UT3 would both write /b/0x1.vex");
}

TEST(Values, IntegersByTypeWithRangeChecks) {
  EXPECT_EQ(std::get<int32_t>(parseValue('i', "-42", "x")), -42);
  EXPECT_EQ(std::get<int32_t>(parseValue('i', "0x8000", "x")), 0x8000);
  EXPECT_EQ(std::get<int16_t>(parseValue('n', "32767", "x")), 32767);
  EXPECT_EQ(std::get<int16_t>(parseValue('n', "-32768", "x")), -32768);
  EXPECT_EQ(std::get<uint8_t>(parseValue('y', "255", "x")), 255);
  EXPECT_THROW(parseValue('n', "32768", "x"), UsageError);
  EXPECT_THROW(parseValue('y', "-1", "x"), UsageError);
  EXPECT_THROW(parseValue('i', "12abc", "x"), UsageError);
  EXPECT_THROW(parseValue('i', "", "x"), UsageError);
  EXPECT_THROW(parseValue('i', "0x", "x"), UsageError);
  EXPECT_THROW(parseValue('i', "4294967296", "x"), UsageError);
  EXPECT_EQ(std::get<std::string>(parseValue('s', "Hello \"UT\"", "x")), "Hello \"UT\"");
  EXPECT_THROW(parseValue('a', "1", "x"), UsageError);
  EXPECT_EQ(formatValue(BusValue(int16_t{-7})), "-7");
  EXPECT_EQ(jsonValue(BusValue(uint8_t{200})), "200");
  EXPECT_EQ(jsonValue(BusValue(std::string("a\"b"))), "\"a\\\"b\"");
}

TEST(Values, AutomationDatesBothWays) {
  EXPECT_EQ(automationDate(1899, 12, 30, 0, 0, 0), 0);
  EXPECT_EQ(automationDate(1900, 1, 1, 0, 0, 0), 2);
  EXPECT_EQ(automationDate(2000, 1, 1, 0, 0, 0), 36526);
  EXPECT_DOUBLE_EQ(automationDate(2000, 1, 1, 12, 0, 0), 36526.5);
  EXPECT_EQ(formatAutomationDate(36526.5), "2000-01-01 12:00:00");
  EXPECT_EQ(formatAutomationDate(45000.25), "2023-03-15 06:00:00");
  EXPECT_EQ(formatAutomationDate(0), "none");
  // A value a hair under midnight rounds to the next day, not to 24:00:00.
  EXPECT_EQ(formatAutomationDate(36526.9999999), "2000-01-02 00:00:00");
  EXPECT_EQ(std::get<double>(parseValue('d', "2024-02-29 23:59:30", "x")), automationDate(2024, 2, 29, 23, 59, 30));
  EXPECT_EQ(std::get<double>(parseValue('d', "2024-02-29T08:30", "x")), automationDate(2024, 2, 29, 8, 30, 0));
  EXPECT_EQ(std::get<double>(parseValue('d', "2001-07-04", "x")), automationDate(2001, 7, 4, 0, 0, 0));
  EXPECT_EQ(std::get<double>(parseValue('d', "none", "x")), 0);
  EXPECT_EQ(std::get<double>(parseValue('d', "36526.5", "x")), 36526.5);
  EXPECT_THROW(parseValue('d', "2001-13-01", "x"), UsageError);
  EXPECT_THROW(parseValue('d', "yesterday", "x"), UsageError);
  for (double date : {1.0, 365.75, 36526.5, 45291.0, 60000.125}) {
    EXPECT_EQ(std::get<double>(parseValue('d', formatAutomationDate(date), "x")), date) << date;
  }
}

TEST(Output, JsonEscapesNestsAndTablesAlign) {
  EXPECT_EQ(jsonString("a\\b\n\t\x01\"é"), "\"a\\\\b\\n\\t\\u0001\\\"é\"");
  JsonWriter json;
  json.beginObject().key("a").number(1).key("b").beginArray().string("x").boolean(false).beginObject().endObject();
  json.endArray().key("c").fragment("null").endObject();
  EXPECT_EQ(json.text(), "{\"a\":1,\"b\":[\"x\",false,{}],\"c\":null}");

  Table table;
  table.row({"ESN", "0x1234", ""});
  table.row({"ManufacturersCode", "7", "x"});
  EXPECT_EQ(table.text(), "ESN                0x1234\nManufacturersCode  7       x\n");
  EXPECT_EQ(oneLine("UT 4.2\r\nBuilt today\r\n\r\n"), "UT 4.2 / Built today");
  Table versions;
  versions.row({"UTVersion", "UT 4.2\r\nRC\r\n"});
  EXPECT_EQ(versions.text(), "UTVersion  UT 4.2 / RC\n");
}

TEST(Progress, SpinnerUntilTheFirstReportThenTheStepWithTimeLeft) {
  EXPECT_EQ(clockText(65.9), "1:05");
  EXPECT_EQ(clockText(3725), "1:02:05");
  EXPECT_EQ(clockText(-3), "0:00");
  EXPECT_EQ(progressLine("connecting", 5.2, std::nullopt, 10, 1), "connecting / 0:05");
  // The pace is measured from the step's first report: 4096 bytes were
  // already sent then, 20480 more in 4 s leave 40960 bytes, 8 s.
  StepFigures software{"software", 4096 + 20480, 65536, 4096, 4.0};
  EXPECT_EQ(progressLine("downloading", 6, software, 10, 0), "downloading: software image [===>      ]  37% 0:08 left");
  // Too early, or nothing moved since the first report: no guess.
  EXPECT_FALSE(secondsLeft(StepFigures{"items", 10, 100, 0, 0.5}).has_value());
  EXPECT_FALSE(secondsLeft(StepFigures{"items", 10, 100, 10, 5}).has_value());
  EXPECT_EQ(progressLine("saving", 1, StepFigures{"items", 150, 150, 0, 0.2}, 4, 0), "saving: items [====] 100%");
  // A total that shrank below what was done (restore replaces entries) stays a full bar.
  EXPECT_EQ(progressLine("restoring", 1, StepFigures{"items", 160, 150, 0, 3}, 4, 0), "restoring: items [====] 100%");
}

TEST(Catalogue, PropertiesAndMethodsFromIntrospection) {
  const std::string xml =
      "<node><interface name=\"org.freedesktop.DBus.Peer\"><method name=\"Ping\"/></interface>"
      "<interface name=\"UTVEX.IVexScript\">"
      "<method name=\"get_ESN\"><arg type=\"s\" name=\"pVal\" direction=\"out\"/></method>"
      "<method name=\"get_SID\"><arg type=\"n\" name=\"sNAM\" direction=\"in\"/>"
      "<arg type=\"n\" name=\"sWhich\" direction=\"in\"/><arg type=\"i\" name=\"pVal\" direction=\"out\"/></method>"
      "<method name=\"put_Banner\"><arg type=\"s\" name=\"newVal\" direction=\"in\"/></method>"
      "<method name=\"get_Banner\"><arg type=\"s\" name=\"pVal\" direction=\"out\"/></method>"
      "<method name=\"put_Secret\"><arg type=\"n\" name=\"sPos\" direction=\"in\"/>"
      "<arg type=\"y\" name=\"newVal\" direction=\"in\"/></method>"
      "<method name=\"Connect\"><arg type=\"s\" name=\"bsPort\" direction=\"in\"/>"
      "<arg type=\"n\" name=\"pVal\" direction=\"out\"/></method>"
      "<method name=\"Release\"></method></interface></node>";
  auto catalogue = MemberCatalogue::fromIntrospection(xml, "UTVEX.IVexScript");
  ASSERT_EQ(catalogue.properties().size(), 4u);
  const Property* sid = catalogue.property("SID");
  ASSERT_NE(sid, nullptr);
  EXPECT_EQ(sid->type, 'i');
  ASSERT_EQ(sid->indexes.size(), 2u);
  EXPECT_EQ(sid->indexes[1].name, "sWhich");
  EXPECT_TRUE(sid->readable && !sid->writable);
  const Property* banner = catalogue.property("Banner");
  EXPECT_TRUE(banner->readable && banner->writable);
  EXPECT_TRUE(banner->indexes.empty());
  const Property* secret = catalogue.property("Secret");
  EXPECT_TRUE(!secret->readable && secret->writable);
  EXPECT_EQ(secret->type, 'y');
  ASSERT_EQ(secret->indexes.size(), 1u);
  EXPECT_EQ(catalogue.method("Connect")->result, 'n');
  EXPECT_FALSE(catalogue.method("Release")->result.has_value());
  EXPECT_EQ(catalogue.method("Ping"), nullptr) << "only the script interface counts";
  EXPECT_THROW(MemberCatalogue::fromIntrospection(xml, "UTVEX.Other"), std::runtime_error);
  // The server's limits in words, and a refusal explained by them.
  const std::vector<ArgumentLimit> limited = {{"sNAM", false, {{0, 2}}}, {"newVal", false, {{0, 0}, {5, 60}}}};
  EXPECT_EQ(limitsText(limited), "sNAM 0..2; 0 or 5..60");
  EXPECT_EQ(rangesText({{9600, 9600}, {19200, 19200}, {115200, 115200}}, false), "9600, 19200 or 115200");
  EXPECT_EQ(rangesText({{6, 6}}, true), "6 characters");
  EXPECT_EQ(rangesText({{32768, 32769}}, false), "32768 or 32769");
  const std::vector<Argument> shape = {{"sNAM", 'n'}, {"newVal", 'i'}};
  EXPECT_EQ(whyRefused("X", limited, shape, {int16_t{3}, int32_t{5}}), "X: sNAM 3 is out of range (0..2)");
  EXPECT_EQ(whyRefused("X", limited, shape, {int16_t{1}, int32_t{3}}), "X: 3 is out of range (0 or 5..60)");
  EXPECT_FALSE(whyRefused("X", limited, shape, {int16_t{1}, int32_t{5}}));
}

TEST(SoftwareFile, KindFromTheS0HeaderPlainOrCompressed) {
  const std::string dir = ::testing::TempDir();
  auto write = [&](const std::string& name, const std::string& text, bool gzip) {
    const std::string path = dir + "/" + name;
    if (gzip) {
      gzFile f = gzopen(path.c_str(), "wb");
      gzwrite(f, text.data(), static_cast<unsigned>(text.size()));
      gzclose(f);
    } else {
      std::ofstream(path) << text;
    }
    return path;
  };
  std::string error;
  // S0 count 0x0E: address 0000, "utbootbloc1" (11 bytes), checksum.
  const std::string bootHex = "S00E00007574626F6F74626C6F633183\nS9030000FC\n";
  for (bool gzip : {false, true}) {
    auto b = inspectSoftwareFile(write(gzip ? "b.gz" : "b.srec", bootHex, gzip), &error);
    ASSERT_TRUE(b) << error;
    EXPECT_EQ(b->kind, SoftwareKind::BootBlock);
    EXPECT_EQ(b->header, "utbootbloc1");
    // "UT 2.0" in the S0 data: software.
    auto s = inspectSoftwareFile(write(gzip ? "s.gz" : "s.srec", "S0090000555420322E309D\n", gzip), &error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->kind, SoftwareKind::Software);
  }
  // The marker must start the data: after it, it means nothing.
  auto late = inspectSoftwareFile(write("late.srec", "S00F0000587574626F6F74626C6F63312A\n", false), &error);
  ASSERT_TRUE(late);
  EXPECT_EQ(late->kind, SoftwareKind::Software);
  // The suite's parser judges the records: the refused one by its line.
  auto bad = inspectSoftwareFile(write("bad.srec", bootHex.substr(0, 33) + "S1050000AABB00\nS9030000FC\n", false), &error);
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->error, vx::download::SRecordError::BadChecksum);
  EXPECT_EQ(bad->errorLine, 2u);
  auto good = inspectSoftwareFile(dir + "/b.srec", &error);
  EXPECT_EQ(good->error, vx::download::SRecordError::None);
  EXPECT_EQ(good->startAddress, 0u);
  EXPECT_FALSE(inspectSoftwareFile(dir + "/does-not-exist", &error));
  EXPECT_NE(error.find("does-not-exist"), std::string::npos);
}

TEST(BackupDiff, ItemsAddedRemovedAndChangedWithTheirValues) {
  const BackupFile before = parseBackupText(
      "VEX\n1\n201\n7\n100\n[A]\nT_ULONG 1\n[B]\nx 1\ny 2\n[C]\nT_UCHAR 3\n[D]\n[L[0]]\nv -1\n[L[0]]\nv 5\n", "a.vex");
  const BackupFile after = parseBackupText(
      "VEX\n1\n201\n7\n101\n[A]\nT_ULONG 1\n[B]\nz 9\ny 2\nx 4\n[D]\n[L[0]]\nv 4294967295\n[L[0]]\nv 6\n[E]\nq 8\n",
      "b.vex");
  EXPECT_TRUE(diffBackups(before, before).same());
  const BackupDiff diff = diffBackups(before, after);
  ASSERT_EQ(diff.header.size(), 1u);
  EXPECT_EQ(diff.header[0].field, "version");
  EXPECT_EQ(diff.header[0].before + ">" + diff.header[0].after, "100>101");
  // "-1" and "4294967295" restore the same; the second L[0] is matched to the second.
  std::string shown;
  for (const ItemDifference& item : diff.items) {
    shown += std::string(changeName(item.change)) + " " + item.item + ":";
    for (const ValueDifference& v : item.values) {
      shown += " " + v.path + "=" + v.before.value_or("_") + ">" + v.after.value_or("_");
    }
    shown += "\n";
  }
  EXPECT_EQ(shown,
            "changed B: B.x=1>4 B.z=_>9\n"
            "removed C: C.T_UCHAR=3>_\n"
            "changed L[0]: L[0].v=5>6\n"
            "added E: E.q=_>8\n");
  EXPECT_EQ(diff.count(ItemChange::Changed), 2u);

  // Items in another order: a name the second file holds twice still pairs
  // first with first, though its second lies where the next item is looked for.
  const BackupFile moved = parseBackupText("VEX\n1\n201\n7\n100\n[M]\nv 1\n[N]\nv 2\n[N]\nv 3\n", "m.vex");
  const BackupDiff reordered =
      diffBackups(moved, parseBackupText("VEX\n1\n201\n7\n100\n[N]\nv 2\n[M]\nv 1\n[N]\nv 4\n", "n.vex"));
  ASSERT_EQ(reordered.items.size(), 1u);
  EXPECT_EQ(reordered.items[0].values[0].path + "=" + *reordered.items[0].values[0].before + ">" +
                *reordered.items[0].values[0].after,
            "N.v=3>4");

  // A file the reader refuses is told with its name and line.
  auto refusal = [](const std::string& text) {
    try {
      parseBackupText(text, "bad.vex");
    } catch (const BackupFileError& error) {
      return std::string(error.what());
    }
    return std::string("taken");
  };
  EXPECT_EQ(refusal("VEX\n1\n201\n7\n100\n[A]\nT_ULONG 1\nT_ULONG 42abc\n"), "bad.vex: line 8: not a number: 42abc");
  EXPECT_EQ(refusal("[A]\nT_ULONG 1\n").rfind("bad.vex: line 1: not an NV backup file", 0), 0u);
}

TEST(Output, TablesWrapTheirLaterColumnsToAWidth) {
  Table table;
  table.row({"NAME", "KIND", "LIMITS"});
  table.row({"OB_Set_SPList_Entry", "method", "sPosition:short, bsMCC:text, bsMNC:text, bsMCCName:text"});
  EXPECT_EQ(table.text(0).find('\n'), table.text().find('\n')) << "no width: one line a row";
  const std::string narrow = table.text(50);
  EXPECT_EQ(narrow,
            "NAME                 KIND    LIMITS\n"
            "OB_Set_SPList_Entry  method  sPosition:short,\n"
            "                             bsMCC:text,\n"
            "                             bsMNC:text,\n"
            "                             bsMCCName:text\n");
}

}  // namespace
}  // namespace vx::cli
