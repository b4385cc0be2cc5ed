// "vexel run" and "vexel learn": the core's phone link over the POSIX port
// in the poll(2) loop, with the user-visible state as log lines on stderr.
#pragma once

#include <string>
#include <vector>

#include "actions/linux/ActionPlatformLinux.h"
#include "actions/linux/LinuxKeys.h"
#include "app/Settings.h"
#include "app/linux/HostLoop.h"
#include "comm/posix/PosixSerialPort.h"
#include "phone/KeypadRemote.h"
#include "phone/LinkHost.h"

namespace vexel {

struct RemoteOptions {
  std::string settingsPath;
  unsigned baud = 0;
  bool learn = false;
  std::string learnOutput;  // "vexel learn -o FILE"; empty: the settings' keys file
};

// The shell's own timer: the retries of a first start that failed.
inline constexpr unsigned kFirstStartTimerId = 100;

class LinuxRemote : public LinkUi {
 public:
  explicit LinuxRemote(RemoteOptions options);
  // Runs until SIGTERM or SIGINT (0), or until the link is given up (1).
  int Run();

  // LinkUi: every message is a log line; questions are answered No.
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override;
  void SetTrayImage(TrayImage image) override;
  void SetStartStopCaption(const std::string&) override {}
  void SetMapKeysButtonEnabled(bool) override {}
  void SetMapKeysButtonDown(bool) override {}
  std::string SelectedPortText() override { return settings_.port; }
  int PhoneTypeIndex() override;
  void ShowProperties() override;
  void ShowReplyLog(const std::string&) override {}
  void ShellOpen(const std::string& target) override;
  void LogEvent(const std::string& line) override { Log(line); }

 private:
  void Log(const std::string& line);
  bool LoadSettings();
  void LoadKeys();
  void AttemptStart();
  void Reload();
  void Signal(int signal);
  void GiveUp(const std::string& reason);
  void LearnedRow();
  int SaveLearnedKeys();

  RemoteOptions options_;
  HostLoop loop_;
  PosixSerialPort port_;
  KeyNamesLinux keyNames_;
  ActionPlatformLinux platform_;
  KeypadRemote remote_;

  Settings settings_;
  std::string keysFilePath_;  // of the settings, resolved
  int startAttempts_ = 0;     // of the first start, while it is retried
  bool restarting_ = false;   // the shell itself stops and starts the link
  bool stopping_ = false;
  bool reloadRequested_ = false;
  int exitCode_ = 0;
  std::string lastMessage_;
  std::vector<std::string> learned_;  // each key once, in the order first pressed
  std::size_t seenRows_ = 0;          // rows of learn mode already printed
};

}  // namespace vexel
