#pragma once
#include <string>

namespace html {
// Text as it may stand in a page's text or a quoted attribute: &, <, >, " and ' as entities,
// control characters and bytes that are no UTF-8 as U+FFFD (a receiver's text is anything).
std::string escape(const std::string& text);
// A value as it may stand in a URL's query: every byte but letters, digits and -._~ encoded.
std::string queryValue(const std::string& text);
}  // namespace html
