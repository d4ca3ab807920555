// The class entry file: what is read, what is refused.
#include <gtest/gtest.h>

#include "class_entry.h"

using vx::comimpl::ClassRecord;
using vx::comimpl::FormatClassEntry;
using vx::comimpl::ParseClassEntry;

namespace {

const std::string kGood =
    "# vxcom class entry\n"
    "CLSID={93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}\r\n"
    "Library=/opt/suite/lib/libvxconnect.so\n"
    "\n"
    "ProgID=UTVEXConn.UTVEXConn.1\n"
    "VersionIndependentProgID=UTVEXConn.UTVEXConn\n"
    "ThreadingModel=Apartment\n"
    "Description=a=b\n"
    "FutureKey=ignored";

TEST(ClassEntry, ReadsEveryField) {
  auto record = ParseClassEntry(kGood);
  ASSERT_TRUE(record);
  EXPECT_EQ(vx::com::GuidToString(record->clsid), "{93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}");
  EXPECT_EQ(record->library, "/opt/suite/lib/libvxconnect.so");
  EXPECT_EQ(record->progId, "UTVEXConn.UTVEXConn.1");
  EXPECT_EQ(record->versionIndependentProgId, "UTVEXConn.UTVEXConn");
  EXPECT_EQ(record->threadingModel, "Apartment");
  EXPECT_EQ(record->description, "a=b");  // only the first '=' splits
}

TEST(ClassEntry, FormatRoundTripsAndFlattensLineBreaks) {
  ClassRecord record;
  record.clsid = vx::com::MakeGuid("{E4163DAD-CB3B-11D2-8901-00805F9B5A6C}");
  record.library = "/lib/libvxutconfig.so";
  record.progId = "UTVEX_UTConfig.UTVEX_UTConfig.1";
  record.description = "two\nlines\r";
  auto back = ParseClassEntry(FormatClassEntry(record));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->clsid, record.clsid);
  EXPECT_EQ(back->library, record.library);
  EXPECT_EQ(back->progId, record.progId);
  EXPECT_EQ(back->versionIndependentProgId, "");
  EXPECT_EQ(back->description, "two lines ");
}

TEST(ClassEntry, MalformedEntriesAreRefused) {
  const std::string clsid = "CLSID={93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C}\n";
  const std::string library = "Library=/lib/x.so\n";
  const std::string bad[] = {
      "",
      library,                                               // no CLSID
      clsid,                                                 // no Library
      clsid + "Library=lib/x.so\n",                          // relative path
      clsid + "Library=\n",
      "CLSID=93AC0BBE-C2C5-11D2-88FD-00805F9B5A6C\n" + library,  // malformed CLSID
      clsid + clsid + library,                               // CLSID twice
      clsid + library + "Library=/lib/y.so\n",               // key twice
      clsid + library + "no equals sign\n",
      clsid + library + std::string("ProgID=a\0b\n", 11),    // NUL in a value
      clsid + library + "Description=" + std::string(vx::comimpl::kMaxEntryBytes, 'x'),
  };
  for (const std::string& text : bad) EXPECT_FALSE(ParseClassEntry(text)) << text;
  EXPECT_TRUE(ParseClassEntry(clsid + library));
}

}  // namespace
