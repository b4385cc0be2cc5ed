#include "app/linux/LinuxRemote.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "actions/KeysFile.h"
#include "app/ProductInfo.h"
#include "app/linux/LinuxPaths.h"
#include "base/Error.h"
#include "base/Files.h"
#include "base/Text.h"
#include "phone/PortList.h"

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
      remote_(port_, loop_, *this, *this, platform_, keyNames_, product::kFailureReportAddress) {}

void LinuxRemote::Log(const std::string& line) {
  const std::string text = "vexel: " + OneLine(line) + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
}

int LinuxRemote::Run() {
  ::signal(SIGPIPE, SIG_IGN);
  // In a terminal, SIGHUP says the terminal is gone: it ends vexel as SIGTERM
  // does. A service's SIGHUP (systemctl reload) reloads. A SIGHUP ignored
  // from the start (nohup) stays ignored.
  const char* invocation = std::getenv("INVOCATION_ID");
  hangupEnds_ = (isatty(STDIN_FILENO) || isatty(STDERR_FILENO)) && !(invocation && *invocation);
  struct sigaction hangup {};
  sigaction(SIGHUP, nullptr, &hangup);
  const auto onSignal = [this](int s) { Signal(s); };
  if (hangup.sa_handler == SIG_IGN
          ? !loop_.WatchSignals({SIGTERM, SIGINT, SIGCHLD}, onSignal)
          : !loop_.WatchSignals({SIGTERM, SIGINT, SIGHUP, SIGCHLD}, onSignal)) {
    Log("cannot receive signals");
    return 1;
  }
  loop_.SetOnTimer([this](unsigned id) { remote_.TimerFired(id); });
  // The application's standard error box: a line, and the program goes on.
  loop_.SetOnError([this](const std::exception& error) { Log(ErrorBoxText(error.what())); });
  if (!LoadSettings()) return 1;
  if (!options_.learn) {
    LoadKeys();
    remote_.KeepAlive(settings_.reconnect);
    Log(platform_.PrepareKeys());
    FollowNotifySetting(Settings{});
  }
  // Nobody sits at a service's messages: a start that fails is retried as
  // a lost line is, and the link's giving up ends the program.
  remote_.RetryFailedStart(true);
  remote_.AwaitBluetoothPhone(true);  // rfcomm bind: the phone is reached after the open
  remote_.Start();
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
  remote_.Exit();
  port_.ClosePort();
  if (options_.learn && exitCode_ == 0) return SaveLearnedKeys();
  // The link failed for good: the keys learned before are kept all the same.
  if (options_.learn && !remote_.LearnedKeys().empty()) SaveLearnedKeys();
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
    if (settings_.reconnect != old.reconnect) remote_.KeepAlive(settings_.reconnect);
    FollowNotifySetting(old);
  }
  remote_.ReloadSettings();  // another port or maker: the link is reopened on it
}

void LinuxRemote::Signal(int signal) {
  if (signal == SIGCHLD) {
    platform_.ReapChildren();  // an action's program ended
    return;
  }
  if (signal == SIGHUP && !hangupEnds_) {
    reloadRequested_ = true;  // at the top of the loop, not inside a wait
    return;
  }
  Log(signal == SIGINT   ? "interrupted: stopping"
      : signal == SIGHUP ? "terminal closed: stopping"
                         : "terminated: stopping");
  remote_.Exit();  // ends every wait of the link
  loop_.Quit();
}

MsgAnswer LinuxRemote::ShowMessageBox(const std::string& text, const std::string& title, MsgIcon,
                                      MsgButtons buttons) {
  if (buttons == MsgButtons::kYesNo) {
    Log(title + ": " + text + " -> No");
    return MsgAnswer::kNo;  // nobody to ask: no failure report
  }
  Log(title + ": " + text);
  return MsgAnswer::kOk;
}

void LinuxRemote::FollowNotifySetting(const Settings& old) {
  if (!settings_.notify)
    notifier_.reset();
  else if (!notifier_ || settings_.port != old.port)
    notifier_ = std::make_unique<DesktopNotifier>(PortNameOfEntry(settings_.port));
}

void LinuxRemote::OnLinkEvent(const LinkEvent& event) {
  if (notifier_) notifier_->OnLinkEvent(event);
  switch (event.kind) {
    case LinkEventKind::kKeyLearned:
      Learned(event.key);
      return;
    case LinkEventKind::kLearning:
      if (event.on) Log("learning: press each key of the phone, then Ctrl+C to save them");
      return;
    case LinkEventKind::kUp:
    case LinkEventKind::kBack:
      Log(DescribeLinkEvent(event));
      // Learn mode ends with the link; it starts again with every link up.
      if (options_.learn) remote_.Learn(true);
      return;
    case LinkEventKind::kGaveUp:
      Log(DescribeLinkEvent(event));
      exitCode_ = 1;
      loop_.Quit();
      return;
    default:
      Log(DescribeLinkEvent(event));
  }
}

void LinuxRemote::Learned(const std::string& key) {
  std::printf("%s\n", key.c_str());
  std::fflush(stdout);
}

int LinuxRemote::PhoneTypeIndex() { return IsPhoneMaker(settings_.phone) ? settings_.phone : -1; }

void LinuxRemote::ShowProperties() {
  Log("no port in " + options_.settingsPath +
      ": set port= in section [params] to an entry of vexel ports");
}

void LinuxRemote::ShellOpen(const std::string& target) { Log("not opening " + target); }

void LinuxRemote::KeepFailureReport(const std::string& report, const std::string& supportAddress) {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
  const std::string folder = StateFolder();
  const std::string path = folder + "/failure-report-" + stamp + ".txt";
  if (folder.empty() || !ReplaceFile(path, report)) {
    Log("the phone's answers could not be kept in " + path);
    return;
  }
  Log("the phone's answers are in " + path + ": please send them to " + supportAddress +
      ", so that Vexel learns this phone");
}

int LinuxRemote::SaveLearnedKeys() {
  const std::vector<std::string>& learned = remote_.LearnedKeys();
  if (learned.empty()) {
    Log("no keys learned: nothing saved");
    return 0;
  }
  const bool toSettingsFile = options_.learnOutput.empty();
  const std::string path = toSettingsFile ? keysFilePath_ : options_.learnOutput;
  if (path.empty()) {
    Log("the settings name no keys file (KeysFile=...): give one with -o FILE");
    return 1;
  }
  try {
    // The settings' keys file keeps every byte it has: the learned keys are
    // added to its [Keys]. A file given with -o holds the learned keys alone.
    std::size_t added = learned.size();  // each once, ignoring case
    if (toSettingsFile) {
      added = AddKeysToFile(path, learned);
    } else {
      KeyMap keys;
      for (const std::string& key : learned) keys.Append(key, "", true);
      std::string savedPath;
      SaveKeysFile(path, keys, savedPath);
    }
    Log("saved " + std::to_string(added) + " new keys in " + path);
    return 0;
  } catch (const std::exception& error) {
    Log("the learned keys are not saved: " + ErrorBoxText(error.what()));
    return 1;
  }
}

}  // namespace vexel
