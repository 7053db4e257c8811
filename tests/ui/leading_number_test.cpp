#include "ui/leading_number.h"

#include <gtest/gtest.h>

#include <string>

namespace tb::ui {
namespace {

TEST(LeadingNumber, ReadsTheNumberACellStartsWith) {
  struct Case {
    std::string text;
    std::int32_t value;
  } cases[] = {
      {"12", 12},       {"12abc", 12}, {"abc", 0},      {"", 0},           {"1 7", 17},
      {" \t1\n7 ", 17}, {"\r5", 0},    {"-4", -4},      {"+8", 8},         {"- 9", -9},
      {"--3", 0},       {"2.5", 2},    {"3.5", 4},      {"-2.5", -2},      {"-3.5", -4},
      {"0.5", 0},       {".5", 0},     {".51", 1},      {"2.50000001", 3}, {"2.4999", 2},
      {"7.", 7},        {"1.2.3", 1},  {"5e2", 5},      {"1,5", 1},        {"&H1F", 31},
      {"&hff", 255},    {"&H", 0},     {"&HG", 0},      {"&O17", 15},      {"&o8", 0},
      {"&17", 0},       {"-&H10", 0},  {"& H 1 0", 16}, {"٣", 0},          {"１２", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(LeadingNumber, LimitsToTheSigned32BitRange) {
  struct Case {
    std::string text;
    std::int32_t value;
  } cases[] = {
      {"2147483647", 2147483647},
      {"2147483647.5", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-2147483649", -2147483647 - 1},
      {"99999999999999999999999999999", 2147483647},
      {"-99999999999999999999999999999.5", -2147483647 - 1},
      {"&H7FFFFFFF", 2147483647},
      {"&HFFFFFFFF", 2147483647},
      {"&HFFFFFFFFFFFFFFFFFFFFFFFF", 2147483647},
      {"&O77777777777777777777777", 2147483647},
  };
  for (const Case& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace tb::ui
