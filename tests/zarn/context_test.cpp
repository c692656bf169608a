// The engine context: two contexts share nothing, the output document comes
// from the context's view opener and only the executor makes it current,
// the catalog reader is kept while the catalog stays the same, and the
// interpreter's passes run on their own.
#include "zarn_fixture.h"

#include <fstream>

#include "catalog/zrnwcat.h"
#include "catalog/zwrdview.h"
#include "platform/pdatadir.h"
#include "zarn/zrnintrd.h"
#include "zarn/zrnlvl2.h"

class ContextTest : public ZarnTest {
 protected:
  // A second, independent context with its own host and one view.
  struct Other {
    RecordingHost host;
    ZrnIO files;
    ZarnContext ctx{host, files};
    MemoryTextBuffer buf;
    TZarnsEditView view{ctx, &buf};
  };
};

TEST_F(ContextTest, TwoContextsShareNothing) {
  Other other;
  other.view.SetFocus();
  Set("");
  EXPECT_EQ(Ctx().CurrentView, &V());
  EXPECT_EQ(other.ctx.CurrentView, &other.view);

  // The stopwatch: started in one context, still fresh in the other.
  Cmd().CmTime();
  EXPECT_EQ(Ctx().timeinterval, 1);
  EXPECT_EQ(other.ctx.timeinterval, 0);
  ViewCommands(other.view).CmTime();
  EXPECT_EQ(other.buf.GetText(), "\r\n10:00:00 \r\n");  // a start, not a lap

  // Clips: each context numbers its own paste-menu items from 10001.
  Set("alpha beta");
  main->buf->SetSelection(0, 5);
  EXPECT_EQ(Cmd().CmEditCopy(), 10001);
  other.buf.SetText("gamma");
  other.buf.SetSelection(0, 5);
  EXPECT_EQ(ViewCommands(other.view).CmEditCopy(), 10001);
  EXPECT_EQ(Ctx().Clips.numclips, 1);
  EXPECT_EQ(other.ctx.Clips.numclips, 1);
  other.buf.SetSelection(5, 5);
  EXPECT_TRUE(ViewCommands(other.view).CmPasteClip(10001));
  EXPECT_EQ(other.buf.GetText(), "gammagamma");

  // A run in one context writes into its own current view and reports to
  // its own host; the other context's view and host see nothing.
  other.buf.SetText("untouched words");
  Set("3 + 4");
  Cmd().CmRunzarn();
  EXPECT_EQ(Text(), "7 ");
  EXPECT_EQ(other.buf.GetText(), "untouched words");
  Set("no zarn here");
  Cmd().CmRunzarn();
  EXPECT_EQ(host.matchDialogs.size(), 1u);
  EXPECT_TRUE(other.host.matchDialogs.empty());
  EXPECT_EQ(other.ctx.CurrentView, &other.view);
}

TEST_F(ContextTest, RandomNumbersRepeatPerContext) {
  Other other;
  std::vector<unsigned> a, b;
  for (int i = 0; i < 5; ++i) a.push_back(Ctx().NextRandom());
  for (int i = 0; i < 5; ++i) b.push_back(other.ctx.NextRandom());
  EXPECT_EQ(a, b);  // the same sequence from the start of every context
  EXPECT_NE(a[0], a[1]);
  // Drawing in one context does not move the other on.
  ZarnContext third(host, files);
  EXPECT_EQ(third.NextRandom(), a[0]);
  // The rand function draws from its context.
  ZarnContext fresh(host, files);
  EXPECT_EQ(ZrnLvl2(fresh).Compute(L2rand, 1000, 0), std::to_string(a[0] % 1000) + " ");
  EXPECT_EQ(ZrnLvl2(fresh).Compute(L2rand, 1000, 0), std::to_string(a[1] % 1000) + " ");
}

TEST_F(ContextTest, GetNumberSearchPositionBelongsToTheContext) {
  Other other;
  Set("1 abs 5", 2);
  V().DoToken();
  int n = 0;
  V().GetNumber(n);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(Ctx().pos, 1);
  EXPECT_EQ(other.ctx.pos, 0);
}

TEST_F(ContextTest, DestroyedViewLeavesNoDanglingCurrentView) {
  {
    TZarnsEditView gone(Ctx());
    gone.SetFocus();
    EXPECT_EQ(Ctx().CurrentView, &gone);
  }
  EXPECT_EQ(Ctx().CurrentView, nullptr);
  // A view that is not current leaves the current one alone.
  V().SetFocus();
  { TZarnsEditView bystander(Ctx()); }
  EXPECT_EQ(Ctx().CurrentView, &V());
}

