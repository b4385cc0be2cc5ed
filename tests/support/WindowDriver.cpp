#include "WindowDriver.h"

#include <fstream>

namespace vexel::test {

namespace {

struct TopSearch {
  DWORD pid;
  const std::string* title;
  const char* className;
  HWND found = nullptr;
  int count = 0;
};

BOOL CALLBACK MatchTopWindow(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<TopSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
  if (s->title && Text(hwnd) != *s->title) return TRUE;
  if (s->className && ClassName(hwnd) != s->className) return TRUE;
  s->found = hwnd;
  ++s->count;
  return TRUE;
}

}  // namespace

std::string WindowsPath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

HWND WaitTopWindow(DWORD processId, const std::string& title, unsigned timeoutMs,
                   const char* className) {
  TopSearch search{processId, &title, className};
  WaitFor(
      [&] {
        EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  return search.found;
}

int CountTopWindows(DWORD processId, const std::string& title) {
  TopSearch search{processId, &title, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

HWND PopupMenuWindow(DWORD processId) {
  TopSearch search{processId, nullptr, "#32768"};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ClassName(HWND hwnd) {
  char name[256] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::string Text(HWND hwnd) {
  char text[4096] = "";
  // WM_GETTEXT rather than GetWindowText: it reads controls of other processes too.
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

bool IsChecked(HWND button) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
  return state == BST_CHECKED;
}

RECT PlaceInParent(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT ClientRectOf(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  return r;
}

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void MouseClickAt(POINT screen) {
  // Each event carries its own position, so a click queued behind another
  // lands where it was aimed.
  const LONG x = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  const LONG y = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  INPUT input[3]{};
  for (INPUT& event : input) {
    event.type = INPUT_MOUSE;
    event.mi.dx = x;
    event.mi.dy = y;
  }
  input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInput(3, input, sizeof(INPUT));
}

bool MouseClickOn(HWND window, POINT screen) {
  if (!WaitFor([&] { return WindowFromPoint(screen) == window; })) return false;
  MouseClickAt(screen);
  return true;
}

void PostKey(HWND target, UINT virtualKey, bool alt) {
  const LPARAM data = 1 | (static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16) |
                      (alt ? static_cast<LPARAM>(KF_ALTDOWN) << 16 : 0);
  PostMessageA(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, virtualKey, data);
  PostMessageA(target, alt ? WM_SYSKEYUP : WM_KEYUP, virtualKey,
               data | (static_cast<LPARAM>(KF_REPEAT | KF_UP) << 16));
}

bool ChooseFromPopupMenu(DWORD processId, int index, unsigned timeoutMs) {
  HWND menu = nullptr;
  if (!WaitFor([&] { return (menu = PopupMenuWindow(processId)) != nullptr; }, timeoutMs))
    return false;
  // The first Down selects the first item.
  for (int i = 0; i <= index; ++i) PostKey(menu, VK_DOWN);
  PostKey(menu, VK_RETURN);
  return WaitFor([&] { return PopupMenuWindow(processId) == nullptr; }, timeoutMs);
}

bool SaveScreenshot(const std::string& name) {
  // ImageMagick's import, a Linux program that Wine starts like any other;
  // Wine gives no handle to wait on, so the picture is written under a
  // temporary name and renamed once complete.
  const std::string folder = VEXEL_SCREENSHOT_DIR;
  const std::string done = folder + "/" + name + ".png";
  const std::string partial = folder + "/." + name + ".png";
  DeleteFileA(WindowsPath(done).c_str());
  std::string command = "Z:\\bin\\sh -c \"import -window root '" + partial + "' && mv '" + partial +
                        "' '" + done + "'\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  return WaitFor(
      [&] { return GetFileAttributesA(WindowsPath(done).c_str()) != INVALID_FILE_ATTRIBUTES; },
      20000);
}

}  // namespace vexel::test
