#pragma once
// A font that draws and measures text. Heights are LOGFONTW lfHeight values,
// passed through; callers scale pixel heights with ScaleForDpi.

#include "ui/win/gdi_objects.h"
#include "util/wide_string.h"

class TextFont {
 public:
  TextFont() = default;
  TextFont(const TextFont&) = delete;
  TextFont& operator=(const TextFont&) = delete;
  ~TextFont() { Free(); }

  // Deletes the previous font and creates a new one; a face name that is
  // empty or longer than 31 characters gives "Tahoma". When dc is given the
  // font is selected into it at once. False when GDI refuses.
  bool Create(HDC dc, const WideString& face, int height, COLORREF colour, bool bold = false,
              bool italic = false, bool underline = false);
  // The same with an explicit weight (100 thin to 900 black; 400 normal),
  // neither italic nor underlined.
  bool CreateWithWeight(HDC dc, const WideString& face, int height, COLORREF colour, int weight);
  void Free();

  // Selects the font and its colour and background mode into dc; Deselect
  // restores the previous font, text colour and background mode.
  void Select(HDC dc);
  void Deselect();

  // Draws at (x, y) into dc, or into the selected DC when dc is null. A font
  // that is not selected into dc is selected for the call only. Multi-line
  // text is split at carriage returns and drawn with default tab stops.
  void DrawString(HDC dc, int x, int y, const WideString& text, bool multiLine = false);
  // Width in pixels; multi-line: the widest line. With tabOrigin >= 0 tab
  // stops fall every 8 average character widths from that origin. A font
  // neither selected nor given a DC measures 0.
  int TextWidth(const WideString& text, bool multiLine = false, int tabOrigin = -1, HDC dc = nullptr);
  // Height in pixels; multi-line: one "Ay" line height plus spacing per line.
  int TextHeight(const WideString& text, bool multiLine = false, HDC dc = nullptr);
  // The text cut with "..." to fit below maxWidth; empty when nothing fits.
  WideString FitWithEllipsis(int maxWidth, const WideString& text, HDC dc = nullptr);

  void SetColour(COLORREF colour) { colour_ = colour; }
  void SetTransparent(bool transparent) { transparent_ = transparent; }
  void SetLineSpacing(int extra) { lineSpacing_ = extra; }

  HFONT Handle() const { return font_; }
  const WideString& Face() const { return face_; }
  int Height() const { return height_; }
  COLORREF Colour() const { return colour_; }
  bool Bold() const { return bold_; }
  int Weight() const { return weight_; }
  bool Italic() const { return italic_; }
  bool Underline() const { return underline_; }
  HDC SelectedDC() const { return selectedDc_; }

 private:
  // The DC to measure with: the given one, the selected one, or null.
  HDC MeasureDC(HDC dc) const { return dc ? dc : selectedDc_; }
  int LineHeight(HDC dc);
  bool Build(HDC dc, const WideString& face, int height, COLORREF colour, int weight, bool italic,
             bool underline);

  HFONT font_ = nullptr;
  WideString face_;
  int height_ = 0;
  bool bold_ = false;
  int weight_ = 400;
  bool italic_ = false;
  bool underline_ = false;
  COLORREF colour_ = 0;
  bool transparent_ = true;
  int lineSpacing_ = 0;

  HDC selectedDc_ = nullptr;
  HGDIOBJ previousFont_ = nullptr;
  COLORREF previousColour_ = 0;
  int previousMode_ = 0;
};

// A temporary selection of a font into a DC that the font is not already
// selected into; restores everything when it ends.
class FontUse {
 public:
  FontUse(TextFont& font, HDC dc);
  FontUse(const FontUse&) = delete;
  FontUse& operator=(const FontUse&) = delete;
  ~FontUse();
  HDC DC() const { return dc_; }

 private:
  TextFont& font_;
  HDC dc_ = nullptr;
  HDC restoreTo_ = nullptr;
  bool selectedHere_ = false;
};
