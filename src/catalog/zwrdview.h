// The catalog reader: the word search (files containing all of a set of
// words) and the file-name search, over the files the builder wrote.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/findresults.h"
#include "store/zrnio.h"

class MessageHost;
class ZrnFile;

// Room the hit table of FindWords starts with. It grows beyond that: a word
// that many numbered catalogs hold gives one hit per catalog, and dropping
// any would silently lose the files of the later catalogs.
constexpr int kMaxHits = 40;

// What a search says instead of its results when the catalog cannot be
// trusted: its files contradict each other (damaged), or a new catalog is
// being put in place for longer than a reader waits.
inline constexpr char kDamagedCatalogText[] =
    "The word catalog is damaged. Build it again (Catalog Schedule, Now).";
inline constexpr char kBusyCatalogText[] =
    "The word catalog is being replaced. Try the search again in a moment.";

class WordView {
 public:
  // A reader of the catalog files of `files`; FindFileName asks through
  // `messages` and shows its list through `results`. All three must outlive
  // this object.
  WordView(ZrnIO& files, MessageHost& messages, FindResultsHost& results);
  virtual ~WordView();
  WordView(const WordView&) = delete;
  WordView& operator=(const WordView&) = delete;

  // The word search for FindName: fills HitList (files holding every word,
  // in match-file order) and MatchesFound (the number of word/file hits).
  // The word -> files index answers when it belongs to the catalog in
  // place; otherwise the file set is opened, the index runs and the match
  // file are read (FindWords), and it is closed again. The catalog lock is
  // shared meanwhile. On a damaged or busy catalog HitList stays empty,
  // MatchesFound 0, and Problem is set and shown.
  void InterpretWords();
  // Splits FindName at " ", "." and "," into FindArray (case kept); returns
  // the number of words.
  int GetNumWordsToMatch();
  // Loads the files buffer and the index (once) and rewinds the index walk.
  void ReadWordsIdxDB();
  // Makes numbered word catalog idx current and loads its words buffer;
  // false when its words buffer or words table cannot be opened.
  bool ReadWordCatDBbyIdx(int idx);
  // The search proper over the loaded files for numtomatch words: looks the
  // typed words up in each numbered catalog, collects the files of their
  // match records (FileArray, MatchesFound) and lists in HitList the files
  // that hold all numtomatch words.
  void FindWords(int numtomatch);
  // Puts the directory of file `fileid` into FindPath (at most 511
  // characters); unchanged when the file has no record. With OpenFiles false
  // it opens and closes the file set itself (sharing the catalog lock and
  // showing a Problem); with true the caller has opened the set under a
  // CatalogReadScope and reports Problem.
  void GetFilePath(bool OpenFiles);
  // The file-name search for FileToFind->ShortFileName (case-sensitive
  // substring of the stored names). Every find is added to FileToFind. One
  // find: asks "Open file now?" and opens it on OK; several: the Find results
  // dialog. Returns whether anything was found.
  bool FindFileName(ZrnFile* FileToFind);
  // What FindFileName does once the n finds are in FileToFind (a list that
  // held nothing before): asks, opens or lists them. Returns n > 0.
  bool OfferFileNames(ZrnFile* FileToFind, int n);
  // The search part of FindFileName without its dialogs: adds every name of
  // the files buffer containing `text` (case-sensitive; an empty text finds
  // nothing) to `out` with its directory and fileid, in files-buffer order.
  // Opens and closes the file set. Returns the number of finds.
  int CollectFileNames(const std::string& text, ZrnFile& out);
  // Sorts found files as the Find results list shows them: by name, ignoring
  // letter case, then byte order; equal names keep their order.
  static void SortByName(std::vector<MatchItem>& items);
  // Shows Problem through the message host, once per problem found.
  void ReportProblem();

  // --- fields -------------------------------------------------------------------
  std::uint32_t fileid = 0;        // the file GetFilePath looks up
  std::string FindName;            // the words to match (set by the caller)
  std::string FindPath;            // the directory GetFilePath found
  std::vector<MatchItem> HitList;  // files found: name and fileid
  int MatchesFound = 0;
  // Empty, or the text (kDamagedCatalogText, kBusyCatalogText) of why the
  // last operation found nothing it could trust.
  std::string Problem;

  // Loaded catalog data (kept for later searches through the same object).
  std::vector<WordIdxStructType> SearchWordsIdx;
  std::size_t SearchWordsIdxIter = 0;
  std::vector<char>
      AllGenCharBufPtr;  // words buffer of the catalog being searched (reused; see allGenLen_)
  std::vector<char> FileGenCharBufPtr;  // the files buffer
  std::uint32_t TotalNumWords = 0;
  std::uint32_t totalMatchTableEntries = 0;  // match records seen by the last search
  std::vector<std::uint32_t> FileArray;      // FindWords only: empty when the index answered
  std::vector<std::string> FindArray;

 private:
  // The word search answered from the word -> files index; false, having
  // changed nothing but FindArray, when the index is missing, of another
  // catalog or damaged, and the scan must answer.
  bool SearchWithIndex();
  // The steps of FindWords. The index records of the typed words, catalog by
  // catalog, in the order of the index runs.
  std::vector<WordIdxStructType> LookUpWords();
  // FileArray: the file of every match record of a hit, once per hit.
  void CollectMatches(const std::vector<WordIdxStructType>& hits);
  // HitList: the files with at least numtomatch consecutive entries in FileArray.
  void ListFilesHoldingAll(int numtomatch);

  // Starts an operation under `scope`: clears Problem, and forgets what was
  // loaded from a catalog that has since been replaced. False (Problem set)
  // when the catalog cannot be read now.
  bool Begin(const class CatalogReadScope& scope);
  void Damaged();
  // Checks the index runs of catalog `cat` (records [begin, end)) against
  // its loaded words buffer: every offset at a word's start, words in
  // strictly increasing order. Done once per catalog and load.
  bool RunIsSound(int cat, std::size_t begin, std::size_t end);
  // The file ids a table may name: the starts of names in the files buffer.
  bool IsNameStart(std::uint32_t off) const;
  void DropLoaded();

  ZrnIO& files_;
  MessageHost& messages_;
  std::string generation_;
  bool reported_ = false;
  std::vector<bool> runChecked_;
  FindResultsHost& results_;
  bool idxLoaded_ = false, filesLoaded_ = false;
  // Sorted (fileid, path offset) pairs of both tables, loaded on first lookup.
  std::vector<FilesTblStructType> pathIndex_;
  bool pathIndexLoaded_ = false;
  void LoadPathIndex();
  void LoadFilesBuffer();
  // The word at `off` of the loaded words buffer (empty past its end).
  const char* WordAt(std::uint32_t off) const;
  std::size_t allGenLen_ = 0;
  // The NUL-terminated string at `off` of a loaded buffer (empty past its end).
  static const char* StringAt(const std::vector<char>& buf, std::uint32_t off);
};
