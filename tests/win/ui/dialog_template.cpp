#include "dialog_template.h"

DialogTemplate::DialogTemplate(const WideString& title, int x, int y, int width, int height, DWORD style,
                               int points) {
  if (!style) style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_MODALFRAME;
  style |= DS_SETFONT;
  DoubleWord(style);
  DoubleWord(0);  // extended style
  Word(0);        // control count, patched in Get
  Word(static_cast<WORD>(x));
  Word(static_cast<WORD>(y));
  Word(static_cast<WORD>(width));
  Word(static_cast<WORD>(height));
  Word(0);  // no menu
  Word(0);  // default class
  Text(title);
  Word(static_cast<WORD>(points));
  Text(WideString(u"MS Shell Dlg"));
}

void DialogTemplate::Word(WORD value) { words_.push_back(value); }

void DialogTemplate::DoubleWord(DWORD value) {
  Word(LOWORD(value));
  Word(HIWORD(value));
}

void DialogTemplate::Text(const WideString& text) {
  for (int i = 0; i < text.Length(); ++i) Word(static_cast<WORD>(text.Text()[i]));
  Word(0);
}

void DialogTemplate::Align() {
  if (words_.size() % 2) Word(0);
}

void DialogTemplate::ControlHeader(int id, int x, int y, int width, int height, DWORD style) {
  Align();
  DoubleWord(style | WS_CHILD | WS_VISIBLE);
  DoubleWord(0);
  Word(static_cast<WORD>(x));
  Word(static_cast<WORD>(y));
  Word(static_cast<WORD>(width));
  Word(static_cast<WORD>(height));
  Word(static_cast<WORD>(id));
  ++count_;
}

void DialogTemplate::AddControl(WORD classAtom, const WideString& text, int id, int x, int y, int width,
                                int height, DWORD style) {
  ControlHeader(id, x, y, width, height, style);
  Word(0xFFFF);
  Word(classAtom);
  Text(text);
  Word(0);  // no creation data
}

void DialogTemplate::AddControl(const WideString& className, const WideString& text, int id, int x, int y,
                                int width, int height, DWORD style) {
  ControlHeader(id, x, y, width, height, style);
  Text(className);
  Text(text);
  Word(0);
}

const DLGTEMPLATE* DialogTemplate::Get() {
  words_[4] = count_;
  return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
}
