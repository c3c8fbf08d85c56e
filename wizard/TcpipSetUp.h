#pragma once
#include <string>
#include <vector>

#include "DeviceList.h"

// What the TCP/IP set-up dialog's edit fields hold.
struct HostFields {
  std::string host, port, password, description;
};

// The rules of the TCP/IP set-up dialog ("Set up TCP/IP connections"), without widgets: the
// working list of hosts, the edit fields and the states of "Add"/"Update", "New" and "Delete".
// A view passes the operator's edits in with setFields before each verb and renders the state after
// it. Called on the UI thread only; never blocks.
class TcpipSetUp {
 public:
  // Opening: the first host selected when there is one.
  explicit TcpipSetUp(std::vector<PortEntry> hosts);

  const DeviceList& list() const { return list_; }
  const HostFields& fields() const { return fields_; }
  void setFields(HostFields fields) { fields_ = std::move(fields); }
  const char* addLabel() const { return editing_ ? "Update" : "Add"; }
  bool newEnabled() const { return editing_; }
  bool deleteEnabled() const { return list_.selectedRow() >= 0; }

  // The host list's selection changed (-1: none): the fields show the selected host.
  void select(int row);
  // "New": empty fields, no host selected.
  void newHost();
  // The focus entered "Description:": an empty one becomes host:port when both are filled; true
  // when it did (the view selects the whole text).
  bool descriptionFocused();
  // The operator changed "Description:" to text: what the field shows now. Characters typed before
  // or after a description that was filled in replace it: the description is the operator's own
  // once typed.
  std::string descriptionEdited(const std::string& text);
  // "Add"/"Update": "" when done, else the message for the "Device properties" box (nothing
  // changed). An updated host moves to the end of the working list.
  std::string addOrUpdate();
  // "Delete": the host before the deleted one is selected.
  void deleteSelected();
  // What OK stores, in the order shown.
  std::vector<PortEntry> hostsToStore() const { return list_.shown(); }

 private:
  void selectionChange();

  DeviceList list_;
  HostFields fields_;
  bool editing_ = false;
  std::string filledDescription_;  // the description filled in on focus, until the operator types
};
