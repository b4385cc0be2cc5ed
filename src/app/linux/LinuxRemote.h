// "vexel run" and "vexel learn": the core's phone link over the POSIX port
// in the poll(2) loop. The link's events and messages are log lines on
// stderr; the link's giving up ends the program with status 1.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "actions/linux/ActionPlatformLinux.h"
#include "actions/linux/LinuxKeys.h"
#include "app/Settings.h"
#include "app/linux/DesktopNotifier.h"
#include "app/linux/HostLoop.h"
#include "comm/posix/PosixSerialPort.h"
#include "phone/KeypadRemote.h"
#include "phone/LinkEvents.h"
#include "phone/LinkHost.h"

namespace vexel {

struct RemoteOptions {
  std::string settingsPath;
  unsigned baud = 0;
  bool learn = false;
  std::string learnOutput;  // "vexel learn -o FILE"; empty: the settings' keys file
};

class LinuxRemote : public LinkUi, public LinkObserver {
 public:
  explicit LinuxRemote(RemoteOptions options);
  // Runs until SIGTERM or SIGINT (0), or until the link is given up (1).
  int Run();

  // LinkUi: every message is a log line; questions are answered No.
  MsgAnswer ShowMessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                           MsgButtons buttons) override;
  std::string SelectedPortText() override { return settings_.port; }
  int PhoneTypeIndex() override;
  void ShowProperties() override;
  void ShowReplyLog(const std::string&) override {}
  void ShellOpen(const std::string& target) override;
  FailureReport FailureReportWay() override { return FailureReport::kKeep; }
  void KeepFailureReport(const std::string& report, const std::string& supportAddress) override;
  // LinkObserver: a log line per event; learn mode with every link up.
  void OnLinkEvent(const LinkEvent& event) override;

 private:
  void Log(const std::string& line);
  bool LoadSettings();
  void LoadKeys();
  void Reload();
  void Signal(int signal);
  void Learned(const std::string& key);
  // "vexel run" tells the desktop about the link unless notify=0.
  void FollowNotifySetting(const Settings& old);
  int SaveLearnedKeys();

  RemoteOptions options_;
  HostLoop loop_;
  PosixSerialPort port_;
  KeyNamesLinux keyNames_;
  ActionPlatformLinux platform_;
  KeypadRemote remote_;

  Settings settings_;
  std::unique_ptr<DesktopNotifier> notifier_;
  std::string keysFilePath_;  // of the settings, resolved
  bool reloadRequested_ = false;
  bool hangupEnds_ = false;  // run from a terminal: SIGHUP ends vexel
  int exitCode_ = 0;
};

}  // namespace vexel
