#include "ToneColours.h"

namespace {
struct Colours {
  COLORREF background, text;
};
// By tone: plain (unused), good, caution, bad.
constexpr Colours kColours[] = {{0, 0},
                                {RGB(0xdf, 0xf3, 0xe0), RGB(0x14, 0x46, 0x1a)},
                                {RGB(0xff, 0xf4, 0xd6), RGB(0x4d, 0x38, 0x00)},
                                {RGB(0xfd, 0xe2, 0xe1), RGB(0x5f, 0x14, 0x10)}};
}  // namespace

ToneColours::ToneColours() {
  for (std::size_t i = 1; i < brushes_.size(); ++i) brushes_[i] = ::CreateSolidBrush(kColours[i].background);
}

ToneColours::~ToneColours() {
  for (HBRUSH brush : brushes_)
    if (brush) ::DeleteObject(brush);
}

HBRUSH ToneColours::paint(HDC dc, ControlState::Tone tone) const {
  const auto i = static_cast<std::size_t>(tone);
  if (tone == ControlState::Tone::Plain || i >= brushes_.size()) return nullptr;
  ::SetBkColor(dc, kColours[i].background);
  ::SetTextColor(dc, kColours[i].text);
  return brushes_[i];
}
