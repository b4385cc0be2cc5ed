// The phones phonesim plays, one row each: what the phone answers to the
// identification and status commands, which AT+CMER values it takes and how
// its key reports look. Another kind of phone is another row; another
// command the phones answer is another column.
#pragma once

#include <string>
#include <string_view>

namespace vexel::phonesim {

// How a phone writes the key of a +CKEV report.
enum class KeyForm {
  kPlain,    // +CKEV: 5,1
  kQuoted,   // +CKEV: "5",1
  kDecimal,  // +CKEV: 53,1 (a one-character key as its character code)
};

struct MakerProfile {
  const char* name;   // --maker NAME and "maker NAME"
  const char* about;  // for --help
  const char* cgmi;   // the information text of AT+CGMI (and AT+GMI)
  const char* cgmm;   // of AT+CGMM (and AT+GMM)
  // The values each of AT+CMER's five parameters (mode, keyp, disp, ind,
  // bfr) takes, as digits: "03" is 0 or 3. Null: no key reporting, ERROR to
  // every AT+CMER.
  const char* cmer[5];
  const char* clip;  // AT+CLIP=?
  const char* cind;  // AT+CIND=?
  const char* cbc;   // AT+CBC
  const char* csq;   // AT+CSQ
  KeyForm keys;
};

// The first row, the phone played unless a maker is named.
const MakerProfile& DefaultMaker();
// The row of a name (any letter case); null when there is none.
const MakerProfile* FindMaker(std::string_view name);
// "vexel, sonyericsson, ..." and one line per maker, for --help.
std::string MakerNames();
std::string MakerHelp();

// AT+CMER=?'s information text: "+CMER: (0-3),(0,2),(0),(0,1),(0)"; a run of
// three or more values is written as a range.
std::string CmerRanges(const MakerProfile& maker);
// Whether the maker takes this value for parameter `index` (0 to 4).
bool TakesCmerValue(const MakerProfile& maker, int index, int value);

// One report, "\r\n+CKEV: <key>,<flag>\r\n", with the key in the maker's form.
std::string KeyReport(std::string_view key, char flag, KeyForm form = KeyForm::kPlain);

}  // namespace vexel::phonesim
