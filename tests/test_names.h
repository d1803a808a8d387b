// Names for the cases of parameterised tests. A case without a name is listed by gtest (and so by
// ctest) with its printed value, which for a struct without PrintTo is its raw bytes: different in
// every build, and unreadable. Every INSTANTIATE_TEST_SUITE_P passes a name generator instead.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace test_names {

// `text` as a gtest name: a minus sign before a number becomes "minus", each other run of
// characters but letters and digits one '_', none at either end. "at -9.5 0" -> at_minus9_5_0.
inline std::string Sanitized(const std::string& text) {
  const auto alnum = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; };
  std::string name;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool minus = c == '-' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])) &&
                       (i == 0 || !alnum(text[i - 1]));
    if (minus) name += "minus";
    else if (alnum(c)) name += c;
    else if (!name.empty() && name.back() != '_') name += '_';
  }
  if (!name.empty() && name.back() == '_') name.pop_back();
  return name;
}

// Names a case by its printed value (the PrintTo beside its struct): "from 1 tab 2" -> from_1_tab_2.
struct Printed {
  template <class Param>
  std::string operator()(const testing::TestParamInfo<Param>& info) const {
    return Sanitized(testing::PrintToString(info.param));
  }
};

}  // namespace test_names
