// KeypadRemote: the core's front door. It owns the whole chain from a phone's
// key report to the action on the PC (the key map, the action runner, the
// key actions, the key event handlers and the phone link) and builds it from
// the seams a shell provides: the serial port, the event loop (LinkHost),
// the questions for the user (LinkUi), the observer of what happens to the
// link (LinkObserver), the action platform and the keyboard layout's key
// names. A shell takes what it wants through the intents below and learns
// what happened from the link events. A shell, a test or a fuzzer that
// needs the whole chain builds it only through here.
#pragma once

#include <string>

#include "actions/ActionRunner.h"
#include "actions/ActionText.h"
#include "actions/KeyMap.h"
#include "phone/KeyEvents.h"
#include "phone/LinkEvents.h"
#include "phone/LinkHost.h"
#include "phone/PhoneEvents.h"
#include "phone/PhoneLink.h"
#include "phone/PhoneMakers.h"

namespace vexel {

class SerialPort;

class KeypadRemote : private LinkObserver {
 public:
  // The seams must outlive the remote. The link installs its hang-up handler
  // on the port at once.
  KeypadRemote(SerialPort& port, LinkHost& host, LinkUi& ui, LinkObserver& observer,
               ActionPlatform& platform, const KeyNames& layout, std::string failureReportAddress);
  KeypadRemote(const KeypadRemote&) = delete;
  KeypadRemote& operator=(const KeypadRemote&) = delete;

  // What a shell wants of the link.
  void Start();      // unless it is up, starting or being re-established
  void Stop();       // ends a reconnection, or stops the link that is up
  void StartStop();  // the tray's Start/Stop: Stop when up or reconnecting, else Start
  void Exit();       // ends every wait and closes the port, at any moment
  void KeepAlive(bool on);
  bool KeepAliveOn() const { return link_.ReconnectOption(); }
  // Learn mode on (the key map emptied, presses learned) or off.
  void Learn(bool on);
  // The port the link holds, starts on or re-establishes ("COM5",
  // "/dev/rfcomm0"); empty while it is down.
  std::string PortInUse() const { return link_.PortInUse(); }
  // Every key learned since the program started, each once, in the order
  // first pressed; the link going down keeps them.
  const std::vector<std::string>& LearnedKeys() const { return keyEvents_.LearnedKeys(); }
  // The settings were read again: the link follows the port and maker that
  // LinkUi now gives (reopened on them when they changed).
  void ReloadSettings() { link_.FollowSelectedPort(); }
  // A start that fails is retried as a lost line is (13 attempts, 10 s
  // apart) instead of being left to the user.
  void RetryFailedStart(bool retry) { link_.SetRetryFailedStart(retry); }
  // A Bluetooth port bound to its phone is waited for after opening (see
  // PhoneLink::SetAwaitBluetoothPhone).
  void AwaitBluetoothPhone(bool await) { link_.SetAwaitBluetoothPhone(await); }

  // Every timer of the host fires here.
  void TimerFired(unsigned id);

  // Keys files (see actions/KeysFile.h); both keep the path as the keys
  // file path, which the settings file stores.
  void LoadKeysFile(const std::string& path);
  void SaveKeysFile(const std::string& path);
  const std::string& KeysFilePath() const { return keysFilePath_; }
  void SetKeysFilePath(std::string path) { keysFilePath_ = std::move(path); }

  // The key map the windows show and edit, and the layout's key names.
  KeyMap& Keys() { return keyMap_; }
  const KeyMap& Keys() const { return keyMap_; }
  const KeyNames& Layout() const { return layout_; }

  // The Button Action window's edit of one row: its action loaded into the
  // editor fields, and the fields composed back into its action ("Apply").
  ActionEditorFields RowFields(size_t row) const;
  void ApplyRowFields(size_t row, const ActionEditorFields& fields);

  // The parts, for tests of one of them.
  PhoneLink& Link() { return link_; }
  const PhoneLink& Link() const { return link_; }
  KeyEventHandlers& KeyEvents() { return keyEvents_; }
  ActionRunner& Runner() { return runner_; }

 private:
  // The link's events reach the shell's observer, and then the phone's
  // events, which follow the link.
  void OnLinkEvent(const LinkEvent& event) override;

  SerialPort& port_;
  const KeyNames& layout_;
  LinkObserver& observer_;
  KeyMap keyMap_;
  ActionRunner runner_;
  mutable KeyActions actions_;  // loading a row's fields changes nothing
  PhoneEvents phoneEvents_;
  KeyEventHandlers keyEvents_;
  PhoneLink link_;
  std::string keysFilePath_;
};

}  // namespace vexel
