#include "JsonValue.h"

#include <cstdlib>

namespace {

constexpr int kMaxDepth = 64;

class Reader {
 public:
  explicit Reader(std::string_view text) : t_(text) {}

  bool document(JsonValue& v) {
    if (!value(v, 0)) return false;
    space();
    return i_ == t_.size();
  }

 private:
  void space() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\n' || t_[i_] == '\r')) ++i_;
  }
  bool take(char c) {
    space();
    if (i_ < t_.size() && t_[i_] == c) return ++i_, true;
    return false;
  }
  bool word(std::string_view w) {
    if (t_.substr(i_, w.size()) != w) return false;
    i_ += w.size();
    return true;
  }

  bool value(JsonValue& v, int depth) {
    if (depth > kMaxDepth) return false;
    space();
    if (i_ >= t_.size()) return false;
    const char c = t_[i_];
    if (c == '{') return object(v, depth);
    if (c == '[') return array(v, depth);
    if (c == '"') return v.type = JsonValue::Type::String, string(v.text);
    if (word("true")) return v.type = JsonValue::Type::Bool, v.boolean = true, true;
    if (word("false")) return v.type = JsonValue::Type::Bool, true;
    if (word("null")) return v.type = JsonValue::Type::Null, true;
    return number(v);
  }

  bool object(JsonValue& v, int depth) {
    v.type = JsonValue::Type::Object;
    ++i_;
    if (take('}')) return true;
    do {
      std::string key;
      space();
      if (i_ >= t_.size() || t_[i_] != '"' || !string(key) || !take(':')) return false;
      JsonValue member;
      if (!value(member, depth + 1)) return false;
      v.keys.push_back(std::move(key));
      v.items.push_back(std::move(member));
    } while (take(','));
    return take('}');
  }

  bool array(JsonValue& v, int depth) {
    v.type = JsonValue::Type::Array;
    ++i_;
    if (take(']')) return true;
    do {
      JsonValue item;
      if (!value(item, depth + 1)) return false;
      v.items.push_back(std::move(item));
    } while (take(','));
    return take(']');
  }

  bool number(JsonValue& v) {
    const std::size_t start = i_;
    while (i_ < t_.size() && std::string_view("+-0123456789.eE").find(t_[i_]) != std::string_view::npos) ++i_;
    if (i_ == start) return false;
    const std::string digits(t_.substr(start, i_ - start));
    char* end = nullptr;
    v.number = std::strtod(digits.c_str(), &end);
    v.type = JsonValue::Type::Number;
    return end == digits.c_str() + digits.size();
  }

  bool hex4(unsigned& code) {
    if (i_ + 4 > t_.size()) return false;
    code = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = t_[i_++];
      code <<= 4;
      if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
      else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
      else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
      else return false;
    }
    return true;
  }

  static void utf8(unsigned code, std::string& out) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool escape(std::string& out) {
    if (i_ >= t_.size()) return false;
    const char e = t_[i_++];
    switch (e) {
      case '"': case '\\': case '/': out += e; return true;
      case 'b': out += '\b'; return true;
      case 'f': out += '\f'; return true;
      case 'n': out += '\n'; return true;
      case 'r': out += '\r'; return true;
      case 't': out += '\t'; return true;
      case 'u': break;
      default: return false;
    }
    unsigned code = 0;
    if (!hex4(code)) return false;
    if (code >= 0xD800 && code < 0xDC00) {  // a surrogate pair's first half
      unsigned low = 0;
      if (!word("\\u") || !hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    } else if (code >= 0xDC00 && code < 0xE000) {
      return false;
    }
    utf8(code, out);
    return true;
  }

  bool string(std::string& out) {
    ++i_;  // the opening quote
    while (i_ < t_.size()) {
      const char c = t_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') out += c;
      else if (!escape(out)) return false;
    }
    return false;
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

}  // namespace

const JsonValue* JsonValue::find(const std::string& key) const {
  if (type != Type::Object) return nullptr;
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (keys[i] == key) return &items[i];
  return nullptr;
}

std::string JsonValue::string(const std::string& key, const std::string& fallback) const {
  const JsonValue* v = find(key);
  return v && v->type == Type::String ? v->text : fallback;
}

double JsonValue::num(const std::string& key, double fallback) const {
  const JsonValue* v = find(key);
  return v && v->type == Type::Number ? v->number : fallback;
}

bool JsonValue::flag(const std::string& key, bool fallback) const {
  const JsonValue* v = find(key);
  return v && v->type == Type::Bool ? v->boolean : fallback;
}

std::optional<JsonValue> parseJson(std::string_view text) {
  JsonValue v;
  Reader reader(text);
  if (!reader.document(v)) return std::nullopt;
  return v;
}
