#include "json.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr int MaxDepth = 64;

class Parser {
public:
  explicit Parser(std::string_view text) : text_(text) {}

  JsonValue Document() {
    JsonValue v = Value(0);
    SkipSpace();
    if (pos_ != text_.size()) Fail("text after the end of the document");
    return v;
  }

private:
  [[noreturn]] void Fail(const std::string& problem) const {
    int line = 1;
    for (size_t i = 0; i < pos_ && i < text_.size(); i++) line += text_[i] == '\n';
    throw std::runtime_error("line " + std::to_string(line) + ": " + problem);
  }
  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r')) {
      pos_++;
    }
  }
  char Peek() {
    SkipSpace();
    if (pos_ >= text_.size()) Fail("unexpected end of text");
    return text_[pos_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected '") + c + "'");
    pos_++;
  }
  bool Word(std::string_view w) {
    if (text_.substr(pos_, w.size()) != w) return false;
    pos_ += w.size();
    return true;
  }

  JsonValue Value(int depth) {
    if (depth > MaxDepth) Fail("nested too deeply");
    JsonValue v;
    const char c = Peek();
    if (c == '{') {
      v.Type = JsonValue::Kind::Object;
      pos_++;
      if (Peek() == '}') {
        pos_++;
        return v;
      }
      for (;;) {
        if (Peek() != '"') Fail("expected a member name");
        std::string key = StringBody();
        Expect(':');
        v.Object[key] = Value(depth + 1);
        if (Peek() == ',') {
          pos_++;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.Type = JsonValue::Kind::Array;
      pos_++;
      if (Peek() == ']') {
        pos_++;
        return v;
      }
      for (;;) {
        v.Array.push_back(Value(depth + 1));
        if (Peek() == ',') {
          pos_++;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.Type = JsonValue::Kind::String;
      v.String = StringBody();
      return v;
    }
    if (Word("true") || Word("false")) {
      v.Type = JsonValue::Kind::Bool;
      v.Bool = text_[pos_ - 4] == 't';
      return v;
    }
    if (Word("null")) return v;
    return NumberValue();
  }

  JsonValue NumberValue() {
    const size_t start = pos_;
    while (pos_ < text_.size() && std::string_view("+-0123456789.eE").find(text_[pos_]) != std::string_view::npos) pos_++;
    const std::string number(text_.substr(start, pos_ - start));
    char* end = nullptr;
    JsonValue v;
    v.Type = JsonValue::Kind::Number;
    v.Number = number.empty() ? 0 : std::strtod(number.c_str(), &end);
    if (number.empty() || end != number.c_str() + number.size() || !std::isfinite(v.Number)) {
      Fail("expected a value");
    }
    return v;
  }

  int HexDigit() {
    if (pos_ >= text_.size()) Fail("unexpected end of text");
    const char c = text_[pos_++];
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    Fail("bad \\u escape");
  }

  std::string StringBody() {
    pos_++;  // opening quote
    std::string out;
    for (;;) {
      if (pos_ >= text_.size()) Fail("unterminated string");
      const char c = text_[pos_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) Fail("unterminated string");
      const char e = text_[pos_++];
      switch (e) {
        case '"': case '\\': case '/': out += e; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          int code = 0;
          for (int i = 0; i < 4; i++) code = code * 16 + HexDigit();
          if (code > 0xFF) Fail("character above \\u00FF in a name");
          out += static_cast<char>(code);
          break;
        }
        default: Fail("bad escape in a string");
      }
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
  if (Type != Kind::Object) return nullptr;
  const auto it = Object.find(std::string(key));
  return it == Object.end() ? nullptr : &it->second;
}

JsonValue ParseJson(std::string_view text) { return Parser(text).Document(); }

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}
