#include "PortEnumeration.h"

#include "LinkKinds.h"

namespace CMNC {

std::vector<PortEntry>& PortList() {
  static std::vector<PortEntry> list;
  return list;
}

std::string DescribeDevice(const std::string& model, const std::string& vendor, const std::string& serial) {
  std::string text = model;
  if (!vendor.empty()) text += (text.empty() ? "" : ", ") + vendor;
  if (!serial.empty()) text += (text.empty() ? "" : ", ") + std::string("serial ") + serial;
  return text;
}

void EnumeratePorts(ConnectionKind kind) {
  std::vector<PortEntry>& list = PortList();
  list.clear();
  if (kind == ConnectionKind::None) return;
  if (const auto enumerate = LinkKindOf(kind).enumerate) list = enumerate();
}

}  // namespace CMNC
