// The little JSON zkres needs: a value tree, a parser with line numbers in its errors, and text
// escaping. Strings hold single-byte text: bytes 0x80-0xFF are written as \u0080-\u00FF and read
// back the same way, so any item name survives a round trip.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object } Type = Kind::Null;
  bool Bool = false;
  double Number = 0;
  std::string String;
  std::vector<JsonValue> Array;
  std::map<std::string, JsonValue> Object;

  // Member lookup: nullptr when this is not an object or has no such member.
  const JsonValue* Find(std::string_view key) const;
};

// Throws std::runtime_error "line N: problem".
JsonValue ParseJson(std::string_view text);

// A JSON string literal, quotes included.
std::string JsonQuote(std::string_view text);
