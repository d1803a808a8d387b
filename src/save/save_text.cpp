// The reader and writer of the save files' text.
#include <algorithm>
#include <charconv>

#include "platform/platform.h"
#include "save/save_local.h"

namespace {

// Blanks end a token: spaces and control characters.
constexpr bool IsBlank(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= ' ' || b == 127;
}

// Decimal with an optional "+" or "-"; false for anything else, or beyond 32 bits.
bool ParseInteger(std::string_view token, int32_t& value) {
  if (!token.empty() && token.front() == '+') {
    token.remove_prefix(1);
    if (!token.empty() && token.front() == '-') return false;
  }
  const char* const end = token.data() + token.size();
  const auto [ptr, ec] = std::from_chars(token.data(), end, value);
  return ec == std::errc() && ptr == end;
}

}  // namespace

std::string TSaveReader::ReadLine() {
  const size_t lineEnd = std::min(text_.find('\n', pos_), text_.size());
  std::string_view line = text_.substr(pos_, lineEnd - pos_);
  if (lineEnd == text_.size()) {
    pos_ = lineEnd;
  } else {
    pos_ = lineEnd + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  }
  return std::string(line);
}

int32_t TSaveReader::ReadInteger() {
  while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
  const size_t start = pos_;
  while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
  const std::string_view token = text_.substr(start, pos_ - start);
  SkipRestOfLine();
  int32_t value = 0;
  if (!token.empty() && !ParseInteger(token, value)) throw EGameError(path_ + ": Invalid numeric input");
  return value;
}

void TSaveReader::SkipRestOfLine() {
  const size_t lineEnd = text_.find('\n', pos_);
  pos_ = lineEnd == std::string_view::npos ? text_.size() : lineEnd + 1;
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append("\r\n");
}
