#pragma once
#include <string>

// What a load was made for, as the operator names it: the work order, who made it, the lot, and
// the receiver the order names. Each is stored in the load's row and written in the activity log.
struct OrderFields {
  std::string receiverId;    // "--receiver-id": the receiver's identity (serial number) must be this
  std::string workOrder;     // "--work-order"
  std::string operatorName;  // "--operator"
  std::string lot;           // "--lot"
};

namespace orderfields {
inline constexpr std::size_t kMaxChars = 64;  // characters of one field

// Why value may not be the field option names: empty, longer than kMaxChars, not UTF-8, or holding
// a control character (a line break, an escape sequence). "" when it may.
std::string refusal(const std::string& option, const std::string& value);

// Whether two receiver ids name one receiver: the same text without regard to ASCII case
// ("vr100-1" is "VR100-1").
bool sameReceiverId(const std::string& a, const std::string& b);

// The activity log's first lines of the fields that were given ("Work order: WO-1"), "" for none.
std::string logLines(const OrderFields& fields);
}  // namespace orderfields
