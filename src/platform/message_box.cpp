// The game's own message box, drawn onto an 800x600 picture like everything else the game shows,
// so that waiting for its OK runs in a loop of the game's (see the SDL backend) and not in a
// dialog of the desktop's that no signal and no lost display could end.
#include <algorithm>

#include "platform/sys_local.h"

namespace {

constexpr int kPanelWidth = 600, kPadding = 20, kButtonWidth = 120, kButtonHeight = 36;
constexpr size_t kMaxLines = 20;  // a longer message ends in "..."
constexpr TFontStyle kMessageFont{"DejaVu Sans", 12, 255, 255, 255, false};
constexpr uint16_t kPanelColor = RGB565(32, 32, 40), kBorderColor = RGB565(255, 222, 0),
                   kButtonColor = RGB565(70, 70, 96);

void FillRect(TDirectDrawSurface& surface, const TRect& r, uint16_t color) {
  for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, surface.Height()); ++y) {
    uint16_t* row = surface.Row(y);
    for (int x = std::max(r.Left, 0); x < std::min(r.Right, surface.Width()); ++x) row[x] = color;
  }
}

void FrameRect(TDirectDrawSurface& surface, const TRect& r, uint16_t color) {
  FillRect(surface, TRect{r.Left, r.Top, r.Right, r.Top + 2}, color);
  FillRect(surface, TRect{r.Left, r.Bottom - 2, r.Right, r.Bottom}, color);
  FillRect(surface, TRect{r.Left, r.Top, r.Left + 2, r.Bottom}, color);
  FillRect(surface, TRect{r.Right - 2, r.Top, r.Right, r.Bottom}, color);
}

// The longest start of `text` (at least one character) that fits `width`, cut after its last
// space, else after its last slash, so that words and then the parts of paths stay whole.
size_t FittingPrefix(std::string_view text, int width, TCanvas& canvas) {
  size_t fit = 1;
  while (fit < text.size() && canvas.TextWidth(text.substr(0, fit + 1)) <= width) ++fit;
  if (fit == text.size()) return fit;
  const std::string_view fitting = text.substr(0, fit);
  size_t cut = fitting.find_last_of(' ');
  if (cut == std::string_view::npos) cut = fitting.find_last_of('/');
  return cut == std::string_view::npos ? fit : cut + 1;
}

}  // namespace

TMessageBoxLayout LayoutMessageBox(std::string_view message, TCanvas& canvas) {
  canvas.SetFont(kMessageFont);
  TMessageBoxLayout box;
  const int textWidth = kPanelWidth - 2 * kPadding;
  for (size_t start = 0; start <= message.size();) {
    const size_t end = std::min(message.find('\n', start), message.size());
    std::string_view paragraph = message.substr(start, end - start);
    do {
      const size_t n = paragraph.empty() ? 0 : FittingPrefix(paragraph, textWidth, canvas);
      std::string_view line = paragraph.substr(0, n);
      while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
      box.Lines.emplace_back(line);
      paragraph.remove_prefix(n);
    } while (!paragraph.empty());
    start = end + 1;
  }
  if (box.Lines.size() > kMaxLines) {
    box.Lines.resize(kMaxLines);
    box.Lines.back() += "...";
  }
  box.LineHeight = std::max(canvas.TextHeight("Ag"), 1);
  const int height = 3 * kPadding + static_cast<int>(box.Lines.size()) * box.LineHeight + kButtonHeight;
  box.Panel = Bounds((TDXDraw::SurfaceWidth - kPanelWidth) / 2, std::max((TDXDraw::SurfaceHeight - height) / 2, 0),
                     kPanelWidth, height);
  box.Button = Bounds((TDXDraw::SurfaceWidth - kButtonWidth) / 2, box.Panel.Bottom - kPadding - kButtonHeight,
                      kButtonWidth, kButtonHeight);
  return box;
}

void DrawMessageBox(TDirectDrawSurface& surface, const TMessageBoxLayout& box, TCanvas& canvas) {
  canvas.SetFont(kMessageFont);
  surface.Fill(0);
  FillRect(surface, box.Panel, kPanelColor);
  FrameRect(surface, box.Panel, kBorderColor);
  int y = box.Panel.Top + kPadding;
  for (const std::string& line : box.Lines) {
    canvas.TextOut(&surface, box.Panel.Left + kPadding, y, line);
    y += box.LineHeight;
  }
  FillRect(surface, box.Button, kButtonColor);
  FrameRect(surface, box.Button, kBorderColor);
  canvas.TextOut(&surface, box.Button.Left + (box.Button.Width() - canvas.TextWidth("OK")) / 2,
                 box.Button.Top + (box.Button.Height() - box.LineHeight) / 2, "OK");
}
