// The extension and category lists derived from the file types and the
// user's categories, and their readers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "catalog/zrnreg.h"
#include "common/recordinghost.h"
#include "common/testenv.h"
#include "common/testfiles.h"
#include "platform/pdatadir.h"
#include "platform/pregistry.h"
#include "store/zrnio.h"

namespace {

std::string R8(std::uint32_t a, std::uint32_t b) { return U32(a) + U32(b); }

class ZrnRegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestEnv::ClearDataDir();
    mime = TestEnv::Root() + "zrnreg-mime.types";
    std::ofstream(mime) << "# test types\n"
                           "text/plain txt\n"
                           "text/html html htm\n"
                           "application/rtf rtf\n"
                           "message/rfc822 eml\n"
                           "text/x-long abcdefghij abcdefghi\n"
                           "audio/mpeg mp3\n"
                           "Audio/x-odd odd\n";
    setenv("ZARNS_MIME_TYPES", mime.c_str(), 1);
  }
  void TearDown() override { unsetenv("ZARNS_MIME_TYPES"); }
  static std::vector<std::string> Texts(const ListData& d) {
    std::vector<std::string> out;
    for (auto& i : d) out.push_back(i.text);
    return out;
  }
  std::string mime;
  ZrnIO files;
  RecordingHost host;
};

}  // namespace

TEST_F(ZrnRegTest, RebuildFromFileTypes) {
  plat::Registry& reg = plat::ClassesRoot();
  // A document class without a content type, named by its default value.
  reg.SetString(".doc", "", "Word.Document.8");
  reg.SetString(".zzz", "", "Nothing to see");
  ZrnReg zr(files, host);
  zr.GetRegistryTextExt();
  // .txt twice (scan and fixed tail); .eml (message); .abcdefghi (10 chars)
  // but not .abcdefghij (11); .html/.htm excluded by name; .rtf not text-like.
  EXPECT_EQ(ReadData("EMS.007"), Z(".abcdefghi") + Z(".doc") + Z(".eml") + Z(".txt") + Z(".hlp") +
                                     Z(".txt") + Z(".xls") + Z(".ppt"));
  // Every typed extension, sorted; categories sorted and unique (a content
  // type is lower-cased first, so "Audio/x-odd" adds nothing new).
  EXPECT_EQ(ReadData("KEP.007"), Z(".abcdefghi") + Z(".abcdefghij") + Z(".eml") + Z(".htm") +
                                     Z(".html") + Z(".mp3") + Z(".odd") + Z(".rtf") + Z(".txt"));
  EXPECT_EQ(ReadData("KEPc.007"), Z("application") + Z("audio") + Z("message") + Z("text"));
  const std::string pairs = ReadData("KEPt.007");
  EXPECT_NE(pairs.find(Z("application") + Z(".rtf")), std::string::npos);
  EXPECT_NE(pairs.find(Z("text") + Z(".html")), std::string::npos);
  EXPECT_NE(pairs.find(Z("audio") + Z(".mp3")), std::string::npos);
}

TEST_F(ZrnRegTest, UserCategories) {
  ZrnReg zr(files, host);
  zr.SetNewCategory(".Music");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Category added");
  EXPECT_EQ(host.boxes[0].text,
            "Note, file lists for this category will not appear until after next scan\n"
            "To rescan choose menu options:\nSearch; Word Catalog; Rescan");
  EXPECT_EQ(host.boxes[0].flags, MB_OKCANCEL);
  EXPECT_TRUE(plat::ClassesRoot().KeyExists("Zarns.Application\\FileCategories\\Music"));
  EXPECT_FALSE(
      plat::ClassesRoot().KeyExists("Zarns.Application\\FileCategories\\Music\\Inclusions"));

  zr.SetNewCategoryExtension("Music", ".mp3");
  zr.SetNewCategoryExtension("Music", "WAV");
  zr.SetNewCategoryExtension("Music", "tar.gz");
  ASSERT_EQ(host.boxes.size(), 4u);
  EXPECT_EQ(host.boxes[1].caption, "Category File Type added");
  EXPECT_EQ(host.boxes[1].text,
            "Note, file lists for this Category/file type \nwill not appear until after next scan");
  const std::string incl = "Zarns.Application\\FileCategories\\Music\\Inclusions";
  EXPECT_EQ(plat::ClassesRoot().GetDword(incl, "mp3"), 42u);
  EXPECT_EQ(plat::ClassesRoot().GetDword(incl, "WAV"), 42u);
  EXPECT_EQ(plat::ClassesRoot().GetDword(incl, "gz"), 42u);

  // "Audio" of the user and "audio" of the content types differ in case only.
  zr.SetNewCategory("Audio");
  zr.GetRegistryTextExt();
  const std::string cats = ReadData("KEPc.007");
  EXPECT_EQ(cats,
            Z("Audio") + Z("Music") + Z("application") + Z("audio") + Z("message") + Z("text"));
  const std::string exts = ReadData("KEP.007");
  EXPECT_NE(exts.find(Z(".mp3") + Z(".mp3")), std::string::npos);  // not de-duplicated
  EXPECT_NE(exts.find(Z(".wav")), std::string::npos);
  ListData types;
  zr.GetCatFileTypes(types, "Music");
  EXPECT_EQ(Texts(types), (std::vector<std::string>{".mp3", ".wav", ".gz"}));  // in the order added
  ListData none;
  zr.GetCatFileTypes(none, "music");  // exact comparison
  EXPECT_TRUE(none.empty());
}

