// Every writer of the store with its N-th file operation failing, for every
// N over the whole operation: afterwards what was stored before is still
// there (read back zarn by zarn), the new data is there whole or not at all,
// a failure was reported with its cause, and the next write on a sound disk
// works.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "common/faultfs.h"
#include "common/recordinghost.h"
#include "store/zrnlvl_helpers.h"
#include "store/zrnpkgop.h"

using namespace storetest;

namespace {

class StoreFaults : public StoreTest {
 protected:
  // Three zarns: one with browse text between two without.
  void Seed() {
    TestEnv::ClearDataDir();
    files.zarnIndex = ZarnNameIndex{};
    ASSERT_TRUE(Store("alpha", " first"));
    ASSERT_TRUE(Store("beta", " second zdesc about beta zuse beta x"));
    ASSERT_TRUE(Store("gamma", " third"));
  }
  std::string Browse(const std::string& name) {
    std::string n = name, d, u;
    if (!lvl.GetBrowseInfo(n, d, u)) return "<none>";
    return d + "|" + u;
  }
  // The seeded zarns, exactly as stored.
  void ExpectSeedIntact() {
    EXPECT_EQ(Def("alpha"), " first");
    EXPECT_EQ(Def("beta"), " second ");
    EXPECT_EQ(Def("gamma"), " third");
    EXPECT_EQ(Browse("alpha"), "|");
    EXPECT_EQ(Browse("beta"), "about beta |beta x");
    EXPECT_EQ(Browse("gamma"), "|");
  }
  FaultFs fs;
};

TEST_F(StoreFaults, SetAtEveryFailingOperation) {
  bool ok = false;
  StoreError cause = StoreError::None;
  FaultSweep sweep;
  sweep.prepare = [&] { Seed(); };
  sweep.run = [&] {
    ok = Store("delta", " fourth zdesc about delta");
    cause = lvl.LastError();
  };
  sweep.check = [&](long n) {
    SCOPED_TRACE("failing operation " + std::to_string(n) + ": " + fs.FiredAt());
    files.zarnIndex = ZarnNameIndex{};
    ExpectSeedIntact();
    if (ok) {
      EXPECT_EQ(Def("delta"), " fourth ");
      EXPECT_EQ(Browse("delta"), "about delta|");
    } else {
      EXPECT_NE(cause, StoreError::None);
      EXPECT_EQ(Def("delta"), "<none>");  // a refused zarn is never found
      EXPECT_EQ(List(), (std::vector<std::string>{"alpha", "beta", "gamma", ""}));
    }
    // Whatever an interrupted store left behind, the next one is sound.
    ASSERT_TRUE(Store("omega", " last"));
    EXPECT_EQ(Def("omega"), " last");
    EXPECT_EQ(Browse("omega"), "|");
    EXPECT_EQ(Browse("gamma"), "|");
    ExpectSeedIntact();
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 15);
  RecordProperty("injection_points", static_cast<int>(points));
  std::printf("store set: %ld injection points\n", points);
  EXPECT_TRUE(ok);
}

// A disk that goes away in the middle: every operation from the N-th on fails.
TEST_F(StoreFaults, SetWithTheDiskGoneFromTheNth) {
  bool ok = false;
  FaultSweep sweep;
  sweep.sticky = true;
  sweep.prepare = [&] { Seed(); };
  sweep.run = [&] { ok = Store("delta", " fourth"); };
  sweep.check = [&](long) {
    files.zarnIndex = ZarnNameIndex{};
    ExpectSeedIntact();
    EXPECT_EQ(Def("delta"), ok ? " fourth" : "<none>");
    if (!ok) {
      EXPECT_NE(lvl.LastError(), StoreError::None);
    }
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 15);
  RecordProperty("injection_points", static_cast<int>(points));
}

// The first zarn of a new store: a failure leaves no store or an empty one,
// and the next store starts cleanly.
TEST_F(StoreFaults, FirstSetOfANewStore) {
  bool ok = false;
  FaultSweep sweep;
  sweep.prepare = [&] {
    TestEnv::ClearDataDir();
    files.zarnIndex = ZarnNameIndex{};
  };
  sweep.run = [&] { ok = Store("first", " one"); };
  sweep.check = [&](long) {
    files.zarnIndex = ZarnNameIndex{};
    EXPECT_EQ(Def("first"), ok ? " one" : "<none>");
    ASSERT_TRUE(Store("second", " two"));
    EXPECT_EQ(Def("second"), " two");
    EXPECT_EQ(List().size(), ok ? 3u : 2u);
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 10);
  RecordProperty("injection_points", static_cast<int>(points));
}

// Browse text modified in place (no longer than before) and appended
// (longer): the zarn shows its old text or its new one, its neighbours
// keep theirs.
TEST_F(StoreFaults, ModifyBrowseAtEveryFailingOperation) {
  for (const std::string& desc : {std::string("short"), std::string(300, 'L')}) {
    SCOPED_TRACE(desc.size());
    bool ok = false;
    StoreError cause = StoreError::None;
    const std::string updated = desc + "|use";
    FaultSweep sweep;
    sweep.prepare = [&] { Seed(); };
    sweep.run = [&] {
      std::string n = "beta", d = desc, u = "use";
      ok = lvl.ModifyBrowseInfo(n, d, u);
      cause = lvl.LastError();
    };
    sweep.check = [&](long n) {
      SCOPED_TRACE("failing operation " + std::to_string(n) + ": " + fs.FiredAt());
      files.zarnIndex = ZarnNameIndex{};
      std::string now = Browse("beta");
      if (ok) {
        EXPECT_EQ(now, updated);
      } else {
        EXPECT_NE(cause, StoreError::None);
        EXPECT_TRUE(now == updated || now == "about beta |beta x") << now;
      }
      EXPECT_EQ(Browse("alpha"), "|");
      EXPECT_EQ(Browse("gamma"), "|");
      EXPECT_EQ(Def("alpha"), " first");
      EXPECT_EQ(Def("beta"), " second ");
      EXPECT_EQ(Def("gamma"), " third");
      // The store goes on: a later zarn and a later modify are sound.
      ASSERT_TRUE(Store("omega", " last"));
      EXPECT_EQ(Browse("omega"), "|");
      std::string g = "gamma", d = "now described", u = "";
      ASSERT_TRUE(lvl.ModifyBrowseInfo(g, d, u));
      EXPECT_EQ(Browse("gamma"), "now described|");
      EXPECT_EQ(Browse("omega"), "|");
      EXPECT_EQ(Browse("alpha"), "|");
    };
    long points = SweepFaults(fs, sweep);
    EXPECT_GE(points, 8);
    RecordProperty("injection_points_" + std::to_string(desc.size()), static_cast<int>(points));
    std::printf("browse modify (%zu bytes): %ld injection points\n", desc.size(), points);
    EXPECT_TRUE(ok);
  }
}

// Texts an interrupted store left past the end record are never shown as a
// neighbour's browse text, whatever is stored or modified next.
TEST_F(StoreFaults, LeftoversOfAnInterruptedStoreStayUnreachable) {
  Seed();
  Put("BROWSE.007", Bytes("BROWSE.007") + std::string("orphan text\0", 12));
  Put("EMSZrn.007", Bytes("EMSZrn.007") + std::string("GHOST\0", 6));
  Put("EMSVal.007", Bytes("EMSVal.007") + std::string(" boo\0", 5));
  files.zarnIndex = ZarnNameIndex{};
  EXPECT_EQ(Def("ghost"), "<none>");
  EXPECT_EQ(List(), (std::vector<std::string>{"alpha", "beta", "gamma", ""}));
  ASSERT_TRUE(Store("delta", " fourth"));
  EXPECT_EQ(Browse("gamma"), "|");
  EXPECT_EQ(Browse("delta"), "|");
  ExpectSeedIntact();
  std::string n = "alpha", d = "described now", u = "";
  ASSERT_TRUE(lvl.ModifyBrowseInfo(n, d, u));
  EXPECT_EQ(Browse("alpha"), "described now|");
  EXPECT_EQ(Browse("beta"), "about beta |beta x");
  EXPECT_EQ(Browse("gamma"), "|");
  EXPECT_EQ(Browse("delta"), "|");
}

TEST_F(StoreFaults, RefusalsNameTheirCause) {
  Seed();
  EXPECT_FALSE(Store("", " x"));
  EXPECT_EQ(lvl.LastError(), StoreError::NameRule);
  EXPECT_FALSE(Store(std::string(80, 'n'), " x"));
  EXPECT_EQ(lvl.LastError(), StoreError::NameRule);
  EXPECT_FALSE(Store("tab\tname", " x"));
  EXPECT_EQ(lvl.LastError(), StoreError::NameRule);
  EXPECT_FALSE(Store("ok", std::string(4096, 'v')));
  EXPECT_EQ(lvl.LastError(), StoreError::SizeRule);
  std::string n = "nosuch", d = "d", u = "u";
  EXPECT_FALSE(lvl.ModifyBrowseInfo(n, d, u));
  EXPECT_EQ(lvl.LastError(), StoreError::NotStored);
  {
    fs.diskSpace = 2;
    FaultFs::Scope scope(fs);
    EXPECT_FALSE(Store("full", " this does not fit"));
    EXPECT_EQ(lvl.LastError(), StoreError::DiskFull);
  }
  {
    plat::LockWaitScope quick(std::chrono::milliseconds(0));
    HANDLE held = files.OpenFile(Path("EMSVal.007").c_str(), "w");
    ASSERT_TRUE(plat::IsOpen(held));
    EXPECT_FALSE(Store("held", " x"));
    EXPECT_EQ(lvl.LastError(), StoreError::Busy);
    files.CloseFile(held);
  }
  ASSERT_TRUE(Store("fine", " x"));
  EXPECT_EQ(lvl.LastError(), StoreError::None);
  for (StoreError e :
       {StoreError::NameRule, StoreError::SizeRule, StoreError::NotStored, StoreError::Busy,
        StoreError::DiskFull, StoreError::Permission, StoreError::Io})
    EXPECT_GT(std::string(StoreErrorText(e)).size(), 8u);
  EXPECT_NE(std::string(StoreErrorText(StoreError::Busy)),
            std::string(StoreErrorText(StoreError::DiskFull)));
  ExpectSeedIntact();
}

// Reset Zarns cut short: the store shows every zarn or none, says it
// failed, and the next store starts a clean one without old membership.
TEST_F(StoreFaults, ResetAtEveryFailingOperation) {
  RecordingHost host;
  bool ok = false;
  StoreError why = StoreError::None;
  FaultSweep sweep;
  sweep.prepare = [&] {
    Seed();
    std::string pkg = TestEnv::Root() + "reset.pkg";
    WriteFile(pkg, "ZPKG tools ztxt hammer  nail");
    ZrnPkgOp op(files, host, host);
    ASSERT_TRUE(op.LoadPackage(pkg).loaded);
  };
  sweep.run = [&] { ok = ZrnLvl1::ResetZarns(files, &why); };
  sweep.check = [&](long n) {
    SCOPED_TRACE("failing operation " + std::to_string(n) + ": " + fs.FiredAt());
    files.zarnIndex = ZarnNameIndex{};
    bool all = Def("alpha") == " first" && Def("hammer") == "  nail";
    bool none = Def("alpha") == "<none>" && Def("hammer") == "<none>" && Def("gamma") == "<none>";
    EXPECT_TRUE(all || none);
    if (!ok) {
      EXPECT_NE(why, StoreError::None);
    }
    if (ok) {
      EXPECT_TRUE(none);
    }
    if (none) {
      ASSERT_TRUE(Store("fresh", " start"));
      EXPECT_EQ(List(), (std::vector<std::string>{"fresh", ""}));
      ZrnPkgOp op(files, host, host);
      for (std::size_t i = 0; i < op.PackageNames().size(); ++i)
        EXPECT_TRUE(op.PackageZarns(static_cast<std::uint32_t>(i * 12)).empty());
    }
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 7);
  RecordProperty("injection_points", static_cast<int>(points));
  std::printf("store reset: %ld injection points\n", points);
  EXPECT_TRUE(ok);
}

// Loading a package: the zarns and packages already stored stay; the new
// package is recorded with its members, or the load says what went wrong.
TEST_F(StoreFaults, PackageLoadAtEveryFailingOperation) {
  RecordingHost host;
  const std::string pkg = TestEnv::Root() + "tools.pkg";
  const std::string old = TestEnv::Root() + "old.pkg";
  WriteFile(pkg, "ZPKG tools ztxt hammer  nail zdesc hits zfnc saw  cut ztxt drill  hole");
  WriteFile(old, "ZPKG kept ztxt keeper  kept");
  PkgLoadResult r;
  FaultSweep sweep;
  sweep.prepare = [&] {
    Seed();
    ZrnPkgOp op(files, host, host);
    ASSERT_TRUE(op.LoadPackage(old).loaded);
    host.boxes.clear();
  };
  sweep.run = [&] {
    ZrnPkgOp op(files, host, host);
    r = op.LoadPackage(pkg);
  };
  sweep.check = [&](long n) {
    SCOPED_TRACE("failing operation " + std::to_string(n) + ": " + fs.FiredAt());
    files.zarnIndex = ZarnNameIndex{};
    ExpectSeedIntact();
    ZrnPkgOp op(files, host, host);
    auto names = op.PackageNames();
    ASSERT_GE(names.size(), 1u);
    EXPECT_EQ(names[0], "kept");
    EXPECT_EQ(op.PackageZarns(0), std::vector<std::string>{"keeper"});
    EXPECT_EQ(Def("keeper"), "  kept");
    if (!r.loaded) {
      EXPECT_EQ(names.size(), 1u);
      EXPECT_FALSE(host.boxes.empty());  // the user was told
      EXPECT_EQ(Def("hammer"), "<none>");
    } else {
      ASSERT_EQ(names.size(), 2u);
      EXPECT_EQ(names[1], "tools");
      EXPECT_EQ(r.stored + r.refused, 3);
      auto members = op.PackageZarns(12);
      EXPECT_EQ(static_cast<int>(members.size()), r.stored - r.unlinked);
      if (r.refused == 0 && r.unlinked == 0) {
        EXPECT_EQ(r.cause, StoreError::None);
        EXPECT_EQ(members, (std::vector<std::string>{"hammer", "saw", "drill"}));
      } else {
        EXPECT_NE(r.cause, StoreError::None);
      }
      for (const auto& m : members) EXPECT_NE(Def(m), "<none>");
    }
    host.boxes.clear();
  };
  long points = SweepFaults(fs, sweep);
  EXPECT_GE(points, 30);
  RecordProperty("injection_points", static_cast<int>(points));
  std::printf("package load: %ld injection points\n", points);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.stored, 3);
}

