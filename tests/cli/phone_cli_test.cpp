// zarns-cli convert, contacts and speeddial: output formats and exit codes.
#include <gtest/gtest.h>

#include <string>

#include "cli/cli_runner.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "shell/contacts.h"
#include "shell/heldfile.h"

namespace {

CliRun Cli(const std::vector<std::string>& args, const std::string& input = "") {
  return RunZarnsCli(args, input, TestEnv::Root() + "cli");
}

class PhoneCli : public ::testing::Test {
 protected:
  void SetUp() override { TestEnv::ClearDataDir(); }
};

}  // namespace

TEST_F(PhoneCli, Convert) {
  const std::string dir = TestEnv::FreshDir("convert-cli");
  ASSERT_TRUE(WriteFile(dir + "a.bin", std::string("\xff\xfe\x01\x02Hello\tmy\nworld\r\n", 20)));
  CliRun r = Cli({"convert", dir + "a.bin"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, dir + "a.zxt\n");
  EXPECT_EQ(Slurp(dir + "a.zxt"), "Hello my world\r ");
  r = Cli({"convert", dir + "none.bin"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("convert: Cannot read"), std::string::npos) << r.err;
}

TEST_F(PhoneCli, ContactsRoundTrip) {
  CliRun r = Cli({"contacts", "list"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "");
  r = Cli({"contacts", "add", "first=Ann", "last=Lee", "address1=1 Road", "phone=555 0100"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "0\n");
  EXPECT_EQ(Cli({"contacts", "add", "first=Bob", "email=bob@example.org"}).out, "1\n");
  EXPECT_EQ(Cli({"contacts", "list"}).out,
            "0\tAnn\tLee\t1 Road\t\t\t\t555 0100\t\t\n"
            "1\tBob\t\t\t\t\t\t\t\tbob@example.org\n");
  EXPECT_EQ(Cli({"contacts", "show", "1"}).out,
            "first=Bob\nlast=\naddress1=\naddress2=\naddress3=\npostal=\nphone=\nfax=\n"
            "email=bob@example.org\n");
  EXPECT_EQ(Cli({"contacts", "address", "0"}).out, "Ann Lee\r\n1 Road\r\n\r\n\r\n\r\n");
  // Change touches only the fields given.
  EXPECT_EQ(Cli({"contacts", "change", "0", "postal=12345"}).rc, 0);
  EXPECT_EQ(Cli({"contacts", "address", "0"}).out, "Ann Lee\r\n1 Road\r\n\r\n\r\n12345\r\n");
  EXPECT_EQ(Cli({"contacts", "delete", "0"}).rc, 0);
  EXPECT_EQ(Cli({"contacts", "list"}).out, "0\tBob\t\t\t\t\t\t\t\tbob@example.org\n");
  // The file holds exactly one 520-byte record now.
  const std::string bytes = ReadData("DES2");
  ASSERT_EQ(bytes.size(), 520u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("Bob\0", 4));
  EXPECT_EQ(bytes.substr(440, 16), std::string("bob@example.org\0", 16));
}

TEST_F(PhoneCli, ContactsRefusals) {
  CliRun r = Cli({"contacts", "show", "0"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.err, "contacts: no contact 0\n");
  EXPECT_EQ(Cli({"contacts", "show", "-1"}).rc, 1);
  EXPECT_EQ(Cli({"contacts", "delete", "x"}).rc, 1);
  r = Cli({"contacts", "add", "nick=Al"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("nick=Al"), std::string::npos);
  EXPECT_EQ(Cli({"contacts", "add", "first"}).rc, 1);
  EXPECT_TRUE(ReadData("DES2").empty());
  // Held by another writer: refused and named.
  ASSERT_EQ(Cli({"contacts", "add", "first=Ann"}).rc, 0);
  HeldFile held(plat::DataPath("DES2"));
  ASSERT_TRUE(held.Hold());
  r = RunZarnsCli({"contacts", "delete", "0"}, "", TestEnv::Root() + "cli");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("in use by another copy"), std::string::npos) << r.err;
  held.Release();
  EXPECT_EQ(Cli({"contacts", "list"}).out, "0\tAnn\t\t\t\t\t\t\t\t\n");
}

TEST_F(PhoneCli, SpeedDial) {
  EXPECT_EQ(Cli({"speeddial", "list"}).out, "");
  EXPECT_EQ(Cli({"speeddial", "add", "work", "Ann Lee", "+1 555 0100"}).rc, 0);
  EXPECT_EQ(Cli({"speeddial", "add", "Cel", "Ann Lee", "555 0111"}).rc, 0);
  EXPECT_EQ(Cli({"speeddial", "add", "Work", "Ann Lee", "555 0199"}).rc, 0);  // updated
  EXPECT_EQ(Cli({"speeddial", "list"}).out, "Work\tAnn Lee\t555 0199\nCel\tAnn Lee\t555 0111\n");
  CliRun r = Cli({"speeddial", "dial", "Ann Lee"});
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, "dial: 5550199\n");
  r = Cli({"speeddial", "add", "mobile", "X", "1"});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find("unknown type"), std::string::npos);
  EXPECT_EQ(Cli({"speeddial", "dial", "Nobody"}).rc, 1);
  EXPECT_EQ(Cli({"speeddial", "remove", "Ann Lee"}).rc, 0);
  EXPECT_EQ(Cli({"speeddial", "remove", "Ann Lee"}).rc, 1);
  EXPECT_EQ(Cli({"speeddial", "list"}).out, "");
  EXPECT_EQ(ReadData("SpeedDial.007"), "");
}
