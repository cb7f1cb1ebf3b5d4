#include "ui/win/text_font.h"

#include <algorithm>
#include <vector>

#include "ui/ui_rules.h"
#include "util/string_list.h"

bool TextFont::Create(HDC dc, const WideString& face, int height, COLORREF colour, bool bold, bool italic,
                      bool underline) {
  return Build(dc, face, height, colour, bold ? 700 : 400, italic, underline);
}

bool TextFont::CreateWithWeight(HDC dc, const WideString& face, int height, COLORREF colour, int weight) {
  return Build(dc, face, height, colour, weight, false, false);
}

bool TextFont::Build(HDC dc, const WideString& face, int height, COLORREF colour, int weight, bool italic,
                     bool underline) {
  Free();
  face_ = ChooseFaceName(face);
  height_ = height;
  colour_ = colour;
  weight_ = weight;
  bold_ = weight >= 700;
  italic_ = italic;
  underline_ = underline;
  LOGFONTW description{};
  description.lfHeight = height;
  description.lfWeight = weight;
  description.lfItalic = italic ? 1 : 0;
  description.lfUnderline = underline ? 1 : 0;
  description.lfCharSet = 0;
  int length = std::min(face_.Length(), 31);
  for (int i = 0; i < length; ++i) description.lfFaceName[i] = static_cast<wchar_t>(face_.Text()[i]);
  font_ = CreateFontIndirectW(&description);
  if (font_ && dc) Select(dc);
  return font_ != nullptr;
}

void TextFont::Free() {
  Deselect();
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

void TextFont::Select(HDC dc) {
  if (!dc || !font_) return;
  Deselect();
  previousFont_ = SelectObject(dc, font_);
  previousColour_ = SetTextColor(dc, colour_);
  previousMode_ = SetBkMode(dc, transparent_ ? TRANSPARENT : OPAQUE);
  selectedDc_ = dc;
}

void TextFont::Deselect() {
  if (!selectedDc_) return;
  SelectObject(selectedDc_, previousFont_);
  SetTextColor(selectedDc_, previousColour_);
  SetBkMode(selectedDc_, previousMode_);
  selectedDc_ = nullptr;
  previousFont_ = nullptr;
}

FontUse::FontUse(TextFont& font, HDC dc) : font_(font) {
  if (!dc || dc == font.SelectedDC()) {
    dc_ = font.SelectedDC();
    return;
  }
  restoreTo_ = font.SelectedDC();
  font.Select(dc);
  dc_ = font.SelectedDC();
  selectedHere_ = dc_ != nullptr;
}

FontUse::~FontUse() {
  if (!selectedHere_) return;
  font_.Deselect();
  if (restoreTo_) font_.Select(restoreTo_);
}

int TextFont::LineHeight(HDC dc) {
  SIZE size{};
  if (!GetTextExtentPoint32W(dc, L"Ay", 2, &size)) return 0;
  return size.cy + lineSpacing_;
}

void TextFont::DrawString(HDC dc, int x, int y, const WideString& text, bool multiLine) {
  if (!font_) return;
  FontUse use(*this, dc);
  HDC target = use.DC();
  if (!target) return;
  if (!multiLine) {
    ExtTextOutW(target, x, y, transparent_ ? 0 : ETO_OPAQUE, nullptr, text.W(),
                static_cast<UINT>(text.Length()), nullptr);
    return;
  }
  StringList lines;
  SplitLines(text, lines);
  int step = LineHeight(target);
  for (int i = 0; i < lines.Count(); ++i) {
    const WideString& line = lines.Item(i);
    TabbedTextOutW(target, x, y, line.W(), line.Length(), 0, nullptr, x);
    y += step;
  }
}

int TextFont::TextWidth(const WideString& text, bool multiLine, int tabOrigin, HDC dc) {
  if (!font_) return 0;
  FontUse use(*this, MeasureDC(dc));
  HDC target = use.DC();
  if (!target) return 0;
  if (!multiLine) {
    SIZE size{};
    if (!GetTextExtentPoint32W(target, text.W(), text.Length(), &size)) return 0;
    return size.cx;
  }
  std::vector<INT> stops;
  if (tabOrigin >= 0) {
    SIZE sample{};
    GetTextExtentPoint32W(target, L"abcdefABCDEF", 12, &sample);
    int average = std::max(1, static_cast<int>(sample.cx / 12));
    int step = average * 8;
    int count = GetSystemMetrics(SM_CXSCREEN) / step + 10;
    for (int i = 1; i <= count; ++i) stops.push_back(tabOrigin + i * step);
  }
  StringList lines;
  SplitLines(text, lines);
  int widest = 0;
  for (int i = 0; i < lines.Count(); ++i) {
    const WideString& line = lines.Item(i);
    DWORD extent = GetTabbedTextExtentW(target, line.W(), line.Length(), static_cast<int>(stops.size()),
                                        stops.empty() ? nullptr : stops.data());
    widest = std::max(widest, static_cast<int>(LOWORD(extent)));
  }
  return widest;
}

int TextFont::TextHeight(const WideString& text, bool multiLine, HDC dc) {
  if (!font_) return 0;
  FontUse use(*this, MeasureDC(dc));
  HDC target = use.DC();
  if (!target) return 0;
  if (!multiLine) {
    SIZE size{};
    if (!GetTextExtentPoint32W(target, text.IsEmpty() ? L"Ay" : text.W(), text.IsEmpty() ? 2 : text.Length(),
                               &size))
      return 0;
    return size.cy;
  }
  StringList lines;
  SplitLines(text, lines);
  return LineHeight(target) * std::max(1, lines.Count());
}

namespace {

class FontMeasure : public TextMeasure {
 public:
  FontMeasure(TextFont& font, HDC dc) : font_(font), dc_(dc) {}
  int Width(const WideString& text) override { return font_.TextWidth(text, false, -1, dc_); }

 private:
  TextFont& font_;
  HDC dc_;
};

}  // namespace

WideString TextFont::FitWithEllipsis(int maxWidth, const WideString& text, HDC dc) {
  FontMeasure measure(*this, MeasureDC(dc));
  return FitTextWithEllipsis(maxWidth, text, measure);
}
