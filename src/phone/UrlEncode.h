// The encoding of the failure report's mail body in its mailto URL.
#pragma once

#include <string>
#include <string_view>

namespace vexel {

// Letters A-Z and a-z, digits and "_" stay; a blank becomes "+"; every other
// byte becomes "%" and two upper-case hexadecimal digits: "a b.c" gives
// "a+b%2Ec", CR LF gives "%0D%0A".
std::string UrlEncode(std::string_view text);

}  // namespace vexel
