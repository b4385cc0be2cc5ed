// The test driver: starts the real Vexel.exe in a folder of its own, finds
// its windows and controls by their names, and gives them what a user's
// input would give them: menu commands, button clicks, tray clicks, answers
// to message boxes and file dialogs.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "NullModemRig.h"
#include "WindowDriver.h"
#include "app/ControlIds.h"

namespace vexel::test {

// A fresh folder for one test (a Windows path), removed with its contents.
class TestFolder {
 public:
  explicit TestFolder(const std::string& name);
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::optional<std::string> Read(const std::string& name) const;

 private:
  std::string path_;
};

// A message box or dialog of the program, as the user sees it.
struct DialogInfo {
  HWND hwnd = nullptr;
  std::string title;
  std::string text;  // a message box's message
};

class VexelProcess {
 public:
  // Copies Vexel.exe into the folder and starts it there.
  explicit VexelProcess(const TestFolder& folder);
  // Ends the program through "Exit" if it still runs, else kills it.
  ~VexelProcess();
  VexelProcess(const VexelProcess&) = delete;
  VexelProcess& operator=(const VexelProcess&) = delete;

  DWORD ProcessId() const { return info_.dwProcessId; }
  bool Running() const;
  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<DWORD> WaitExit(unsigned timeoutMs);

  // The main window (the hidden Properties window); waits for it to appear.
  HWND MainWindow(unsigned timeoutMs = 20000);
  // The hidden window of the tray icon and its menu.
  HWND TrayWindow(unsigned timeoutMs = 20000);
  HWND PropertiesControl(std::string_view name);

  // The tray menu's commands, as choosing them from the menu gives them.
  void Menu(std::string_view item);
  // The tray icon's mouse messages.
  void TrayDoubleClick();
  void TrayRightClick();
  // Clicks a button of the Properties window.
  void Click(std::string_view control);
  bool Checked(std::string_view control);
  bool Enabled(std::string_view control);

  // The key map grid's rows as "key=value".
  std::vector<std::string> GridRows();
  // A real mouse click on the ellipsis button of a row; false when the row
  // shows none.
  bool ClickGridButton(size_t row);

  // A visible top-level window of the program with this title.
  HWND WaitWindow(const std::string& title, unsigned timeoutMs = 20000);

  // A visible dialog of this process with the given title (a message box,
  // a file dialog), waiting for it to appear.
  std::optional<DialogInfo> WaitDialog(const std::string& title, unsigned timeoutMs = 20000);
  // Presses a button of a dialog (IDOK, IDYES, IDNO, ...).
  static void Press(HWND dialog, int button);
  // Types a file name into a file dialog and presses its OK button.
  static void ChooseFile(HWND dialog, const std::string& path);

 private:
  // The grid's answer to a reader's message about a row (see app/win32/ValueListGrid.h).
  std::optional<std::string> AskGrid(UINT message, size_t row);

  // The process's top-level window of the class, found once.
  HWND WindowOfClass(const char* className, HWND& found, unsigned timeoutMs);

  PROCESS_INFORMATION info_{};
  HWND main_ = nullptr;
  HWND tray_ = nullptr;
};

// Ends every Vexel.exe still running in the prefix: one left behind by a
// test that was cut short would hold the single-instance mutex.
void EndLeftoverVexels();

// Whether any visible top-level window of the process has this title.
bool HasWindowTitled(DWORD processId, const std::string& title);

}  // namespace vexel::test
