#include "WizardControls.h"

#include "ActivityLog.h"
#include "ControlIds.h"
#include "WizardView.h"

using namespace ids;

namespace {
const ControlState kNoControl;
}

WizardControls::WizardControls(WizardView& view) : view_(view) {}

const ControlState& WizardControls::state(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? kNoControl : it->second;
}

ControlState& WizardControls::at(int id) { return controls_[id]; }

void WizardControls::changed(int id, unsigned aspects) { view_.controlChanged(id, at(id), aspects); }

void WizardControls::setText(int id, const std::string& text) {
  at(id).text = text;
  changed(id, ControlState::kText);
}

void WizardControls::enable(int id, bool on) {
  ControlState& c = at(id);
  if (c.enabled == on) return;
  c.enabled = on;
  changed(id, ControlState::kEnabled);
}

void WizardControls::show(int id, bool on) {
  ControlState& c = at(id);
  if (c.visible == on) return;
  c.visible = on;
  changed(id, ControlState::kVisible);
}

void WizardControls::setItems(int id, std::vector<ControlState::Item> items, int current) {
  ControlState& c = at(id);
  c.items = std::move(items);
  c.current = current >= 0 && current < static_cast<int>(c.items.size()) ? current : -1;
  c.text = c.current >= 0 ? c.items[static_cast<std::size_t>(c.current)].text : std::string();
  changed(id, ControlState::kItems | ControlState::kCurrent | ControlState::kText);
}

void WizardControls::setCurrent(int id, int index) {
  ControlState& c = at(id);
  if (index < 0 || index >= static_cast<int>(c.items.size())) return;
  c.current = index;
  c.text = c.items[static_cast<std::size_t>(index)].text;
  changed(id, ControlState::kCurrent | ControlState::kText);
}

void WizardControls::setValue(int id, int value) {
  at(id).value = value;
  changed(id, ControlState::kValue);
}

void WizardControls::setEditable(int id, bool on) {
  ControlState& c = at(id);
  if (c.editable == on) return;
  c.editable = on;
  changed(id, ControlState::kEditable);
}

void WizardControls::setTone(int id, ControlState::Tone tone) {
  ControlState& c = at(id);
  if (c.tone == tone) return;
  c.tone = tone;
  changed(id, ControlState::kTone);
}

void WizardControls::showOnly(const std::vector<int>& ids) {
  for (auto& [id, c] : controls_) {
    show(id, false);
    enable(id, false);
  }
  for (int id : ids) {
    show(id, true);
    enable(id, true);
  }
}

void WizardControls::append(int id, const std::string& text) {
  if (text.empty()) return;
  at(id).text += text;
  view_.textAppended(id, text);
  ActivityLog::Instance().Write(text);
}

void WizardControls::clear(int id) {
  setText(id, "");
  ActivityLog::Instance().Write("\r\n");
}

void WizardControls::setPageText(const std::string& text) {
  setText(kPageText, text);
  setText(kPageEdit, text);
  if (text.empty()) return;
  ActivityLog::Instance().Write(text);
}

void WizardControls::replaceLog(const std::string& text) {
  setText(kLogBox, text);
  ActivityLog::Instance().Write(text);
}
