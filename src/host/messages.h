// Message boxes: the one question every layer may ask the user.
#pragma once
#include <string>

// Message box buttons (low four bits) and icons (the next four).
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_TYPEMASK = 0xF,
  MB_ICONHAND = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONASTERISK = 0x40,
  MB_ICONMASK = 0xF0,
  MB_ICONINFORMATION = MB_ICONASTERISK,
  MB_ICONSTOP = MB_ICONHAND,
  // The second button is the default (Enter), e.g. No of Yes/No.
  MB_DEFBUTTON2 = 0x100,
  MB_DEFMASK = 0xF00
};
// Message box answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

class MessageHost {
 public:
  virtual ~MessageHost();
  // A modal message box; returns the button pressed (IDOK, IDCANCEL, ...).
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
};
