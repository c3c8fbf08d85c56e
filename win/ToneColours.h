#pragma once
#include <windows.h>

#include <array>

#include "ControlState.h"

// The colours a text of a tone is shown in (the result of a load): a light background with dark
// text, green, amber or red. The brushes are made once and deleted with the object; used on the
// window's thread, answering WM_CTLCOLORSTATIC.
class ToneColours {
 public:
  ToneColours();
  ~ToneColours();
  ToneColours(const ToneColours&) = delete;
  ToneColours& operator=(const ToneColours&) = delete;

  // Colours the static control's device context for the tone and returns its background brush;
  // null for a plain text (the dialog's own colours).
  HBRUSH paint(HDC dc, ControlState::Tone tone) const;

 private:
  std::array<HBRUSH, 4> brushes_{};
};
