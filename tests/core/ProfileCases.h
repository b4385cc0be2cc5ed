// Initialisation files and what the Windows profile functions make of them.
// ProfileFileTest runs these tables against ProfileFile; under Wine,
// ProfileDifferentialTest runs them against GetPrivateProfileStringA and
// WritePrivateProfileStringA as well, except the rows where Wine is known to
// differ from Windows (wineDiffers names the difference; we follow Windows).
#pragma once

#include <cstddef>
#include <string_view>

namespace vexel::profile_cases {

using namespace std::string_view_literals;

struct ReadCase {
  std::string_view file;
  const char* section;
  const char* name;           // nullptr: the section's entry names, joined by ","
  std::string_view expected;  // "?" is the default
  size_t buffer = 0;          // 0: the system's buffer size
  const char* wineDiffers = nullptr;
};

inline constexpr std::string_view kKeysFile =
    "[Keys]\r\n\"5\"=DOWN (*1 C:\\Windows\\notepad.exe*)\r\n\"#\"=DOWN (*2 2 Space*)\r\n\":J\"=\r\n"sv;

inline const ReadCase kReads[] = {
    {kKeysFile, "Keys", nullptr, "\"5\",\"#\",\":J\""},
    {kKeysFile, "keys", "\"5\"", "DOWN (*1 C:\\Windows\\notepad.exe*)"},
    {kKeysFile, "Keys", "\":j\"", ""},
    {kKeysFile, "Keys", "5", "?"},
    {"[s]\r\n  k  =  \"  v  \"  \r\n", "s", "k", "  v  "},
    {"[s]\r\nk='v'\r\n", "s", "k", "v"},
    {"[s]\r\nk=\"v'\r\n", "s", "k", "\"v'"},
    {"[s]\r\nk=\"\r\n", "s", "k", "\""},
    {"[Params]\r\nPort=COM1 (bth)\r\n", "params", "PORT", "COM1 (bth)"},
    {"[  s\t]\r\nk=v\r\n", "  s  ", " k ", "v"},
    {"[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
    {"[s]\r\nk=1\r\nK=2\r\n", "s", nullptr, "k,K"},
    {"[s]\r\nk=1\r\n[S]\r\nj=2\r\n", "s", "j", "?"},
    {"[s]\r\n;k=1\r\n \t;j=2\r\nk=3\r\n", "s", nullptr, "k"},
    {"[s]\r\nk\r\nk=v\r\n", "s", "k", "?"},
    {"[s]\r\nk\r\nk=v\r\n", "s", nullptr, "k"},
    {"[s]\r\n=v\r\nb=1\r\n", "s", nullptr, ""},
    {"[s]\r\nk=v", "s", "k", "v"},
    {"[s]\rk=v\nj=w\r", "s", "j", "w"},
    {"[s]\rk=1\rj=2\rl=3", "s", nullptr, "k,j,l"},  // lone CR line ends
    {"[s]\r\nk=\t\v\f\x1a v\x01 \x1a\r\n", "s", "k", "v\x01"},
    {"[s]\r\nk=\xe9\x81\x90\xff\r\n", "s", "k", "\xe9\x81\x90\xff"},
    {"[s]\r\nab\0cd=v\0w\r\n"sv, "s", "ab", "v"},
    {"[s]\r\nab\0cd=v\0w\r\n"sv, "s", nullptr, "ab"},
    {"", "s", "k", "?"},
    {"", "s", nullptr, ""},
    {"\x01\x02=\x03\r\n\xff]"sv, "s", nullptr, ""},
    // A list that does not fit: the last name is cut to leave room for two NULs.
    {"[s]\r\nname1=1\r\nname2=2\r\nname4=4\r\n", "s", nullptr, "name1,name2,na", 16},
    {"[s]\r\nsection1=\r\nsection2=\r\nsection3=\r\n", "s", nullptr, "section1,section2,section3",
     28},
    {"[s]\r\nname1=1\r\n", "s", nullptr, "", 2},
    {"[s]\r\nk=value\r\n", "s", "k", "val", 4},
    {"[s\r\nk=v\r\n", "s", "k", "v", 0, "a section needs its ] in Wine"},
    {"[s]x]\r\nk=v\r\n", "s", "k", "v", 0, "Wine ends a section name at its last ]"},
    {"[s]\r\n;k=v\r\n", "s", ";k", "?", 0, "Wine finds comment lines by name"},
    {"k=v\r\n[s]\r\n", "", "k", "?", 0, "Wine files lines before a section under \"\""},
    {"[s]\r\nk=v\r\n", "\ts", "k", "?", 0, "Wine trims tabs from the names asked for"},
    {"\xef\xbb\xbf[s]\r\nk=v\r\n", "s", "k", "?", 0, "Wine reads a UTF-8 BOM"},
};

struct Write {
  const char* section;
  const char* name;
  const char* value;
};

struct WriteCase {
  std::string_view before;
  Write writes[2];  // a second write with a null section is not made
  std::string_view after;
  const char* wineDiffers = nullptr;
};

inline const WriteCase kWrites[] = {
    {"", {{"App", "key", "string"}}, "[App]\r\nkey=string\r\n"},
    {"", {{"Keys", "\"\"", ""}}, "[Keys]\r\n\"\"=\r\n"},
    {"", {{"s", "a", "1"}, {"t", "b", "2"}}, "[s]\r\na=1\r\n[t]\r\nb=2\r\n"},
    {"[s]\r\na=1\r\nb=2\r\n[t]\r\nc=3\r\n",
     {{"S", "B", "x"}},
     "[s]\r\na=1\r\nb=x\r\n[t]\r\nc=3\r\n"},
    {"[s]\r\na=1\r\n[t]\r\nc=3\r\n", {{"s", "n", "v"}}, "[s]\r\na=1\r\nn=v\r\n[t]\r\nc=3\r\n"},
    {"[s]\r\n  Key = v\r\n", {{"s", "KEY", "w"}}, "[s]\r\nKey=w\r\n"},
    {"[s]\r\nk=v", {{"s", "k", "w"}}, "[s]\r\nk=w\r\n"},
    {"[s]\r\nk=v", {{"s", "n", "w"}}, "[s]\r\nk=v\r\nn=w\r\n"},
    {"[s]\rk=v",
     {{"s", "n", "w"}, {"s", "m", "x"}},
     "[s]\rk=v\r\nn=w\r\nm=x\r\n",
     "Wine rewrites every line"},
    {"junk", {{"t", "n", "w"}}, "junk\r\n[t]\r\nn=w\r\n"},
    {"[s]\r\nk=v\r\n;c\r\n[t]\r\n", {{"s", "n", "w"}}, "[s]\r\nk=v\r\n;c\r\nn=w\r\n[t]\r\n"},
    {"[s]\r\nk\r\nk=v\r\n", {{"s", "k", "w"}}, "[s]\r\nk=w\r\nk=v\r\n"},
    {"[s]\r\n  k = v  \r\n\r\n; c\r\n\r\n[t]\r\n",
     {{"s", "n", "w"}},
     "[s]\r\n  k = v  \r\n\r\n; c\r\nn=w\r\n\r\n[t]\r\n",
     "Wine rewrites every line"},
    {"Data \0 before\r\n[s]\r\nk=1\r\n"sv,
     {{"s", "k", "2"}},
     "Data \0 before\r\n[s]\r\nk=2\r\n"sv,
     "Wine drops what follows a NUL"},
    {"[s]\nk=v\nj=1\n", {{"s", "k", "w"}}, "[s]\nk=w\r\nj=1\n", "Wine rewrites every line"},
    {"",
     {{"  t  ", "  n  ", "  w  "}},
     "[t]\r\nn=  w  \r\n",
     "Wine keeps trailing blanks of names and drops leading blanks of values"},
};

}  // namespace vexel::profile_cases
