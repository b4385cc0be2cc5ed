// ProfileFile against the platform's own profile functions: the same files
// and questions go to GetPrivateProfileStringA / WritePrivateProfileStringA
// (with the buffer sizes the system reads through) and to our code.
#include <gtest/gtest.h>
#include <windows.h>

#include <random>

#include "base/Files.h"
#include "base/ProfileFile.h"
#include "core/ProfileCases.h"
#include "core/TempFolder.h"

namespace vexel {
namespace {

using namespace profile_cases;

// A file read and written through the Windows functions. Every case gets a
// file of its own, so that Wine's cache of profile files never answers.
class WineFile {
 public:
  WineFile(const TempFolder& folder, std::string_view bytes) {
    static int count = 0;
    path_ = folder.Write("case" + std::to_string(++count) + ".ini", bytes);
  }
  // The name list as its reader walks it. The buffer starts zeroed: Wine's
  // ANSI function leaves the last byte of an overflowing list unwritten
  // where Windows writes the second NUL.
  std::vector<std::string> Names(const char* section, size_t buffer = 16384) const {
    std::vector<char> list(buffer + 1, '\0');
    GetPrivateProfileStringA(section, nullptr, nullptr, list.data(), buffer, path_.c_str());
    std::vector<std::string> names;
    for (size_t p = 0; p < buffer && list[p]; p += names.back().size() + 1)
      names.emplace_back(&list[p]);
    return names;
  }
  std::string Value(const char* section, const char* name, size_t buffer = 2048) const {
    std::vector<char> value(buffer + 1, '\0');
    GetPrivateProfileStringA(section, name, "?", value.data(), buffer, path_.c_str());
    return value.data();
  }
  void Write(const char* section, const char* name, const char* value) const {
    EXPECT_TRUE(WritePrivateProfileStringA(section, name, value, path_.c_str()));
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());  // flush Wine's cache
  }
  std::string Bytes() const { return ReadWholeFile(path_).value_or("(none)"); }

 private:
  std::string path_;
};

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
  return joined;
}

TEST(ProfileDifferential, TheReadTableHoldsForWindows) {
  TempFolder folder;
  for (const ReadCase& c : kReads) {
    const WineFile file(folder, c.file);
    const std::string wine = c.name ? file.Value(c.section, c.name, c.buffer ? c.buffer : 2048)
                                    : Joined(file.Names(c.section, c.buffer ? c.buffer : 16384));
    SCOPED_TRACE(testing::PrintToString(std::string(c.file)) + " [" + c.section + "] " +
                 (c.name ? c.name : "*"));
    if (c.wineDiffers)
      EXPECT_NE(wine, c.expected) << "no longer true of Wine: " << c.wineDiffers;
    else
      EXPECT_EQ(wine, c.expected);
  }
}

// Each section's entry names, and the value of each name and of a few more
// (not of a name that a NUL left with a blank other than a space at an end:
// Wine trims tabs from the names asked for).
template <class Names, class Value>
std::string Meaning(const std::vector<std::string>& sections, Names names, Value value) {
  std::string meaning;
  for (const std::string& section : sections) {
    std::vector<std::string> asked = names(section);
    meaning += "[" + section + "] " + Joined(asked) + "\n";
    asked.insert(asked.end(), {"a", "A", "b"});
    auto tab = [](char c) { return (c >= 9 && c <= 13) || c == 26; };
    for (const std::string& name : asked)
      if (name.empty() || (!tab(name.front()) && !tab(name.back())))
        meaning += name + "=" + value(section, name) + "\n";
  }
  return meaning;
}

std::string Meaning(const WineFile& file, const std::vector<std::string>& sections) {
  return Meaning(
      sections, [&](const std::string& s) { return file.Names(s.c_str()); },
      [&](const std::string& s, const std::string& n) { return file.Value(s.c_str(), n.c_str()); });
}

std::string Meaning(const ProfileFile& file, const std::vector<std::string>& sections) {
  return Meaning(
      sections, [&](const std::string& s) { return file.EntryNames(s); },
      [&](const std::string& s, const std::string& n) { return file.GetString(s, n, "?"); });
}

TEST(ProfileDifferential, TheWriteTableHoldsForWindows) {
  TempFolder folder;
  for (const WriteCase& c : kWrites) {
    const WineFile wine(folder, c.before);
    ProfileFile ours = ProfileFile::Parse(std::string(c.before));
    std::vector<std::string> sections;
    for (const Write& w : c.writes) {
      if (!w.section) continue;
      wine.Write(w.section, w.name, w.value);
      ours.WriteString(w.section, w.name, w.value);
      sections.push_back(w.section);
    }
    SCOPED_TRACE(testing::PrintToString(std::string(c.before)));
    if (c.wineDiffers) {
      EXPECT_NE(wine.Bytes(), c.after) << "no longer true of Wine: " << c.wineDiffers;
      EXPECT_EQ(Meaning(WineFile(folder, ours.Bytes()), sections), Meaning(wine, sections));
    } else {
      EXPECT_EQ(wine.Bytes(), c.after);
    }
  }
}