// An opener that answers from a script of its own: a given view (its
// buffer, when given, loaded with the file), or none.
class ScriptedOpener : public ViewOpener {
 public:
  TZarnsEditView* OpenView(const std::string& path) override {
    paths.push_back(path);
    std::string bytes;
    if (load && plat::ReadWholeFile(path, bytes)) load->SetText(bytes);
    return answer;
  }
  TZarnsEditView* answer = nullptr;
  MemoryTextBuffer* load = nullptr;
  std::vector<std::string> paths;
};

TEST_F(ContextTest, TheOpenedViewIsWhereTheScriptRuns) {
  // The opener hands back a view that is not current; the executor makes it
  // current itself and every line of the script lands there.
  MemoryTextBuffer outBuf;
  TZarnsEditView out(Ctx(), &outBuf);
  ScriptedOpener opener;
  opener.answer = &out;
  opener.load = &outBuf;
  Ctx().SetViewOpener(&opener);
  // The first line is blank: it runs nothing, so only the executor can have
  // made the output view current before the second line comes.
  Set("  \r\n3 * 4\r\n\r\n>> end", 0);
  EXPECT_TRUE(Cmd().CmTestzarn());
  EXPECT_EQ(opener.paths, (std::vector<std::string>{"output.zrn"}));  // opened once
  // Blank lines are copied but run nothing.
  EXPECT_EQ(outBuf.GetText(), "  \r\n12 \r\n>> end\r\nend");
  EXPECT_EQ(Ctx().CurrentView, &out);
  EXPECT_EQ(Text(), "  \r\n3 * 4\r\n\r\n>> end");  // the script itself stays
  Ctx().SetViewOpener(nullptr);
}

TEST_F(ContextTest, NoOutputViewStopsTheScriptBeforeAnyLineRuns) {
  ScriptedOpener opener;  // opens nothing
  Ctx().SetViewOpener(&opener);
  Store("x", "old");
  Set("x = new\r\n>> more", 0);
  EXPECT_TRUE(Cmd().CmTestzarn());  // the structure held; the run stopped at once
  EXPECT_EQ(opener.paths.size(), 1u);
  EXPECT_EQ(Stored("X"), "old");  // the assignment never ran
  EXPECT_EQ(Ctx().CurrentView, &V());
  EXPECT_EQ(Text(), "x = new\r\n>> more");

  // A view without a text buffer is no output document either.
  TZarnsEditView bare(Ctx());
  opener.answer = &bare;
  EXPECT_TRUE(Cmd().CmTestzarn());
  EXPECT_EQ(opener.paths.size(), 2u);
  EXPECT_EQ(Stored("X"), "old");
  EXPECT_EQ(Ctx().CurrentView, &V());

  // Without an opener at all nothing opens and nothing runs.
  Ctx().SetViewOpener(nullptr);
  EXPECT_TRUE(Cmd().CmTestzarn());
  EXPECT_EQ(Stored("X"), "old");
  std::string file;
  ASSERT_TRUE(plat::ReadWholeFile("output.zrn", file));
  EXPECT_EQ(file, "x = new");  // written, but no view came of it
}

TEST_F(ContextTest, PassesRunOnTheirOwn) {
  std::vector<std::string> lines = {"IF a == a", ">> in", "ENDIF", "FOR 1 TO 2", ">> f", "ENDFOR"};
  ZrnIntrpDlg d(Ctx(), &lines);
  // The structure pass alone: the matrix, no boxes, nothing opened or run.
  ASSERT_TRUE(d.CheckStructure(lines));
  EXPECT_TRUE(d.Error.empty());
  ASSERT_EQ(d.Matrix.size(), 2u);
  EXPECT_EQ(d.Matrix[1].count, 2);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_TRUE(openedPaths.empty());
  // The listing from the matrix.
  d.ListBlocks();
  EXPECT_EQ(d.Listing, " linenum 1, condition 1, end 4\n linenum 4, condition 1, end 7\n");
  // The execution pass over that matrix.
  d.ExecuteLines(lines);
  EXPECT_EQ(d.Executed, 3);
  EXPECT_EQ(OutputText(), ">> in\r\nin\r\n>> f\r\nf\r\n>> f\r\nf");
  EXPECT_TRUE(host.boxes.empty());  // no listing shown by the passes themselves

  // A broken structure: false and the error, but no box and no run.
  std::vector<std::string> broken = {"date", "ENDIF", "date"};
  ZrnIntrpDlg e(Ctx(), &broken);
  EXPECT_FALSE(e.CheckStructure(broken));
  EXPECT_EQ(e.Error, "No if condition to end \nat line number 2");
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_EQ(outputs.size(), 1u);
}

