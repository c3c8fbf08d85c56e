#pragma once
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "ControlState.h"

class WizardView;

// The wizard's controls by id: their state, changed only here, each change passed to the view.
// Appended and set texts also go to the activity log: the log gets what
// the operator saw, in the order it was shown.
class WizardControls {
 public:
  explicit WizardControls(WizardView& view);

  const ControlState& state(int id) const;
  const std::map<int, ControlState>& all() const { return controls_; }

  void setText(int id, const std::string& text);
  void enable(int id, bool on);
  void show(int id, bool on);
  void setItems(int id, std::vector<ControlState::Item> items, int current);
  void setCurrent(int id, int index);
  void setValue(int id, int value);
  void setEditable(int id, bool on);
  void setTone(int id, ControlState::Tone tone);
  // Hides and disables every control, then shows and enables the page's own.
  void showOnly(const std::vector<int>& ids);

  // Text shown to the operator: appended to a text control, logged.
  void append(int id, const std::string& text);
  // Clears a text control; the log starts a new line.
  void clear(int id);
  // The page text and the page edit box both become text; logged as one line.
  void setPageText(const std::string& text);
  // Replaces the log box with text (logged without ending the line).
  void replaceLog(const std::string& text);

 private:
  ControlState& at(int id);
  void changed(int id, unsigned aspects);
  WizardView& view_;
  std::map<int, ControlState> controls_;
};
