#include "app/linux/LinuxRemote.h"

#include <signal.h>

#include <algorithm>
#include <cstdio>

#include "actions/KeysFile.h"
#include "app/ProductInfo.h"
#include "app/linux/LinuxPaths.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Text.h"

namespace vexel {

namespace {

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

}  // namespace

LinuxRemote::LinuxRemote(RemoteOptions options)
    : options_(std::move(options)),
      port_(loop_, options_.baud),
      platform_([this](const std::string& line) { Log(line); }),
      remote_(port_, loop_, *this, platform_, keyNames_, product::kFailureReportAddress) {}

void LinuxRemote::Log(const std::string& line) {
  const std::string text = "vexel: " + OneLine(line) + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
}

int LinuxRemote::Run() {
  ::signal(SIGPIPE, SIG_IGN);
  if (!loop_.WatchSignals({SIGTERM, SIGINT, SIGHUP, SIGCHLD}, [this](int s) { Signal(s); })) {
    Log("cannot receive signals");
    return 1;
  }
  loop_.SetOnTimer([this](unsigned id) {
    if (id == kFirstStartTimerId)
      AttemptStart();
    else
      remote_.TimerFired(id);
  });
  // The application's standard error box: a line, and the program goes on.
  loop_.SetOnError([this](const std::exception& error) { Log(ErrorBoxText(error.what())); });
  if (!LoadSettings()) return 1;
  if (options_.learn) {
    remote_.Keys().SetOnChange([this] { LearnedRow(); });
  } else {
    LoadKeys();
    remote_.Link().cbReconnectClick(settings_.reconnect);
    Log(platform_.PrepareKeys());
  }
  AttemptStart();
  while (!loop_.Quitting()) {
    loop_.Pass(-1);
    if (reloadRequested_ && !loop_.Quitting()) {
      reloadRequested_ = false;
      Reload();
    }
  }
  // A key held by a Press is released, the port closed.
  if (!platform_.HeldKeys().empty()) {
    std::string names;
    const auto& held = platform_.HeldKeys();
    for (auto key = held.rbegin(); key != held.rend(); ++key)
      names += (names.empty() ? "" : " ") + KeyName(*key, keyNames_);
    Log("releasing held keys: " + names);
  }
  platform_.ReleaseHeldKeys();
  stopping_ = true;
  remote_.Link().Exit1Click();
  port_.ClosePort();
  if (options_.learn && exitCode_ == 0) return SaveLearnedKeys();
  // The link failed for good: the keys learned before are kept all the same.
  if (options_.learn && !learned_.empty()) SaveLearnedKeys();
  Log(exitCode_ == 0 ? "stopped" : "stopped after a failure");
  return exitCode_;
}

bool LinuxRemote::LoadSettings() {
  if (!FileExists(options_.settingsPath)) {
    Log("no settings file " + options_.settingsPath +
        ": write one with [params] port=... (see vexel ports and vexel --help)");
    return false;
  }
  settings_ = ReadSettings(options_.settingsPath);
  remote_.KeyEvents().SetHoldTime(static_cast<unsigned>(settings_.holdTime));
  keysFilePath_ = KeysFileOfSettings(options_.settingsPath, settings_.keysFile);
  if (settings_.port.empty()) {
    ShowProperties();
    return false;
  }
  return true;
}

void LinuxRemote::LoadKeys() {
  const std::string path = KeysFileOfSettings(options_.settingsPath, settings_.keysFile);
  keysFilePath_ = path;
  if (path.empty()) {
    Log("no keys file in the settings (KeysFile=...): keys do nothing");
    return;
  }
  if (!FileExists(path)) {
    Log("keys file " + path + " not found: the keys stay as they were");
    return;
  }
  try {
    remote_.LoadKeysFile(path);
    Log(std::to_string(remote_.Keys().Rows().size()) + " keys from " + path);
    for (const std::string& program : remote_.Keys().Programs())
      Log(std::to_string(remote_.Keys().RowsOf(program).size()) + " keys for " + program +
          (WaylandSession() ? ", which apply in an X11 session only" : ""));
  } catch (const std::exception& error) {
    Log(ErrorBoxText(error.what()));
  }
}

void LinuxRemote::AttemptStart() {
  ++startAttempts_;
  try {
    remote_.Link().StartLink();
  } catch (const EPortBusy& error) {
    GiveUp(error.what());  // one Vexel per port
    return;
  } catch (const ECommsError& error) {
    lastMessage_ = error.what();
    Log(ErrorBoxText(error.what()));
  }
  if (stopping_) return;
  if (remote_.Link().Connected() || remote_.Link().Reconnecting()) {
    loop_.StopTimer(kFirstStartTimerId);
    startAttempts_ = 0;
    return;
  }
  // A first start that fails is retried as a lost line is.
  if (startAttempts_ > kReconnectAttempts) {
    GiveUp("the link could not be started: " + lastMessage_);
    return;
  }
  if (startAttempts_ == 1) loop_.StartTimer(kFirstStartTimerId, kReconnectPauseMs);
  Log("start attempt " + std::to_string(startAttempts_) + " failed; next in " +
      std::to_string(kReconnectPauseMs / 1000) + " s");
}

void LinuxRemote::Reload() {
  Log("reloading " + options_.settingsPath);
  const Settings old = settings_;
  if (!FileExists(options_.settingsPath)) {
    Log("settings file gone: keeping the settings");
    return;
  }
  settings_ = ReadSettings(options_.settingsPath);
  remote_.KeyEvents().SetHoldTime(static_cast<unsigned>(settings_.holdTime));
  if (settings_.port.empty()) {
    Log("no port in the settings: keeping " + old.port);
    settings_.port = old.port;
  }
  if (!options_.learn) {
    LoadKeys();
    if (settings_.reconnect != old.reconnect) remote_.Link().cbReconnectClick(settings_.reconnect);
  }
  const bool lineChanged = settings_.port != old.port || settings_.phone != old.phone;
  if (!lineChanged || remote_.Link().Reconnecting()) return;  // a reconnection takes the new port
  Log("port now " + settings_.port + ": reopening the link");
  restarting_ = true;
  if (remote_.Link().Connected()) remote_.Link().StopLink();
  restarting_ = false;
  loop_.StopTimer(kFirstStartTimerId);
  startAttempts_ = 0;
  AttemptStart();
}

void LinuxRemote::Signal(int signal) {
  if (signal == SIGCHLD) {
    platform_.ReapChildren();  // an action's program ended
    return;
  }
  if (signal == SIGHUP) {
    reloadRequested_ = true;  // at the top of the loop, not inside a wait
    return;
  }
  Log(signal == SIGINT ? "interrupted: stopping" : "terminated: stopping");
  stopping_ = true;
  remote_.Link().Exit1Click();  // ends every wait of the link
  loop_.Quit();
}

void LinuxRemote::GiveUp(const std::string& reason) {
  if (stopping_) return;
  Log("giving up: " + reason);
  exitCode_ = 1;
  stopping_ = true;
  remote_.Link().Exit1Click();
  loop_.Quit();
}

MsgAnswer LinuxRemote::ShowMessageBox(const std::string& text, const std::string& title, MsgIcon,
                                      MsgButtons buttons) {
  lastMessage_ = OneLine(text);
  if (buttons == MsgButtons::kYesNo) {
    Log(title + ": " + lastMessage_ + " -> No");
    return MsgAnswer::kNo;  // nobody to ask: no failure report
  }
  Log(title + ": " + lastMessage_);
  return MsgAnswer::kOk;
}

void LinuxRemote::SetTrayImage(TrayImage image) {
  if (image == TrayImage::kConnect && options_.learn) {
    // Learn mode ends with the link; it starts again with every link up.
    remote_.MapKeysButtonClick(true);
    Log("learning: press each key of the phone, then Ctrl+C to save them");
  }
  // Down without being asked: the reconnection gave up. Its warning comes
  // right after, and is the reason.
  if (image == TrayImage::kApplication && !restarting_ && !stopping_ && startAttempts_ == 0)
    loop_.Post([this] { GiveUp(lastMessage_); });
}

void LinuxRemote::LearnedRow() {
  // The core's learn mode appends a row for every press of a key that a
  // keys file can hold.
  const auto& rows = remote_.Keys().Rows();
  if (rows.size() < seenRows_) seenRows_ = 0;  // learn mode began again
  for (; seenRows_ < rows.size(); ++seenRows_) {
    const std::string& key = rows[seenRows_].key;
    if (std::none_of(learned_.begin(), learned_.end(),
                     [&](const std::string& k) { return SameText(k, key); }))
      learned_.push_back(key);
    std::printf("%s\n", key.c_str());
    std::fflush(stdout);
  }
}

int LinuxRemote::PhoneTypeIndex() {
  return settings_.phone >= 0 && settings_.phone <= 3 ? settings_.phone : -1;
}

void LinuxRemote::ShowProperties() {
  Log("no port in " + options_.settingsPath +
      ": set port= in section [params] to an entry of vexel ports");
}

void LinuxRemote::ShellOpen(const std::string& target) { Log("not opening " + target); }

int LinuxRemote::SaveLearnedKeys() {
  if (learned_.empty()) {
    Log("no keys learned: nothing saved");
    return 0;
  }
  const bool toSettingsFile = options_.learnOutput.empty();
  const std::string path = toSettingsFile ? keysFilePath_ : options_.learnOutput;
  if (path.empty()) {
    Log("the settings name no keys file (KeysFile=...): give one with -o FILE");
    return 1;
  }
  KeyMap keys;
  std::string loadedPath;
  try {
    // The settings' keys file keeps every key it has, with its action.
    if (toSettingsFile && FileExists(path)) LoadKeysFile(path, keys, loadedPath);
    std::size_t added = 0;
    for (const std::string& key : learned_) {
      const auto& rows = keys.Rows();
      if (std::any_of(rows.begin(), rows.end(),
                      [&](const KeyMapRow& row) { return SameText(row.key, key); }))
        continue;
      keys.Append(key, "", true);
      ++added;
    }
    SaveKeysFile(path, keys, loadedPath);
    Log("saved " + std::to_string(added) + " new keys in " + path);
    return 0;
  } catch (const std::exception& error) {
    Log(ErrorBoxText(error.what()));
    return 1;
  }
}

}  // namespace vexel