TEST_F(ZrnRegTest, RefusedNames) {
  ZrnReg zr(files, host);
  zr.SetNewCategory("");
  zr.SetNewCategory(".");
  zr.SetNewCategoryExtension("", ".mp3");
  zr.SetNewCategoryExtension("Music", "");
  ASSERT_EQ(host.boxes.size(), 4u);
  EXPECT_EQ(host.boxes[0].text, "Error adding new extension");
  EXPECT_EQ(host.boxes[0].caption, "Extension can not be empty");
  EXPECT_EQ(host.boxes[1].caption, "Extension can not be empty");
  EXPECT_EQ(host.boxes[2].text, "Error adding new category");
  EXPECT_EQ(host.boxes[2].caption, "Category must be selected");
  EXPECT_EQ(host.boxes[3].text, "Error adding new category");
  EXPECT_EQ(host.boxes[3].caption, "Extension can not be empty");
  EXPECT_FALSE(plat::ClassesRoot().KeyExists("Zarns.Application\\FileCategories\\Music"));
}

TEST_F(ZrnRegTest, ReadersAndSelection) {
  WriteData("EMS.007", Z(".txt") + Z("~~~") + Z(".md") + Z("~++") + Z("~--"));
  WriteData("KEPc.007", Z("audio") + Z("text") + Z("video"));
  ZrnReg zr(files, host);
  zr.GetUserAddedExt();
  EXPECT_EQ(Texts(*zr.ExtList), (std::vector<std::string>{".txt", ".md"}));
  std::vector<std::string> exts;
  zr.RegExtPtr = &exts;
  zr.GetExtensions();
  EXPECT_EQ(exts.size(), 5u);
  exts = {".c", ".h"};
  zr.SetExtensions();
  EXPECT_EQ(ReadData("EMS.007"), Z(".c") + Z(".h"));

  ListData cb;
  zr.GetFileCategories(cb);
  ASSERT_EQ(cb.size(), 3u);
  EXPECT_FALSE(cb[0].selected);
  EXPECT_FALSE(cb[1].selected);
  EXPECT_TRUE(cb[2].selected);  // the selection ends on the last entry
  WriteData("KEPc.007", Z("only"));
  ListData one;
  zr.GetFileCategories(one);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_FALSE(one[0].selected);
  // Nothing stays open.
  EXPECT_EQ(files.ExtensionsOut, nullptr);
  EXPECT_EQ(files.ExtCategoryOut, nullptr);
}

TEST_F(ZrnRegTest, ExtListListKeepsWholeStringsOnly) {
  std::string big;
  for (int i = 0; i < 400; ++i) big += Z(".e" + std::to_string(i));
  ASSERT_GT(big.size(), 2000u);
  WriteData("KEP.007", big);
  ZrnReg zr(files, host);
  zr.GetExtensions();
  auto items = zr.ExtListItems();
  ASSERT_FALSE(items.empty());
  std::size_t used = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i], ".e" + std::to_string(i));
    used += items[i].size() + 1;
  }
  EXPECT_LT(used, sizeof zr.ExtListList);
  EXPECT_EQ(zr.ExtListList[used], '\0');
}

TEST_F(ZrnRegTest, FilesOfAnExtensionAndTheirPaths) {
  WriteData("IMS.007", Z("Song.MP3") + Z("tune.mp3") + Z("notes.txt"));
  WriteData("KEPb.007", R8(0, 0) + R8(9, 7) + R8(18, 0) + R8(500, 0));
  WriteData("DES.007", Z("/music") + Z("/home/u/"));
  ZrnReg zr(files, host);
  ListData list;
  std::string ext = ".MP3";
  testing::internal::CaptureStderr();
  zr.GetTypeCatMatchFiles(list, ext);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(ext, ".mp3");                                        // lower-cased in place
  EXPECT_EQ(Texts(list), std::vector<std::string>{"tune.mp3"});  // stored names compared as stored
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].value, 7u);
  EXPECT_NE(err.find("Funky Offset"), std::string::npos);

  std::string path = "unchanged";
  EXPECT_TRUE(zr.GetPathFromOffset(7, path));
  EXPECT_EQ(path, "/home/u/");
  path = "unchanged";
  EXPECT_FALSE(zr.GetPathFromOffset(16, path));  // at the end
  EXPECT_FALSE(zr.GetPathFromOffset(0xFFFFFFFFu, path));
  EXPECT_EQ(path, "unchanged");
}

TEST_F(ZrnRegTest, MissingListFilesYieldNothing) {
  ZrnReg zr(files, host);
  ListData cb;
  zr.GetFileCategories(cb);
  zr.GetCatFileTypes(cb, "text");
  std::string ext = ".mp3";
  zr.GetTypeCatMatchFiles(cb, ext);
  zr.GetUserAddedExt();
  EXPECT_TRUE(cb.empty());
  EXPECT_TRUE(zr.ExtList->empty());
  EXPECT_TRUE(zr.ExtListItems().empty());
}