TEST(ProfileDifferential, TheBuffersCutAsWindowsDoes) {
  std::string bytes = "[s]\r\n";  // 1500 names of 1 to 29 characters overflow 16384 bytes
  for (int i = 0; i < 1500; ++i)
    bytes += std::string(1 + i % 29, 'a' + i % 26) + std::to_string(i) + "=v\r\n";
  const std::string text(20000, 'x');
  bytes += "[long]\r\nplain=" + text + "\r\n" + text + "=name\r\nquoted=\"" + text + "\"\r\n";
  bytes += "q2047=\"" + text.substr(0, 2047) + "\"\r\n";
  TempFolder folder;
  const WineFile wine(folder, bytes);
  const ProfileFile ours = ProfileFile::Parse(bytes);
  for (size_t buffer : {16384, 16383, 16382, 100, 3})
    EXPECT_EQ(ours.EntryNames("s", buffer), wine.Names("s", buffer));
  for (const std::string& name : {std::string("plain"), std::string("quoted"), text})
    EXPECT_EQ(ours.GetString("long", name, "?"), wine.Value("long", name.c_str()));
  // Wine cuts one character too many from a quoted value whose inside is
  // exactly 2047 characters; the quotes go first and the inside fits.
  EXPECT_EQ(ours.GetString("long", "q2047", "?"), text.substr(0, 2047));
  EXPECT_EQ(wine.Value("long", "q2047"), text.substr(0, 2046));
}

// Seeded random files of nasty lines and line ends, then writes, within
// what Wine and Windows agree on: a section's "]" present and single, no
// UTF-8 BOM, no tabs around the names asked for, no value written that
// starts with a blank (Wine drops those blanks, which a name with "=" shows).
TEST(ProfileDifferential, RandomFilesMeanTheSameBeforeAndAfterWrites) {
  using namespace std::string_view_literals;
  static constexpr std::string_view kLines[] = {"[a]",         " \t[ A\x1a]junk",
                                                "[b;]",        "[\xe9 b]",
                                                "a=1",         "  A\v= \"x y\" ",
                                                "b\t=\t'y'\f", "a",
                                                "b '",         ";a=2",
                                                " ;b=",        "",
                                                " \t\x1a",     "=v",
                                                "a\0b=c"sv,    "b=\0 c"sv,
                                                "\xe9=\xe9",   "b==",
                                                "\"a\"=\"",    "aa=;[x]"};
  static constexpr std::string_view kEnds[] = {"\r\n", "\n", "\r"};
  static const std::string kSections[] = {"a", "A", "b;", "\xe9 b", "c"},
                           kNames[] = {"a", "B", "'b'", "x=y", "\"a\""},
                           kValues[] = {"1", "\"q\"", "v w ", "=;[", "\xe9\t", ""};
  std::mt19937 random(20240611);
  auto pick = [&](const auto& list) { return list[random() % std::size(list)]; };
  const std::vector<std::string> sections(std::begin(kSections), std::end(kSections));
  TempFolder folder;
  for (int round = 0; round < 500; ++round) {
    std::string bytes;
    for (unsigned lines = random() % 12; lines > 0; --lines)
      bytes.append(pick(kLines)).append(lines > 1 || random() % 2 ? pick(kEnds) : "");
    const WineFile wine(folder, bytes);
    ProfileFile ours = ProfileFile::Parse(bytes);
    SCOPED_TRACE(testing::PrintToString(bytes));
    ASSERT_EQ(Meaning(ours, sections), Meaning(wine, sections));
    if (bytes.find('\0') != std::string::npos) continue;  // Wine's rewrite drops what follows a NUL

    std::string writes;
    for (unsigned count = 1 + random() % 3; count > 0; --count) {
      const std::string section = pick(kSections), name = pick(kNames), value = pick(kValues);
      writes += testing::PrintToString("[" + section + "] " + name + "=" + value) + " ";
      wine.Write(section.c_str(), name.c_str(), value.c_str());
      ours.WriteString(section, name, value);
    }
    SCOPED_TRACE(writes);
    ASSERT_EQ(Meaning(ours, sections), Meaning(wine, sections))
        << testing::PrintToString(ours.Bytes()) << "\nWine wrote "
        << testing::PrintToString(wine.Bytes());
    // What we wrote means the same to the platform.
    ASSERT_EQ(Meaning(WineFile(folder, ours.Bytes()), sections), Meaning(wine, sections));
  }
}

}  // namespace
}  // namespace vexel
