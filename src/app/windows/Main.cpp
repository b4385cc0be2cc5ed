// Program entry: one instance per logon, then the program with its hidden
// windows and tray icon, and the message loop until "Exit".
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <memory>

#include "actions/win32/ActionPlatformWin32.h"
#include "app/win32/ErrorBox.h"
#include "app/win32/MessagePump.h"
#include "app/windows/VexelApp.h"

namespace {

const char kMutexName[] = "VexelInstMutex";

// True when another instance holds the mutex; otherwise creates it and keeps
// its handle until the process ends.
bool AnotherInstanceRuns() {
  if (HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName)) {
    CloseHandle(existing);
    return true;
  }
  CreateMutexA(nullptr, FALSE, kMutexName);
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // For the shell's verbs (actions, the failure report's mail, the help),
  // all opened from this thread; released after the program's windows.
  const vexel::ShellComApartment com;
  if (AnotherInstanceRuns()) {
    MessageBoxA(nullptr,
                "Vexel is already running.\rSee in system tray.\rOnly one instance of the "
                "programm is allowed.",
                "Information", MB_OK | MB_ICONINFORMATION);
    return 0;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  std::unique_ptr<vexel::TVexelApp> app;
  try {
    app = std::make_unique<vexel::TVexelApp>();
    app->Create();
  } catch (const std::exception& error) {
    // Without its serial port component or its windows the program cannot
    // work: say why and end, rather than fail later.
    vexel::ShowException(nullptr, error);
    return 1;
  }
  return vexel::RunMessageLoop();
}
