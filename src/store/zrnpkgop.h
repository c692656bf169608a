// Package operations: loading ".pkg" files into the zarn store and the three
// package files of the file set, and everything the zarn browser reads:
//   "PkgBuf.007" (18) for each package: its name and NUL, its file path and NUL
//   "PkgT.007"   (17) one record per package {name offset, name offset +
//                     name length, 0}; a package's PkgID is its record offset
//   "EMSPkg.007" (16) one record per loaded zarn {PkgID, ZrnID, 0}
// A package file: text before the magic "ZPKG" (any case) is ignored; the
// package name follows one separator character and ends at white space; the
// body is a sequence of sections opened by "ztxt" or "zfnc" (any case), each
// a zarn: its name up to white space, then its value.
//
// ZrnPkgOp is headless; the browser dialog owns one and the command line uses
// one directly.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "store/pkglimits.h"
#include "store/zrnlvl.h"

class MessageHost;
class PromptHost;

enum IOType { eRead, eWrite, eWriteNew };

// What a package load did (for callers that report it).
struct PkgLoadResult {
  bool loaded = false;      // the package was recorded
  std::string name;         // its name
  std::uint32_t pkgId = 0;  // its identifier
  int stored = 0;           // zarns stored
  int refused = 0;          // sections the store refused (bad name, too long)
  bool noMagic = false;     // the file was read but holds no "ZPKG"
  // Why the package could not be recorded, or why the first refused section
  // was refused; None when nothing was refused.
  StoreError cause = StoreError::None;
  int unlinked = 0;  // zarns stored whose membership could not be recorded
};

class ZrnPkgOp {
 public:
  static constexpr std::size_t kMaxPkgName = kPkgNameLimit;
  static constexpr std::size_t kMaxPackageText = kPkgTextLimit;

  // Operations on the package and store files of `files`; error boxes go to
  // `messages`, the file and name questions to `prompts`. All three must
  // outlive this object.
  ZrnPkgOp(ZrnIO& files, MessageHost& messages, PromptHost& prompts);
  virtual ~ZrnPkgOp();

  // --- package files ---------------------------------------------------------
  // Opens the package table and package text file: "r" for eRead, "w" for
  // eWrite, "w+" for eWriteNew.
  void OpenPkgFiles(IOType io);
  // Closes both.
  void ClosePkgFiles();
  // Records a package named PkgNameStr loaded from `PkgFileName`: PkgID
  // becomes its identifier. False when the files cannot be written.
  bool CreatePkgEntry(const std::string& PkgFileName);
  // Appends the membership record {PkgID, ZrnID, 0}. False on failure
  // (LastError() says why).
  bool AddZrnPkgEntry();
  // The cause of the last failed CreatePkgEntry or AddZrnPkgEntry.
  StoreError LastError() const { return lastError_; }
  // Membership listing of package PkgID: reset true opens the membership
  // file and starts at its beginning. Each true result sets ZrnID to the next
  // member's table position; false at the end. Close with CloseZrnPkgFile.
  bool GetZrnPkgEntry(bool reset);
  // Closes the membership file.
  void CloseZrnPkgFile();
  // Package listing: reset true opens the package files for reading and starts
  // at the first package. Each true result delivers the next name in
  // PkgNameStr (at most kMaxPkgName characters) and its identifier in PkgID;
  // false at the end. Close with ClosePkgFiles.
  bool GetPkgNames(bool reset);
  // Takes the first section of `pkg` (the remaining package text), stores it
  // as a zarn (ZrnID and LastStored tell the outcome) and leaves the rest in
  // `pkg`. False when `pkg` holds no further section.
  bool ParsePackage(std::string& pkg);

  // --- loading ---------------------------------------------------------------
  // The Load New Package command: asks the host for a ".pkg" file, then loads
  // it as LoadPackage does.
  PkgLoadResult CmNewPackage();
  // Loads the package file at `path`: checks it, records the package, stores
  // each section and records its membership. Errors go to the host as message
  // boxes ("Error Reading Zarn Package" for a file that cannot be read or
  // holds no valid header; a package that cannot be recorded names the
  // cause); a file without the magic brings up the zarn-name prompt, whose
  // answer is discarded.
  PkgLoadResult LoadPackage(const std::string& path);
  // Finds the package name in a package text: false when the text has no
  // magic (`hasMagic` false) or the name is empty, longer than kMaxPkgName
  // or not ended by white space; `bodyStart` is where the body begins.
  static bool ParseHeader(const std::string& text, bool& hasMagic, std::string& name,
                          std::size_t& bodyStart);

  // --- what the browser shows -------------------------------------------------
  // Every stored name in table order (empty names skipped).
  std::vector<std::string> AllZarns();
  // The names of the members of package `pkgId`, in load order.
  std::vector<std::string> PackageZarns(std::uint32_t pkgId);
  // The package names in load order (identifier = 12 * index).
  std::vector<std::string> PackageNames();
  // Description and usage of a zarn; false when it is not stored.
  bool BrowseInfo(const std::string& name, std::string& description, std::string& usage);
  // Stores edited browse texts given as lines: each line is followed by CR LF.
  bool ModifyBrowse(const std::string& name, const std::vector<std::string>& descLines,
                    const std::vector<std::string>& usageLines);

  ZrnLvl1 Lvl;              // the store the operations go through
  std::string PkgNameStr;   // name delivered by GetPkgNames / being loaded
  std::uint32_t PkgID = 0;  // package being loaded or listed
  std::uint32_t ZrnID = 0;  // zarn being recorded or listed
  bool LastStored = false;  // whether the last ParsePackage stored its zarn

 private:
  // Stores one section's text as a zarn; sets LastStored and ZrnID.
  bool StoreSection(std::string text);
  ZrnIO& files_;
  MessageHost& messages_;
  PromptHost& prompts_;
  StoreError lastError_ = StoreError::None;
  bool memberDone_ = true;        // membership listing reached its end
  std::uint32_t pkgListPos_ = 0;  // table offset of the next package listed
};
