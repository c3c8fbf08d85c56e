#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Picks one image out of an archive's names (layout 130); on OK the names become the chosen
// image, preceded by its helper (the RAM loader, or a utility loader of a numbered set) for the
// boot-loader methods.
class CFileSelectorDialog {
 public:
  CFileSelectorDialog(std::vector<std::string>& names, bool includeLoaderImages)
      : names_(names), includeLoaderImages_(includeLoaderImages) {}
  // Runs modally; true when it ended with OK.
  bool run(HWND owner);

 private:
  static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void initialise(HWND hwnd);
  bool accept(HWND hwnd);

  std::vector<std::string>& names_;
  bool includeLoaderImages_;
};
