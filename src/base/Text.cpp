#include "base/Text.h"

#include <cstring>

namespace vexel {

namespace {
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }
char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsTrimmed(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsTrimmed(text.back())) text.remove_suffix(1);
  return text;
}

std::string TrimCopy(std::string_view text) { return std::string(Trim(text)); }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool StartsWithText(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = FoldCase(c);
  return result;
}

std::string_view UpToNul(const char* buffer) {
  return buffer ? std::string_view(buffer, std::strlen(buffer)) : std::string_view();
}

}  // namespace vexel
