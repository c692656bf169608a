// The contacts file: record bytes, the up-down stepping, Insert Address,
// and edits that lose nothing else.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "common/faultfs.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "shell/contacts.h"

namespace {

TTransferCntct Person(const std::string& first, const std::string& last,
                      const std::string& addr1 = "") {
  TTransferCntct r = EmptyContact();
  SetField(r, ContactField::kFirstName, first);
  SetField(r, ContactField::kLastName, last);
  SetField(r, ContactField::kAddress1, addr1);
  return r;
}

std::string First(const TTransferCntct& r) { return GetField(r, ContactField::kFirstName); }

// A contacts file of `n` records named P0, P1, ...
std::string Records(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += ContactBytes(Person("P" + std::to_string(i), "L"));
  return s;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(ContactRecord, FieldOffsetsAndSizes) {
  const std::size_t offsets[] = {0, 30, 60, 140, 220, 300, 380, 410, 440};
  const std::size_t sizes[] = {30, 30, 80, 80, 80, 80, 30, 30, 80};
  const int ids[] = {291, 2952, 293, 294, 295, 296, 297, 298, 299};
  for (int i = 0; i < kContactFields; ++i) {
    EXPECT_EQ(ContactFields()[i].offset, offsets[i]);
    EXPECT_EQ(ContactFields()[i].size, sizes[i]);
    EXPECT_EQ(ContactFields()[i].editId, ids[i]);
  }
  EXPECT_EQ(sizeof(TTransferCntct), 520u);
}

TEST(ContactRecord, BytesOfARecord) {
  TTransferCntct r = EmptyContact();
  SetField(r, ContactField::kFirstName, "Ann");
  SetField(r, ContactField::kLastName, "Lee");
  SetField(r, ContactField::kPhone, "555-0100");
  SetField(r, ContactField::kEmail, "ann@example.org");
  std::string expected(520, '\0');
  expected.replace(0, 3, "Ann");
  expected.replace(30, 3, "Lee");
  expected.replace(380, 8, "555-0100");
  expected.replace(440, 15, "ann@example.org");
  EXPECT_EQ(ContactBytes(r), expected);
  const TTransferCntct back = ContactFromBytes(expected.data());
  EXPECT_EQ(GetField(back, ContactField::kEmail), "ann@example.org");
  EXPECT_EQ(GetField(back, ContactField::kFax), "");
}

TEST(ContactRecord, FieldsAreCutToTheirSlot) {
  TTransferCntct r = EmptyContact();
  SetField(r, ContactField::kFirstName, std::string(45, 'x'));
  EXPECT_EQ(GetField(r, ContactField::kFirstName), std::string(29, 'x'));
  EXPECT_EQ(ContactBytes(r)[29], '\0');  // the slot keeps its NUL
  EXPECT_EQ(ContactBytes(r)[30], '\0');  // and the next field is untouched
  // Setting a shorter text clears the rest of the slot.
  SetField(r, ContactField::kFirstName, "Al");
  EXPECT_EQ(ContactBytes(r).substr(0, 30), std::string("Al") + std::string(28, '\0'));
  // A UTF-8 character is not cut in two: 28 x then a 2-byte character.
  SetField(r, ContactField::kFirstName, std::string(28, 'x') + "\xc3\xa9z");
  EXPECT_EQ(GetField(r, ContactField::kFirstName), std::string(28, 'x'));
  // A damaged slot without NUL reads up to its end, never into the next one.
  std::string bytes(520, '\0');
  bytes.replace(0, 30, std::string(30, 'y'));
  bytes.replace(30, 3, "Lee");
  EXPECT_EQ(GetField(ContactFromBytes(bytes.data()), ContactField::kFirstName),
            std::string(30, 'y'));
}

TEST(ContactRecord, InsertAddressText) {
  EXPECT_EQ(InsertAddressText(Person("Ann", "Lee", "1 Road")), "Ann Lee\r\n1 Road\r\n\r\n\r\n\r\n");
  EXPECT_EQ(InsertAddressText(EmptyContact()), " \r\n\r\n\r\n\r\n\r\n");
}

TEST(ContactRecord, NumbersAndAddressesForTheLauncher) {
  EXPECT_EQ(DialableNumber("+1 (555) 010-0100"), "+1(555)010-0100");
  EXPECT_EQ(DialableNumber("  "), "");
  EXPECT_EQ(DialableNumber("call me"), "");
  EXPECT_EQ(DialableNumber("12;rm -rf /"), "12-");
  EXPECT_EQ(MailtoAddress(" ann@example.org "), "ann@example.org");
  EXPECT_EQ(MailtoAddress("a@b.c?attach=/etc/passwd"), "a@b.c%3Fattach%3D%2Fetc%2Fpasswd");
  EXPECT_EQ(MailtoAddress("x y&cc=z"), "x%20y%26cc%3Dz");
  EXPECT_EQ(MailtoAddress(""), "");
}

class ContactsFile : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = TestEnv::FreshDir("contacts"); }
  std::string Path() const { return dir_ + "DES2"; }
  std::string dir_;
  std::ostringstream diag_;
};

