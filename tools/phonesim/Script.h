// The phone's script language: one command per line. ScriptHelp() is its
// documentation (shown by --help and by "help" at the prompt).
#pragma once

#include <string>
#include <string_view>
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
  };
  Kind kind = Kind::kNote;
  std::string bytes;
  int ms = 0;
  ReplyMode mode = ReplyMode::kOk;
  bool on = false;
};

// "+CKEV: <key>,<flag>" framed by CR LF.
std::string KeyReport(std::string_view key, char flag);

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

const char* ScriptHelp();

}  // namespace vexel::phonesim
