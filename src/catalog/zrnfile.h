// A small list of found files (name, directory, file id) with a cursor, and
// the program's one way of handing a file or a web address to the desktop.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The web services of ShellURL.
enum webtype {
  WebAtlas = 0,         // map search by place name
  WebDictionary = 1,    // online dictionary
  WebEncyclopedia = 2,  // online encyclopedia
  WebSearch = 3,        // web search engine
  WebSports = 4,        // sports news search
  WebScience = 5,       // science collection search
  WebArts = 6,          // film and television database
  WebBrindle = 7        // the maker's pages (shipped with the program's help)
};

// Size of the address buffer of ShellURL: 159 characters and a NUL.
constexpr std::size_t kUrlBufferSize = 160;
// The maker's page, shipped and installed with the help pages.
constexpr char kMakersPage[] = "ZarnsDoc1.htm";

class ZrnFile {
 public:
  ZrnFile();
  ~ZrnFile();
  ZrnFile(const ZrnFile&) = delete;
  ZrnFile& operator=(const ZrnFile&) = delete;

  // Appends a record; it becomes the current one when the list was not
  // walked. eol becomes false.
  void Add(std::string file, std::string path, std::uint32_t fileid);
  // Makes the first record current.
  void Reset();
  // Copies out the current record (the first when none is current). False
  // with empty strings on an empty list; false (outputs untouched) past the end.
  bool GetCurrent(std::string& file, std::string& path, std::uint32_t& fileid);
  // GetCurrent, then moves on; eol becomes true after the last record.
  void GetNext(std::string& file, std::string& path, std::uint32_t& fileid);
  // Opens the current record's file (directory "/" name) in the application
  // the desktop associates with it. False when nothing could open it (the
  // caller tells the user, plat::LaunchFailedText(FileInfo)).
  bool ShellFile();
  // Opens the address of service wt for text in the web browser; a wt outside
  // 0..7 opens nothing. False when the address could not be opened.
  bool ShellURL(const char* text, int wt);
  // The address ShellURL opens (at most kUrlBufferSize - 1 characters; empty
  // for an unknown service).
  static std::string BuildURL(const char* text, int wt);
  // The directory of the maker's pages (the program's help pages), ending with "/".
  // $ZARNS_HELP_DIR, else the first of: beside the program
  // (resources/help, as the build copies it), the installed share/zarns/help,
  // the build tree seen from a test directory, /usr/share/zarns/help.
  static std::string HelpDir();
  // HelpDir for a program in `exeDir` and the given $ZARNS_HELP_DIR text.
  static std::string HelpDirFor(const std::string& exeDir, const std::string& override);

  // --- fields, in the order of the data model ---------------------------------
  int MatchCount = 0;
  int CurrentRec = 0;  // 1-based; 0 = before the first
  int Count = 0;
  bool eol = true;
  std::string ShortFileName;  // text the file-name search looks for
  std::vector<std::string> FileNamePtr;
  std::vector<std::string> PathNamePtr;  // no trailing "/" except for a root
  std::vector<std::uint32_t> FileIDPtr;
  char FileInfo[4860];   // full path of the file being opened
  char ParamInfo[4860];  // unused
};
