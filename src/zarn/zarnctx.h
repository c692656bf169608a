// The engine context: everything a zarn run works with besides the text of
// its view. Whoever runs zarns (the application, the command line, a test)
// creates one and gives it to the views it makes; the views hand it on to
// the executor, the interpreter and the level-2 functions. Nothing of a run
// lives anywhere else.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "zarn/zrnclip.h"

class CatalogNames;
class Host;
class TZarnsEditView;
class WordView;
class ZrnIO;
class ZrnLvl1;

// A system time record; the stopwatch uses hour to milliseconds.
struct ZrnSysTime {
  std::uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
  std::uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};

// Opens documents in new editor views for the engine (a script's output
// document). The GUI opens a document window, the command line and tests an
// in-memory view.
class ViewOpener {
 public:
  virtual ~ViewOpener();
  // Opens the file `path` as a document in a new view of the context and
  // returns that view (owned by the opener's side), or nullptr when it
  // could not be opened. The view is not made current: the caller decides.
  virtual TZarnsEditView* OpenView(const std::string& path) = 0;
  // Writes the document of `view` (one OpenView gave) back to its file, so
  // that it shows as unchanged; false when that failed. Without an own
  // implementation nothing is kept on disk and this answers true.
  virtual bool SaveView(TZarnsEditView* view);
};

class ZarnContext {
 public:
  // `host` and `files` must outlive the context; `opener` (not owned) may
  // be null, and then no document opens.
  ZarnContext(Host& host, ZrnIO& files, ViewOpener* opener = nullptr);
  ~ZarnContext();
  ZarnContext(const ZarnContext&) = delete;
  ZarnContext& operator=(const ZarnContext&) = delete;

  // Where message boxes, input boxes and the Find results go.
  Host& GetHost() const { return host_; }
  // The data file set the store and the catalog reader work on.
  ZrnIO& GetFiles() const { return files_; }

  // Opens `path` in a new view through the opener; nullptr without one or
  // when it fails. CurrentView is left alone.
  TZarnsEditView* OpenView(const std::string& path);
  // Saves a view OpenView gave through the opener; true without one.
  bool SaveView(TZarnsEditView* view);
  void SetViewOpener(ViewOpener* opener) { opener_ = opener; }

  // A handle on the zarn store of the file set.
  ZrnLvl1 Store() const;

  // The catalog reader of zarn runs. A reader loads the index, the files
  // buffer and the match file whole, which on a large catalog costs far
  // more than the rest of a run; so one reader is kept between runs and
  // handed out again while the catalog files are the ones it loaded (same
  // paths, sizes, first and last bytes), and replaced as soon as they differ
  // (a new build). Its hit list comes back empty.
  std::shared_ptr<WordView> CatalogReader();
  // Releases that reader and the file-name lookup; the next run loads the
  // catalog again.
  void DropCatalogReader();
  // The file-name lookup of the file-name level. It maps the catalog's name
  // and path files instead of loading them, and keeps them mapped between
  // runs while they are the files in place.
  CatalogNames& FileNames();

  // The next number of the rand function's generator. It starts at the
  // same seed in every context, so every program run gives the same
  // sequence whatever else in the process draws random numbers.
  unsigned NextRandom();

  // --- state of the runs, named as in the program's design ----------------------
  TZarnsEditView* CurrentView = nullptr;  // the view zarns write into
  // The output document of the script run in progress (cleared when its
  // view goes, and when the run ends).
  TZarnsEditView* OutputView = nullptr;
  std::string GlobalString;       // text shared by the zarn-name prompt and the zarn browser
  int pos = 0;                    // GetNumber's search position
  std::int32_t timeinterval = 0;  // 0: the next time press starts the stopwatch
  ZrnSysTime swstart;             // stopwatch start
  ZrnSysTime swlast;              // previous press
  std::int32_t cp = 0;            // offset where the last replayed script line ends
  int ScriptDepth = 0;            // how many scripts run inside each other now (0: none)
  ZrnClip Clips;                  // the clip store behind Copy and the paste menu
  std::int32_t NumClips = 10001;  // command id of the next paste-menu item

 private:
  Host& host_;
  ZrnIO& files_;
  ViewOpener* opener_;
  std::shared_ptr<WordView> reader_;  // shared: a search under way keeps its reader
  std::string readerFingerprint_;
  std::unique_ptr<CatalogNames> names_;
  std::uint64_t randomState_ = 1;
};