// A package that cannot be recorded says why; one read as a file but not a
// package keeps the designed box.
TEST_F(StoreFaults, PackageLoadNamesTheCause) {
  RecordingHost host;
  Seed();
  const std::string pkg = TestEnv::Root() + "busy.pkg";
  WriteFile(pkg, "ZPKG busy ztxt one  1");
  {
    plat::LockWaitScope quick(std::chrono::milliseconds(0));
    HANDLE held = files.OpenFile(Path("PkgT.007").c_str(), "w");
    ASSERT_TRUE(plat::IsOpen(held));
    ZrnPkgOp op(files, host, host);
    PkgLoadResult r = op.LoadPackage(pkg);
    files.CloseFile(held);
    EXPECT_FALSE(r.loaded);
    EXPECT_EQ(r.cause, StoreError::Busy);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, std::string("The package could not be recorded: ") +
                                      StoreErrorText(StoreError::Busy) + ".");
    EXPECT_EQ(host.boxes[0].caption, "Error");
  }
  // Sections the store refuses are counted with the first cause.
  WriteFile(pkg, "ZPKG mixed ztxt ok  1 ztxt " + std::string(100, 'n') + " 2");
  ZrnPkgOp op(files, host, host);
  PkgLoadResult r = op.LoadPackage(pkg);
  EXPECT_TRUE(r.loaded);
  EXPECT_EQ(r.stored, 1);
  EXPECT_EQ(r.refused, 1);
  EXPECT_EQ(r.cause, StoreError::NameRule);
  host.boxes.clear();
  // Unreadable: the designed text.
  EXPECT_FALSE(op.LoadPackage(TestEnv::Root() + "missing.pkg").loaded);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "Error Reading Zarn Package");
  ExpectSeedIntact();
}

}  // namespace
