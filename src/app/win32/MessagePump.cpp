#include "app/win32/MessagePump.h"

#include <vector>

namespace vexel {

namespace {

void Dispatch(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && (GetWindowLongPtrA(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) &&
      IsDialogMessageA(root, &msg))
    return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

}  // namespace

bool ProcessPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    Dispatch(msg);
  }
  return true;
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

bool RunModal(HWND window, const std::function<bool()>& done) {
  // Disable the program's other top-level windows, as a modal dialog does.
  std::vector<HWND> disabled;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM list) -> BOOL {
        auto* windows = reinterpret_cast<std::vector<HWND>*>(list);
        if (IsWindowEnabled(hwnd)) windows->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&disabled));
  for (HWND hwnd : disabled)
    if (hwnd != window) EnableWindow(hwnd, FALSE);
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);

  bool quit = false;
  MSG msg;
  while (!done()) {
    const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got <= 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      quit = true;
      break;
    }
    Dispatch(msg);
  }
  for (HWND hwnd : disabled)
    if (hwnd != window && IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  return !quit;
}

}  // namespace vexel
