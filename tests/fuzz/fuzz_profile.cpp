// Any bytes as a profile file, then one write. Always: no crash, the bytes
// come back unchanged, the file after the write reads as its bytes do. For a write the system could
// make (no line break in the section, name or value, no "]" in the section, a name that is not
// empty, holds no "=" and is no comment or section line, no blank but spaces
// at the ends of the names):
// the value reads back as the rules say, and the other entries of the file
// read as before.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/ProfileFile.h"
#include "base/Text.h"

namespace {

using vexel::ProfileFile;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_profile: %s\n", what);
  std::abort();
}

bool Blank(char c) { return (c >= 9 && c <= 13) || c == 26 || c == 32; }

// The name as the profile functions take it: up to a NUL, spaces trimmed.
std::string Taken(const std::string& name) {
  std::string taken = name.substr(0, name.find('\0'));
  taken.erase(0, taken.find_first_not_of(' '));
  taken.erase(taken.find_last_not_of(' ') + 1);
  return taken;
}

bool Plain(const std::string& text, const char* forbidden) {
  const std::string taken = Taken(text);
  return taken.find_first_of(forbidden) == std::string::npos &&
         (taken.empty() || (!Blank(taken.front()) && !Blank(taken.back())));
}

// What reading gives back of a value written.
std::string ReadBack(std::string value) {
  value = value.substr(0, value.find('\0'));
  while (!value.empty() && Blank(value.back())) value.pop_back();
  while (!value.empty() && Blank(value.front())) value.erase(0, 1);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  return value.substr(0, 2047);
}

std::string Meaning(const ProfileFile& file, const std::string& section, const std::string& skip) {
  std::string meaning;
  for (const std::string& name : file.EntryNames(section, 1 << 30))
    if (!vexel::SameText(Taken(name), Taken(skip)))
      meaning += name + "=" + file.GetString(section, name, "?") + "\n";
  return meaning;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(16);
  const std::string name = in.ConsumeRandomLengthString(16);
  const std::string value = in.ConsumeRandomLengthString(64);
  const std::string other = in.ConsumeRandomLengthString(16);
  const std::string bytes = in.ConsumeRemainingBytesAsString();

  ProfileFile file = ProfileFile::Parse(bytes);
  Check(file.Bytes() == bytes, "the bytes come back unchanged");
  file.GetString(name, value, other, 3);
  file.EntryNames(other, 7);

  const bool sound = Plain(section, "\r\n]") && Plain(name, "\r\n=") && !Taken(name).empty() &&
                     Taken(name).find_first_of(";[") != 0 &&
                     value.substr(0, value.find('\0')).find_first_of("\r\n") == std::string::npos;
  const bool otherSection = !vexel::SameText(Taken(section), Taken(other));
  const std::string otherBefore = Meaning(file, other, ""),
                    ownBefore = Meaning(file, section, name);
  file.WriteString(section, name, value);
  const ProfileFile fresh = ProfileFile::Parse(file.Bytes());
  Check(Meaning(fresh, section, "") == Meaning(file, section, "") &&
            Meaning(fresh, other, "") == Meaning(file, other, "") &&
            fresh.GetString(section, name, "?") == file.GetString(section, name, "?"),
        "the file reads as its bytes do");
  if (!sound) return 0;
  Check(file.GetString(section, name, "?") == ReadBack(value), "the value reads back");
  Check(Meaning(file, section, name) == ownBefore, "the section's other entries stay");
  if (otherSection) Check(Meaning(file, other, "") == otherBefore, "other sections stay");
  return 0;
}
