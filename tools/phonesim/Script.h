// The phone's script language: one command per line. ScriptHelp() is its
// documentation (shown by --help and by "help" at the prompt).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "AtResponder.h"

namespace vexel::phonesim {

// One primitive step of the phone; script commands expand into these.
struct Step {
  enum class Kind {
    kSend,      // write `bytes` (always)
    kReport,    // write `bytes` if key reporting is on, else note and skip
    kPause,     // wait `ms`
    kReply,     // answer commands by `mode`
    kEcho,      // echo `on`
    kKeys,      // key reporting `on`
    kWaitKeys,  // wait until key reporting is on, at most `ms` (-1: no limit)
    kHangup,    // unplug the null-modem for `ms`, then reopen the port
    kNote,      // write `bytes` to the log
    kQuit,      // end
    kMaker,     // play the phone of `maker` from now on
    kRing,      // write RING, and +CLIP with the number `bytes` while caller ID is on
  };
  Kind kind = Kind::kNote;
  std::string bytes;
  int ms = 0;
  ReplyMode mode = ReplyMode::kOk;
  bool on = false;
  // kReport: the reports, written in the key form of the phone played
  // (`bytes` holds them in the plain form); all of them (cut 0), their
  // first `cut` bytes (cut > 0), or their bytes from -cut on (cut < 0).
  std::vector<std::pair<std::string, char>> reports;
  int cut = 0;
  const MakerProfile* maker = nullptr;
};

// The bytes of a kReport step as a phone with this key form writes them.
std::string ReportBytes(const Step& step, KeyForm form);

// Parses one script line into steps (none for blank lines and comments).
// Lines that are not a command: with `clickBareKeys` a single word is taken
// as "click <word>"; otherwise they are errors. False with `error` set.
bool ParseScriptLine(std::string_view line, std::vector<Step>& steps, std::string& error,
                     bool clickBareKeys = false);

// A whole script; errors name their line ("line 3: ...").
bool ParseScript(std::string_view text, std::vector<Step>& steps, std::string& error);

// Decodes \r \n \t \\ \xHH in a send text.
bool Unescape(std::string_view text, std::string& bytes);
// Bytes as readable text: printable ASCII as is, the rest as \r \n \xHH.
std::string Escape(std::string_view bytes);

std::string ScriptHelp();

}  // namespace vexel::phonesim
