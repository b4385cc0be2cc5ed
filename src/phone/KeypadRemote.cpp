#include "phone/KeypadRemote.h"

#include "actions/KeysFile.h"
#include "comm/SerialPort.h"

namespace vexel {

KeypadRemote::KeypadRemote(SerialPort& port, LinkHost& host, LinkUi& ui, LinkObserver& observer,
                           ActionPlatform& platform, const KeyNames& layout,
                           std::string failureReportAddress)
    : port_(port),
      layout_(layout),
      observer_(observer),
      runner_(platform, host),
      actions_(layout, runner_),
      phoneEvents_(keyMap_, actions_, port, host, observer),
      keyEvents_(keyMap_, actions_, observer, &phoneEvents_),
      link_(port, host, ui, *this, keyEvents_, std::move(failureReportAddress)) {
  runner_.SetOnControlChange([&observer](bool enabled) {
    LinkEvent event{LinkEventKind::kControl};
    event.on = enabled;
    observer.OnLinkEvent(event);
  });
}

void KeypadRemote::OnLinkEvent(const LinkEvent& event) {
  observer_.OnLinkEvent(event);
  switch (event.kind) {
    case LinkEventKind::kUp:
    case LinkEventKind::kBack:
      return phoneEvents_.LinkUp();
    case LinkEventKind::kLost:
      return phoneEvents_.LinkLost();
    case LinkEventKind::kStopped:
    case LinkEventKind::kGaveUp:
      return phoneEvents_.LinkDown();
    default:
      return;
  }
}

void KeypadRemote::Start() { link_.Start(); }
void KeypadRemote::Stop() { link_.Stop(); }
void KeypadRemote::StartStop() { link_.StartStopItemClick(); }
void KeypadRemote::Exit() { link_.Exit1Click(); }
void KeypadRemote::KeepAlive(bool on) { link_.cbReconnectClick(on); }

void KeypadRemote::TimerFired(unsigned id) {
  if (id == kRepeatTimerId)
    runner_.RepeatTimerTimer();
  else if (id == kHoldTimerId)
    keyEvents_.HoldTimerTimer();
  else if (id == kRingTimerId || id == kPhoneStateTimerId || id == kEventEntryTimerId)
    phoneEvents_.TimerFired(id);
  else
    link_.TimerFired(id);
}

void KeypadRemote::Learn(bool on) { keyEvents_.MapKeysButtonClick(on, port_); }

void KeypadRemote::LoadKeysFile(const std::string& path) {
  vexel::LoadKeysFile(path, keyMap_, keysFilePath_);
}

void KeypadRemote::SaveKeysFile(const std::string& path) {
  vexel::SaveKeysFile(path, keyMap_, keysFilePath_);
}

ActionEditorFields KeypadRemote::RowFields(size_t row) const {
  ActionEditorFields fields;
  if (row < keyMap_.Rows().size())
    actions_.DispatchKeyAction(keyMap_.Rows()[row].action, 0, &fields);
  return fields;
}

void KeypadRemote::ApplyRowFields(size_t row, const ActionEditorFields& fields) {
  keyMap_.SetAction(row, ComposeActionText(fields, layout_));
}

}  // namespace vexel
