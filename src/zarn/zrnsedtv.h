// The editor view's zarn machinery, without any window: capturing the caret
// line, cutting it into tokens, finding the zarn, and writing results back
// through a TextBuffer. The GUI's editor widget owns one of these and hands
// it its TextBuffer; the view's commands (zarn/viewcmds.h) run the engine on
// it. Every view belongs to one engine context.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "zarn/cmdids.h"
#include "zarn/textbuf.h"

class ZarnContext;

// Size of the buffer the caret line is copied into: at most this many
// characters of a line take part in tokenizing.
constexpr int kZarnLineSize = 80;
// Slots of the positions table: at most kMaxTokPositions - 1 word tokens,
// then the end sentinel. Words past that on a line are ignored.
constexpr int kMaxTokPositions = 40;
// Upper bound of the texts GetString / GetStringToEOL deliver.
constexpr std::uint32_t kZarnTextSize = 4096;

class TZarnsEditView {
 public:
  // A view of context `ctx` (which must outlive it); `buffer` is not owned
  // and may be given later with SetBuffer.
  explicit TZarnsEditView(ZarnContext& ctx, TextBuffer* buffer = nullptr);
  // Clears the context's CurrentView when it is this view.
  virtual ~TZarnsEditView();
  TZarnsEditView(const TZarnsEditView&) = delete;
  TZarnsEditView& operator=(const TZarnsEditView&) = delete;

  // The text the view works on (nullptr: every operation does nothing).
  TextBuffer* Buffer() const { return buf_; }
  void SetBuffer(TextBuffer* buffer) { buf_ = buffer; }
  // The engine context the view belongs to.
  ZarnContext& Context() const { return ctx_; }
  // The focus handler's job: this view becomes the context's CurrentView.
  void SetFocus();

  // --- capturing the caret line ------------------------------------------------
  // Captures and tokenizes the caret line, then zarn = GetToken(0). An empty
  // caret line leaves no word: the tables are emptied (so nothing stale can be
  // removed) and zarn becomes empty.
  void DoToken();
  // With a selection, zarn becomes the selected text (at most 79 characters)
  // and nothing is tokenized; otherwise as DoToken.
  void GetSearchText();
  // Fills TokPtr, tokpositions, NumTokens and ZarnTokInLine from `line` (at
  // most its first 80 characters), with `start` as the caret offset.
  void Tokenize(const std::string& line);

  // --- reading and changing tokens ---------------------------------------------
  // Token-list entry ZarnTokInLine + p: the first entry below 0, empty text
  // past the end.
  void GetToken(int p, std::string& out) const;
  std::string GetToken(int p) const;
  // Deletes word token ZarnTokInLine + p with the separators after it (up to
  // the next word or the sentinel); nothing outside 0 <= i < NumTokens. The
  // token list keeps the removed word.
  void RemoveToken(int p);
  // From the start of word token ZarnTokInLine + p to the end of the text, at
  // most 4096 characters; empty when the token does not exist.
  std::string GetString(int p) const;
  // From the same start to the end of the captured line, at most 4096.
  std::string GetStringToEOL(int p) const;
  // The numbers before and after the zarn (commas after the first character
  // dropped; no number reads 0).
  void getdouble(double& a, double& b) const;
  // Searches alternately right and left of the zarn (1, -2, 3, -4, ...) for a
  // non-zero integer, removing every word it examines. num == 0 on entry
  // starts a new search; any other value continues the previous one. num
  // receives the integer found, or 0.
  void GetNumber(int& num);
  // Words removed left of the zarn by the GetNumber search since it last
  // started (the zarn word's index has moved down by as many).
  int LeftRemoved() const { return leftRemoved_; }
  // The current text of word token i (from its start to the next separator
  // or the end of the captured line); empty when there is no such token.
  std::string WordAt(int i) const;
  // Deletes word token i (absolute index) as RemoveToken does.
  void RemoveWord(int i);
  // Replaces "a op b" around the zarn by a's text ("%f" without trailing
  // zeros, then one blank).
  void replacedouble(double a);
  // An arithmetic result as text: "%f" without trailing zeros (and without
  // a point left last), then one blank. 7 -> "7 ", 0.25 -> "0.25 ".
  static std::string NumberText(double a);
  // Inserts at the caret.
  void InsertText(const std::string& text);
  // Removes the zarn word (RemoveToken(0)), then inserts at the caret.
  void InsertOver(const std::string& text);
  // Every whole line above the caret line, appended to `lines`.
  void GetToCurrent(std::vector<std::string>& lines) const;
  // Deletes every line above the caret line.
  void RemoveToCurrent();

  // --- fields, in the order of the data model -----------------------------------
  int ZarnTokInLine = 0;                    // word index of the zarn in the line
  std::string zarn;                         // the current zarn text
  std::vector<std::string> TokPtr;          // token list (words and operator tokens)
  int NumTokens = 0;                        // word tokens of the captured line
  std::uint32_t start = 0;                  // caret offset within the captured line
  int tokpositions[kMaxTokPositions] = {};  // word starts, then the sentinel
  char delimiters[8] = {' ', '?', '!', '+', '-', '/', '*', '\0'};

  // Where the captured line begins in the text.
  std::uint32_t LineStart() const { return lineStart_; }

 private:
  // Offset of word token i in the text, clamped to the captured line.
  std::uint32_t TokenOffset(int i) const;
  // End of the captured line (its current length from its start).
  std::uint32_t LineEnd() const;
  void Capture(bool selectionWins);

  ZarnContext& ctx_;
  TextBuffer* buf_ = nullptr;
  std::uint32_t lineStart_ = 0;
  int leftRemoved_ = 0;
};