TEST_F(ContactsFile, ANewInstallationCreatesAnEmptyFile) {
  ContactsDB db(Path(), diag_);
  ASSERT_TRUE(db.OpenDB());
  EXPECT_TRUE(std::filesystem::exists(Path()));
  EXPECT_EQ(std::filesystem::file_size(Path()), 0u);
  struct stat st;
  ASSERT_EQ(stat(Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  TTransferCntct shown = Person("kept", "as is");
  EXPECT_FALSE(db.Bump(-1, shown));
  EXPECT_FALSE(db.Bump(1, shown));
  EXPECT_EQ(First(shown), "kept");
  EXPECT_EQ(db.Count(), 0);
  EXPECT_EQ(diag_.str(), "");
}

TEST_F(ContactsFile, ThreeRecordsSteppedForwardAndBack) {
  ASSERT_TRUE(WriteFile(Path(), Records(3)));
  ContactsDB db(Path(), diag_);
  ASSERT_TRUE(db.OpenDB());
  TTransferCntct r = EmptyContact();
  EXPECT_TRUE(db.Bump(-1, r));
  EXPECT_EQ(First(r), "P0");  // the first forward step shows record 0
  EXPECT_TRUE(db.Bump(-1, r));
  EXPECT_EQ(First(r), "P1");
  EXPECT_TRUE(db.Bump(-1, r));
  EXPECT_EQ(First(r), "P2");
  EXPECT_FALSE(db.Bump(-1, r));  // at the end: nothing read, P2 still shown
  EXPECT_EQ(First(r), "P2");
  EXPECT_FALSE(db.Bump(0, r));  // a zero change counts as forward
  EXPECT_EQ(First(r), "P2");
  EXPECT_TRUE(db.Bump(1, r));  // a positive step shows the previous record
  EXPECT_EQ(First(r), "P1");
  EXPECT_TRUE(db.Bump(5, r));
  EXPECT_EQ(First(r), "P0");
  EXPECT_TRUE(db.Bump(1, r));  // before the start: record 0 again
  EXPECT_EQ(First(r), "P0");
  EXPECT_EQ(db.Position(), 520);
  EXPECT_TRUE(db.Bump(-1, r));
  EXPECT_EQ(First(r), "P1");
  EXPECT_EQ(diag_.str(), "");
}

TEST_F(ContactsFile, ThePositiveStepFirstShowsRecordZero) {
  ASSERT_TRUE(WriteFile(Path(), Records(2)));
  ContactsDB db(Path(), diag_);
  TTransferCntct r = EmptyContact();
  EXPECT_TRUE(db.Bump(1, r));
  EXPECT_EQ(First(r), "P0");
  EXPECT_EQ(db.Shown(), 0);
}

TEST_F(ContactsFile, APartialLastRecordIsNeverShown) {
  ASSERT_TRUE(WriteFile(Path(), Records(1) + "half a record"));
  ContactsDB db(Path(), diag_);
  TTransferCntct r = EmptyContact();
  EXPECT_TRUE(db.Bump(-1, r));
  EXPECT_FALSE(db.Bump(-1, r));
  EXPECT_EQ(First(r), "P0");
  EXPECT_EQ(db.Count(), 1);
}

TEST_F(ContactsFile, ReadAndMoveFailuresGoToTheDiagnosticStream) {
  ASSERT_TRUE(WriteFile(Path(), Records(2)));
  ContactsDB db(Path(), diag_);
  TTransferCntct r = Person("before", "x");
  FaultFs fs;
  {
    FaultFs::Scope scope(fs);
    fs.failReads = true;
    EXPECT_FALSE(db.Bump(-1, r));
  }
  EXPECT_EQ(diag_.str(), "Error reading into file \n");
  EXPECT_EQ(First(r), "before");
  diag_.str("");
  {
    FaultFs::Scope scope(fs);
    fs.failReads = false;
    fs.ArmNth(2);  // the open passes, the seek fails
    EXPECT_FALSE(db.Bump(-1, r));
  }
  EXPECT_EQ(diag_.str(), "Error repositioning file \n");
  EXPECT_EQ(First(r), "before");
  // The dialog goes on: the next step reads record 0.
  EXPECT_TRUE(db.Bump(-1, r));
  EXPECT_EQ(First(r), "P0");
}

TEST_F(ContactsFile, AnUnopenableFileReadsNothing) {
  ContactsDB db(dir_ + "no/such/DES2", diag_);
  EXPECT_FALSE(db.OpenDB());
  TTransferCntct r = Person("same", "x");
  EXPECT_FALSE(db.Bump(-1, r));
  EXPECT_EQ(First(r), "same");
  EXPECT_FALSE(db.Add(r));
  EXPECT_EQ(diag_.str(), "");
}

TEST_F(ContactsFile, AddChangeDeleteLoseNothingElse) {
  ASSERT_TRUE(WriteFile(Path(), Records(3)));
  ContactsDB db(Path(), diag_);
  ASSERT_TRUE(db.OpenDB());
  ASSERT_TRUE(db.Add(Person("Ann", "Lee", "1 Road")));
  EXPECT_EQ(db.Shown(), 3);
  EXPECT_EQ(Slurp(Path()), Records(3) + ContactBytes(Person("Ann", "Lee", "1 Road")));

  ASSERT_TRUE(db.Change(1, Person("Bob", "Ray")));
  std::string expected = Records(3);
  expected.replace(520, 520, ContactBytes(Person("Bob", "Ray")));
  expected += ContactBytes(Person("Ann", "Lee", "1 Road"));
  EXPECT_EQ(Slurp(Path()), expected);

  ASSERT_TRUE(db.Delete(0));
  expected.erase(0, 520);
  EXPECT_EQ(Slurp(Path()), expected);
  EXPECT_EQ(db.Count(), 3);
  // Out of range: refused, nothing changed.
  EXPECT_FALSE(db.Change(3, Person("x", "y")));
  EXPECT_FALSE(db.Delete(3));
  EXPECT_FALSE(db.Delete(-1));
  EXPECT_EQ(Slurp(Path()), expected);
  EXPECT_EQ(Entries(dir_), std::vector<std::string>{"DES2"});
}

TEST_F(ContactsFile, AddAfterADamagedTailKeepsItsBytes) {
  ASSERT_TRUE(WriteFile(Path(), Records(1) + "tail"));
  ContactsDB db(Path(), diag_);
  ASSERT_TRUE(db.OpenDB());
  ASSERT_TRUE(db.Add(Person("New", "One")));
  std::string expected = Records(1) + "tail" + std::string(516, '\0');
  expected += ContactBytes(Person("New", "One"));
  EXPECT_EQ(Slurp(Path()), expected);
}

TEST_F(ContactsFile, DeletingTheShownRecordShowsItsNeighbour) {
  ASSERT_TRUE(WriteFile(Path(), Records(3)));
  ContactsDB db(Path(), diag_);
  ASSERT_TRUE(db.OpenDB());
  TTransferCntct r = EmptyContact();
  db.Bump(-1, r);
  db.Bump(-1, r);  // P1
  ASSERT_TRUE(db.Delete(db.Shown()));
  ASSERT_TRUE(db.ShowNear(r));
  EXPECT_EQ(First(r), "P2");
  ASSERT_TRUE(db.Delete(db.Shown()));  // the last one: its predecessor
  ASSERT_TRUE(db.ShowNear(r));
  EXPECT_EQ(First(r), "P0");
  ASSERT_TRUE(db.Delete(db.Shown()));
  EXPECT_FALSE(db.ShowNear(r));
  EXPECT_EQ(Slurp(Path()), "");
}

TEST_F(ContactsFile, ASecondHolderCannotWrite) {
  ASSERT_TRUE(WriteFile(Path(), Records(2)));
  ContactsDB first(Path(), diag_);
  ASSERT_TRUE(first.OpenDB());
  plat::LockWaitScope noWait(std::chrono::milliseconds(0));
  ContactsDB second(Path(), diag_);
  EXPECT_FALSE(second.OpenDB());
  EXPECT_EQ(second.HoldError(), plat::FileError::Busy);
  EXPECT_FALSE(second.Add(Person("x", "y")));
  // It can still read.
  TTransferCntct r = EmptyContact();
  EXPECT_TRUE(second.Bump(-1, r));
  EXPECT_EQ(First(r), "P0");
  // The lock outlives a rewrite: still refused afterwards.
  ASSERT_TRUE(first.Add(Person("z", "z")));
  EXPECT_FALSE(second.OpenDB());

  // Another process is refused too, after the first rewrote the file.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    plat::SetLockWait(std::chrono::milliseconds(0));
    std::ostringstream d;
    ContactsDB other(Path(), d);
    _exit(other.OpenDB() ? 1 : (other.HoldError() == plat::FileError::Busy ? 0 : 2));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  first.CloseDB();
  EXPECT_TRUE(second.OpenDB());
  EXPECT_EQ(Slurp(Path()), Records(2) + ContactBytes(Person("z", "z")));
}

// For every failing file operation of an edit: the file before or after
// the edit, never anything else, and no temporary file left.
TEST_F(ContactsFile, EditsUnderFaults) {
  struct Edit {
    const char* name;
    std::function<bool(ContactsDB&)> run;
    std::string after;
  };
  std::string changed = Records(3);
  changed.replace(1040, 520, ContactBytes(Person("Changed", "C")));
  std::string deleted = Records(3);
  deleted.erase(520, 520);
  const std::vector<Edit> edits = {
      {"add", [](ContactsDB& db) { return db.Add(Person("Added", "A")); },
       Records(3) + ContactBytes(Person("Added", "A"))},
      {"change", [](ContactsDB& db) { return db.Change(2, Person("Changed", "C")); }, changed},
      {"delete", [](ContactsDB& db) { return db.Delete(1); }, deleted},
  };
  long total = 0;
  for (const Edit& e : edits) {
    FaultFs fs;
    bool ok = false;
    bool held = false;
    std::unique_ptr<ContactsDB> db;
    FaultSweep sweep;
    sweep.prepare = [&] {
      db.reset();
      ASSERT_TRUE(WriteFile(Path(), Records(3)));
      chmod(Path().c_str(), 0600);
      db = std::make_unique<ContactsDB>(Path(), diag_);
      ASSERT_TRUE(db->OpenDB());
    };
    sweep.run = [&] {
      ok = e.run(*db);
      held = db->Held();
    };
    sweep.check = [&](long n) {
      const std::string now = Slurp(Path());
      EXPECT_EQ(now, ok ? e.after : Records(3)) << e.name << " fault " << n;
      EXPECT_TRUE(held) << e.name << " fault " << n;
      EXPECT_EQ(Entries(dir_), std::vector<std::string>{"DES2"}) << e.name << " fault " << n;
    };
    const long points = SweepFaults(fs, sweep);
    EXPECT_GE(points, 6) << e.name;  // read: open, read; write: create, mode, write, sync, rename
    total += points;
    ASSERT_TRUE(ok) << e.name;
    EXPECT_EQ(Slurp(Path()), e.after) << e.name;
    db.reset();
  }
  RecordProperty("injection_points", static_cast<int>(total));
}

TEST_F(ContactsFile, GarbageIsSteppedAndKept) {
  std::mt19937 rng(11);
  std::string junk(5000, '\0');
  for (char& c : junk) c = static_cast<char>(rng() & 0xFF);
  ASSERT_TRUE(WriteFile(Path(), junk));
  ContactsDB db(Path(), diag_);
  ASSERT_TRUE(db.OpenDB());
  TTransferCntct r = EmptyContact();
  int shown = 0;
  for (int i = 0; i < 12; ++i) shown += db.Bump(-1, r) ? 1 : 0;
  EXPECT_EQ(shown, 9);  // 5000 bytes hold nine whole records
  for (int i = 0; i < 12; ++i) db.Bump(1, r);
  for (int f = 0; f < kContactFields; ++f)
    EXPECT_LE(GetField(r, ContactFields()[f].field).size(), ContactFields()[f].size);
  EXPECT_LE(InsertAddressText(r).size(), 30u + 1 + 30 + 4 * 80 + 10);
  ASSERT_TRUE(db.Change(0, r));
  ASSERT_TRUE(db.Add(Person("New", "One")));
  const std::string now = Slurp(Path());
  EXPECT_EQ(now.substr(520, 5000 - 520), junk.substr(520));
  EXPECT_EQ(now.size(), 10 * 520u + 520u);
}