TEST_F(ContextTest, RunScriptShowsTheListingThePassesBuilt) {
  std::vector<std::string> lines = {"WHILE a == b", ">> never", "ENDWHILE", ">> after"};
  ZrnIntrpDlg d(Ctx(), &lines);
  d.RunScript();
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Instruction Matrix ");
  EXPECT_EQ(host.boxes[0].text, d.Listing);
  EXPECT_EQ(d.Listing, " linenum 1, condition 4, end 4\n");
  EXPECT_EQ(d.Executed, 1);
  EXPECT_EQ(OutputText(), ">> after\r\nafter");
}

TEST_F(ContextTest, SavedScriptsLeaveTheDepthAsTheyFoundIt) {
  Set("zarn inner\r\n>> in", 1);
  Cmd().CmSavezarn();
  Set("zarn outer\r\ninner\r\n>> out", 1);
  Cmd().CmSavezarn();
  Set("outer");
  Cmd().CmRunzarn();
  EXPECT_EQ(Ctx().ScriptDepth, 0);
  // The inner script continues in the outer one's output document.
  ASSERT_EQ(outputs.size(), 1u);
  EXPECT_EQ(OutputText(), "inner\r\n>> in\r\nin\r\n>> out\r\nout");
  // A context already at the bound takes the word but runs nothing.
  Ctx().ScriptDepth = ZrnIntrpDlg::kMaxScriptDepth;
  Set("outer");
  Cmd().CmRunzarn();
  EXPECT_EQ(outputs.size(), 1u);
  EXPECT_EQ(Text(), "outer");
  EXPECT_TRUE(host.matchDialogs.empty());
  EXPECT_EQ(Ctx().ScriptDepth, ZrnIntrpDlg::kMaxScriptDepth);
}

TEST_F(ContextTest, CatalogReaderIsKeptUntilTheCatalogChanges) {
  auto build = [this](const std::string& dir) {
    files.CloseFiles();
    files.currentWordCat = 1;
    ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath("EMS.007"), std::string(".txt\0", 5)));
    for (const char* f : {"KEP.007", "KEPt.007", "KEPc.007"})
      ASSERT_TRUE(plat::WriteFileAtomic(plat::DataPath(f), ""));
    WordCat cat(files);
    cat.CreateWordCatalog(nullptr, {dir});
  };
  const std::string a = TestEnv::FreshDir("ctx-corpus-a");
  std::ofstream(a + "one.txt") << "lemur\n";
  build(a);
  const std::shared_ptr<WordView> first = Ctx().CatalogReader();
  first->HitList.push_back({"stale", 0});
  first->MatchesFound = 3;
  const std::shared_ptr<WordView> same = Ctx().CatalogReader();
  EXPECT_EQ(same, first);              // unchanged catalog: the loaded reader again
  EXPECT_TRUE(same->HitList.empty());  // ...with nothing left of the last search
  EXPECT_EQ(same->MatchesFound, 0);
  // Another context keeps a reader of its own.
  Other other;
  EXPECT_NE(other.ctx.CatalogReader(), first);

  const std::string b = TestEnv::FreshDir("ctx-corpus-b");
  std::ofstream(b + "two.txt") << "lemur okapi tapir\n";
  build(b);
  const std::shared_ptr<WordView> rebuilt = Ctx().CatalogReader();
  EXPECT_NE(rebuilt, first);        // a new build: a new reader
  EXPECT_EQ(first.use_count(), 2);  // only those who still hold it keep the old reader

  Ctx().DropCatalogReader();
  EXPECT_NE(Ctx().CatalogReader(), rebuilt);
}

TEST_F(ContextTest, ClipLabelsShowLineFeedsAsBlanks) {
  EXPECT_EQ(ViewCommands::ClipLabel("one\ntwo"), "one two");
  EXPECT_EQ(ViewCommands::ClipLabel("a\r\nb"), "a\r b");
  EXPECT_EQ(ViewCommands::ClipLabel(std::string(40, 'x')), std::string(30, 'x'));
  EXPECT_EQ(ViewCommands::ClipLabel(""), "");
}
