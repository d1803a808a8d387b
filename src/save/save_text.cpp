// The reader and writer of the save files' text.
#include <charconv>

#include "platform/platform.h"
#include "save/save_local.h"

namespace {

// Blanks end a token: spaces and control characters.
constexpr bool IsBlank(int c) { return c >= 0 && (c <= ' ' || c == 127); }

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
  std::string line;
  for (int c = Peek(); c >= 0 && c != '\n'; c = Peek()) {
    // One byte more than a line holds leaves room for the CR of its line end.
    if (line.size() > MaxSaveLineLength) throw EGameError(path_ + ": Invalid line");
    line.push_back(static_cast<char>(c));
    Skip();
  }
  if (Peek() == '\n') {
    Skip();
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  if (line.size() > MaxSaveLineLength) throw EGameError(path_ + ": Invalid line");
  return line;
}

int32_t TSaveReader::ReadInteger() {
  while (IsBlank(Peek())) Skip();
  std::string token;
  for (int c = Peek(); c >= 0 && !IsBlank(c); c = Peek()) {
    if (token.size() == MaxSaveLineLength) throw EGameError(path_ + ": Invalid numeric input");
    token.push_back(static_cast<char>(c));
    Skip();
  }
  if (!SkipRestOfLine(MaxSaveLineLength - token.size())) throw EGameError(path_ + ": Invalid numeric input");
  int32_t value = 0;
  if (!token.empty() && !ParseInteger(token, value)) throw EGameError(path_ + ": Invalid numeric input");
  return value;
}

bool TSaveReader::SkipRestOfLine(size_t limit) {
  size_t skipped = 0;
  for (int c = Peek(); c >= 0; c = Peek()) {
    Skip();
    if (c == '\n') return true;
    if (++skipped > limit + 1) return false;  // + 1: the CR of a CR LF
  }
  return true;
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append("\r\n");
}
