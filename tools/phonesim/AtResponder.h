// The phone's side of the AT command dialogue (3GPP TS 27.007): takes the
// bytes the PC sends and gives the bytes the phone answers with.
#pragma once

#include <string>
#include <string_view>

#include "Makers.h"

namespace vexel::phonesim {

// How the phone answers commands.
enum class ReplyMode {
  kOk,      // proper answers; unknown commands get "ERROR"
  kError,   // "ERROR" to every command
  kSilent,  // no result codes at all (echo still follows the echo setting)
};

// "ok", "error", "silent" (any letter case); false for anything else.
bool ParseReplyMode(std::string_view text, ReplyMode& mode);
const char* ReplyModeName(ReplyMode mode);

class AtResponder {
 public:
  AtResponder(ReplyMode mode, bool echo, const MakerProfile& maker = DefaultMaker())
      : mode_(mode), echo_(echo), maker_(&maker) {}

  // Takes received bytes; returns what the phone sends back (often empty).
  // A command ends at a carriage return; line feeds are ignored; bytes of an
  // unfinished command wait for the rest.
  std::string Receive(std::string_view bytes);

  ReplyMode Mode() const { return mode_; }
  void SetMode(ReplyMode mode) { mode_ = mode; }
  bool Echo() const { return echo_; }
  void SetEcho(bool on) { echo_ = on; }
  // The phone played: its answers and the AT+CMER values it takes.
  const MakerProfile& Maker() const { return *maker_; }
  void SetMaker(const MakerProfile& maker) { maker_ = &maker; }
  // Keypad event reporting (+CKEV), switched on by AT+CMER with a mode and
  // a keypad setting other than 0.
  bool KeysOn() const { return cmerMode_ != 0 && cmerKeypad_ != 0; }
  void SetKeysOn(bool on);
  // Caller ID (+CLIP after each RING), switched on by AT+CLIP=1.
  bool CallerIdOn() const { return callerId_; }

 private:
  std::string Answer(const std::string& command);
  std::string SetCmer(std::string_view parameters);

  ReplyMode mode_;
  bool echo_;
  const MakerProfile* maker_;
  int cmerMode_ = 0;
  int cmerKeypad_ = 0;
  bool callerId_ = false;
  std::string charset_ = "GSM";
  std::string pending_;  // an unfinished command line
};

}  // namespace vexel::phonesim
