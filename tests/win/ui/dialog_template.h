#pragma once
// Dialog templates built in memory for the toolkit tests.

#include <cstdint>
#include <vector>

#include "util/wide_string.h"
#include "util/win/windows_api.h"

class DialogTemplate {
 public:
  // A popup dialog at (x, y) DLU of the given size, with "MS Shell Dlg" of
  // the given point size.
  DialogTemplate(const WideString& title, int x, int y, int width, int height, DWORD style = 0, int points = 8);
  // Controls by predefined class atom (0x0080 button, 0x0081 edit, 0x0082
  // static, 0x0083 list box) or by class name.
  void AddControl(WORD classAtom, const WideString& text, int id, int x, int y, int width, int height,
                  DWORD style);
  void AddControl(const WideString& className, const WideString& text, int id, int x, int y, int width,
                  int height, DWORD style);
  const DLGTEMPLATE* Get();

 private:
  void Align();
  void Word(WORD value);
  void DoubleWord(DWORD value);
  void Text(const WideString& text);
  void ControlHeader(int id, int x, int y, int width, int height, DWORD style);

  std::vector<WORD> words_;
  WORD count_ = 0;
};
