#include "Makers.h"

#include <cctype>
#include <iterator>

namespace vexel::phonesim {
namespace {

const char kCindCommon[] =
    "+CIND: (\"battchg\",(0-5)),(\"signal\",(0-5)),(\"service\",(0,1)),(\"call\",(0,1))";

const MakerProfile kMakers[] = {
    {"vexel",
     "Vexel PhoneSim, a plain 27.007 phone (the default)",
     "Vexel",
     "PhoneSim",
     {"0123", "012", "0", "0", "0"},
     "+CLIP: (0,1)",
     kCindCommon,
     "+CBC: 0,100",
     "+CSQ: 31,99",
     KeyForm::kPlain},
    {"sonyericsson",
     "a Sony Ericsson K750i",
     "Sony Ericsson",
     "K750i",
     {"03", "012", "0", "01", "0"},
     "+CLIP: (0,1)",
     "+CIND: (\"battchg\",(0-5)),(\"signal\",(0-5)),(\"service\",(0,1)),(\"call\",(0,1)),"
     "(\"roam\",(0,1)),(\"message\",(0,1))",
     "+CBC: 0,68",
     "+CSQ: 21,99",
     KeyForm::kPlain},
    {"motorola",
     "a Motorola V3: quoted keys; \"lock\" and \"unlock\" report \"@\"",
     "+CGMI: \"Motorola CE, Copyright 2000\"",
     "+CGMM: \"GSM900\",\"GSM1800\",\"GSM1900\",\"MODEL=V3\"",
     {"03", "01", "0", "01", "0"},
     "+CLIP: (0,1)",
     "+CIND: (\"Voice Mail\",(0,1)),(\"service\",(0,1)),(\"call\",(0,1)),(\"Roam\",(0-2)),"
     "(\"signal\",(0-5)),(\"battchg\",(0-5))",
     "+CBC: 0,60",
     "+CSQ: 15,99",
     KeyForm::kQuoted},
    {"siemens",
     "a Siemens S55",
     "SIEMENS",
     "S55",
     {"0123", "012", "0", "012", "0"},
     "+CLIP: (0,1)",
     kCindCommon,
     "+CBC: 0,80",
     "+CSQ: 12,99",
     KeyForm::kPlain},
    {"sagem",
     "a Sagem myX-5: keys as decimal character codes (5 is 53)",
     "SAGEM",
     "myX-5",
     {"012", "01", "0", "01", "0"},
     "+CLIP: (0,1)",
     kCindCommon,
     "+CBC: 0,45",
     "+CSQ: 17,99",
     KeyForm::kDecimal},
    {"nokia",
     "a phone of another maker (a Nokia 6230i): quoted keys",
     "Nokia",
     "Nokia 6230i",
     {"03", "02", "0", "01", "0"},
     "+CLIP: (0,1)",
     kCindCommon,
     "+CBC: 1,90",
     "+CSQ: 25,99",
     KeyForm::kQuoted},
    {"nokeys",
     "a phone without key reporting (ERROR to every AT+CMER)",
     "Huawei",
     "E1750",
     {nullptr, nullptr, nullptr, nullptr, nullptr},
     "+CLIP: (0,1)",
     kCindCommon,
     "+CBC: 0,0",
     "+CSQ: 20,99",
     KeyForm::kPlain},
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

const MakerProfile& DefaultMaker() { return kMakers[0]; }

const MakerProfile* FindMaker(std::string_view name) {
  for (const MakerProfile& maker : kMakers)
    if (SameName(maker.name, name)) return &maker;
  return nullptr;
}

std::string MakerNames() {
  std::string names;
  for (const MakerProfile& maker : kMakers)
    names += (names.empty() ? "" : ", ") + std::string(maker.name);
  return names;
}

std::string MakerHelp() {
  std::string help;
  for (const MakerProfile& maker : kMakers) {
    std::string name = maker.name;
    name.resize(14, ' ');
    help += "  " + name + maker.about + "\n";
  }
  return help;
}

std::string CmerRanges(const MakerProfile& maker) {
  std::string text = "+CMER: ";
  for (int i = 0; i < 5; ++i) {
    const std::string_view values = maker.cmer[i] ? maker.cmer[i] : "0";
    std::string element;
    for (size_t at = 0; at < values.size();) {
      size_t end = at + 1;  // a run of consecutive digits
      while (end < values.size() && values[end] == values[end - 1] + 1) ++end;
      const std::string first(1, values[at]), last(1, values[end - 1]);
      if (end - at >= 3) {
        element += (element.empty() ? "" : ",") + first + "-" + last;
      } else {
        for (size_t k = at; k < end; ++k)
          element += (element.empty() ? "" : ",") + std::string(1, values[k]);
      }
      at = end;
    }
    text += (i ? ",(" : "(") + element + ")";
  }
  return text;
}

bool TakesCmerValue(const MakerProfile& maker, int index, int value) {
  const char* values = maker.cmer[index];
  if (!values || value < 0 || value > 9) return false;
  return std::string_view(values).find(static_cast<char>('0' + value)) != std::string_view::npos;
}

std::string KeyReport(std::string_view key, char flag, KeyForm form) {
  std::string shown(key);
  if (form == KeyForm::kQuoted)
    shown = "\"" + shown + "\"";
  else if (form == KeyForm::kDecimal && key.size() == 1)
    shown = std::to_string(static_cast<unsigned char>(key[0]));
  return "\r\n+CKEV: " + shown + "," + flag + "\r\n";
}

}  // namespace vexel::phonesim
