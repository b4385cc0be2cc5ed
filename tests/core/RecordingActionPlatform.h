// An action platform that does nothing but write down, in order, what the
// runner asked of it: "open FILE", "run COMMAND", "down 16", "up 16",
// "sleep 30", "reboot", "shutdown", "lock", "button 0 down", "move 2 0", "wheel -1".
// The focused window is what the test sets.
#pragma once

#include <string>
#include <vector>

#include "actions/ActionRunner.h"

namespace vexel {

class RecordingActionPlatform : public ActionPlatform {
 public:
  std::vector<std::string> log;
  KeyboardRepeat keyboard;  // what KeyboardRepeatSettings answers
  FocusedWindow focused;    // what FocusedProgram answers
  int focusQueries = 0;

  void ShellOpen(const std::string& file) override { log.push_back("open " + file); }
  void RunCommandLine(const std::string& commandLine) override {
    log.push_back("run " + commandLine);
  }
  void KeyTransition(std::uint8_t virtualKey, bool keyUp) override {
    log.push_back((keyUp ? "up " : "down ") + std::to_string(virtualKey));
  }
  KeyboardRepeat KeyboardRepeatSettings() override { return keyboard; }
  void Sleep(unsigned milliseconds) override {
    log.push_back("sleep " + std::to_string(milliseconds));
  }
  bool Reboot() override {
    log.push_back("reboot");
    return true;
  }
  bool ShutDown() override {
    log.push_back("shutdown");
    return true;
  }
  bool LockSession() override {
    log.push_back("lock");
    return true;
  }
  void MouseButtonTransition(MouseButton button, bool up) override {
    log.push_back("button " + std::to_string(static_cast<int>(button)) + (up ? " up" : " down"));
  }
  void MouseMove(int dx, int dy) override {
    log.push_back("move " + std::to_string(dx) + " " + std::to_string(dy));
  }
  void MouseWheel(int notches) override { log.push_back("wheel " + std::to_string(notches)); }
  FocusedWindow FocusedProgram() override {
    ++focusQueries;
    return focused;
  }
};

}  // namespace vexel
