#pragma once
#include <string>
#include <vector>

// One wizard control as the controller sees it; a view renders it.
struct ControlState {
  enum Aspect : unsigned {
    kText = 1, kEnabled = 2, kVisible = 4, kItems = 8, kCurrent = 16, kValue = 32, kEditable = 64, kTone = 128
  };
  // How a text that must not be missed is shown: the result of a load.
  enum class Tone { Plain, Good, Caution, Bad };

  struct Item {
    std::string text;
    int data = 0;
    bool enabled = true;  // shown greyed and not taken when chosen
  };

  std::string text;          // label, button or text box; a list's chosen item
  bool visible = false;
  bool enabled = false;
  std::vector<Item> items;   // lists
  int current = -1;          // lists: index of the chosen item, -1 for none
  int value = 0;             // the progress bar
  bool editable = false;     // a list the operator may also type an entry into
  Tone tone = Tone::Plain;   // a text shown as a panel in the tone's colours

  // The chosen item's data, or fallback when nothing is chosen.
  int data(int fallback = -1) const {
    return current >= 0 && current < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(current)].data
                                                                       : fallback;
  }
  // The index of the first item with the data, or -1.
  int find(int wanted) const {
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].data == wanted) return static_cast<int>(i);
    return -1;
  }
};
