#include <gtest/gtest.h>

#include "phone/UrlEncode.h"

namespace vexel {
namespace {

using namespace std::string_view_literals;

TEST(UrlEncode, KeepsLettersDigitsAndUnderscoreOnly) {
  const struct {
    std::string_view text, encoded;
  } cases[] = {
      {"", ""},
      {"AZaz09_", "AZaz09_"},
      {"a b.c", "a+b%2Ec"},
      {"OK\r\n", "OK%0D%0A"},
      {"-~%+=&\"", "%2D%7E%25%2B%3D%26%22"},
      {"\0\x7f\x80\xe9\xff"sv, "%00%7F%80%E9%FF"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlEncode(c.text), c.encoded);
}

}  // namespace
}  // namespace vexel
