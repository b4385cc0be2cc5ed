#include "actions/win32/ActionPlatformWin32.h"

#include <windows.h>
// after windows.h
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>

namespace vexel {

// S_FALSE (already initialised alike on this thread) is owed a
// CoUninitialize as well; RPC_E_CHANGED_MODE (another apartment) is not.
ShellComApartment::ShellComApartment()
    : initialised_(
          SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}

ShellComApartment::~ShellComApartment() {
  if (initialised_) CoUninitialize();
}

bool ActionPlatformWin32::CallExitWindowsEx(unsigned flags) {
  return ExitWindowsEx(flags, 0) != FALSE;
}

bool ActionPlatformWin32::Reboot() { return ForcedExitWindows(EWX_REBOOT | EWX_FORCE); }

bool ActionPlatformWin32::ShutDown() { return ForcedExitWindows(EWX_SHUTDOWN | EWX_FORCE); }

bool ActionPlatformWin32::LockSession() {
  // Windows refuses (FALSE) a process that is not on the interactive desktop.
  // Wine's LockWorkStation is a stub that does nothing and fails with
  // ERROR_CALL_NOT_IMPLEMENTED: under Wine "$lock" is refused the same way
  // (tolerated, as its lock screen does not exist).
  return LockWorkStation() != FALSE;
}

bool ActionPlatformWin32::ForcedExitWindows(unsigned flags) {
  constexpr const char* kShutdownPrivilege = "SeShutdownPrivilege";
  if (!setPrivilege_(kShutdownPrivilege, true)) return false;
  const bool done = exitWindows_(flags);
  setPrivilege_(kShutdownPrivilege, false);
  return done;
}

void ActionPlatformWin32::ShellOpen(const std::string& file) {
  ShellExecuteA(nullptr, "open", file.c_str(), "", "", SW_SHOWNORMAL);
}

void ActionPlatformWin32::RunCommandLine(const std::string& commandLine) {
  WinExec(commandLine.c_str(), SW_SHOWNORMAL);
}

namespace {

// The scan codes that the media, browser and launch keys send (all with an
// E0 prefix), for layouts that map them to none: Wine's gives 0 for all of
// them.
constexpr WORD kMediaKeyScanCodes[] = {
    0xE06A, 0xE069, 0xE067, 0xE068, 0xE065, 0xE066, 0xE032, 0xE020, 0xE02E,  // 0xA6..0xAE
    0xE030, 0xE019, 0xE010, 0xE024, 0xE022, 0xE06C, 0xE06D, 0xE06B, 0xE021,  // 0xAF..0xB7
};

// The keys that a PC keyboard always sends with an E0 prefix, the
// extended keys: the right Ctrl and Alt, the navigation block beside the
// keypad, the arrows, Num Lock, Break, Print Screen, keypad Divide, the
// Windows and Application keys. Windows' layouts give the prefix with
// MAPVK_VK_TO_VSC_EX; Wine's (8.0) give it only to the right Ctrl and Alt,
// so the prefix is added here for the others (a tolerance that changes
// nothing on Windows).
constexpr std::uint8_t kExtendedKeys[] = {
    VK_RCONTROL, VK_RMENU,  VK_INSERT, VK_DELETE, VK_HOME, VK_END,     VK_PRIOR,
    VK_NEXT,     VK_LEFT,   VK_UP,     VK_RIGHT,  VK_DOWN, VK_NUMLOCK, VK_CANCEL,
    VK_SNAPSHOT, VK_DIVIDE, VK_LWIN,   VK_RWIN,   VK_APPS,
};

}  // namespace

unsigned KeyboardScanCode(std::uint8_t virtualKey) {
  const UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC_EX);
  // Pause alone has an E1 sequence (E1 1D 45), which no single transition
  // carries: it goes as its plain scan code.
  if ((scanCode & 0xFF00) == 0xE100) return MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
  if (scanCode == 0 && virtualKey >= VK_BROWSER_BACK && virtualKey <= VK_LAUNCH_APP2)
    return kMediaKeyScanCodes[virtualKey - VK_BROWSER_BACK];
  if (scanCode != 0 && std::ranges::count(kExtendedKeys, virtualKey))
    return 0xE000 | (scanCode & 0xFF);
  return scanCode;
}

void ActionPlatformWin32::KeyTransition(std::uint8_t virtualKey, bool keyUp) {
  // As the keyboard sends it: programs that read scan codes (games, remote
  // desktops) or tell the arrows from the keypad by the extended flag see
  // the key that was meant.
  const unsigned scanCode = KeyboardScanCode(virtualKey);
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(scanCode & 0xFF);
  input.ki.dwFlags =
      (keyUp ? KEYEVENTF_KEYUP : 0) | ((scanCode & 0xFF00) == 0xE000 ? KEYEVENTF_EXTENDEDKEY : 0);
  SendInput(1, &input, sizeof input);
}

namespace {

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0, DWORD data = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = dx;
  input.mi.dy = dy;
  input.mi.mouseData = data;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

// The normalised absolute coordinate (0 to 65535 over the virtual screen)
// that the system maps back to the pixel: the smallest one at or past it.
LONG Normalised(int pixel, int origin, int extent) {
  return static_cast<LONG>((static_cast<long long>(pixel - origin) * 65536 + extent - 1) / extent);
}

}  // namespace

void ActionPlatformWin32::MouseButtonTransition(MouseButton button, bool up) {
  static constexpr DWORD kFlags[][2] = {{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
                                        {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP},
                                        {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP}};
  SendMouse(kFlags[static_cast<int>(button)][up ? 1 : 0]);
}

void ActionPlatformWin32::MouseMove(int dx, int dy) {
  POINT at;
  if (!GetCursorPos(&at)) return;
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width <= 0 || height <= 0) return;
  const int x = std::clamp(static_cast<int>(at.x) + dx, left, left + width - 1);
  const int y = std::clamp(static_cast<int>(at.y) + dy, top, top + height - 1);
  SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK,
            Normalised(x, left, width), Normalised(y, top, height));
}

void ActionPlatformWin32::MouseWheel(int notches) {
  SendMouse(MOUSEEVENTF_WHEEL, 0, 0, static_cast<DWORD>(notches * WHEEL_DELTA));
}

namespace {

// The file name of the program of the process; empty when it cannot be told.
std::string ProgramFileOf(DWORD processId) {
  std::string file;
  if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) {
    char path[MAX_PATH];
    DWORD size = sizeof path;
    if (QueryFullProcessImageNameA(process, 0, path, &size)) {
      file.assign(path, size);
      file.erase(0, file.find_last_of("\\/") + 1);
    }
    CloseHandle(process);
  }
  return file;
}

}  // namespace

FocusedWindow ActionPlatformWin32::FocusedProgram() {
  HWND window = GetForegroundWindow();
  if (!window) return {};
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(window, &processId);
  // A window keeps its class and its program: they are asked for once per
  // window (its thread tells a new window under a handle used again).
  if (window != focusedWindow_ || threadId != focusedThread_) {
    focused_ = {};
    char name[256];
    if (GetClassNameA(window, name, sizeof name) > 0) focused_.windowClasses.emplace_back(name);
    focused_.programFile = ProgramFileOf(processId);
    focusedWindow_ = window;
    focusedThread_ = threadId;
  }
  return focused_;
}

std::vector<std::string> ProgramsWithVisibleWindows() {
  std::vector<std::string> programs;
  EnumWindows(
      [](HWND window, LPARAM found) -> BOOL {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) ||
            processId == GetCurrentProcessId())
          return TRUE;
        std::string file = ProgramFileOf(processId);
        if (!file.empty()) reinterpret_cast<std::vector<std::string>*>(found)->push_back(file);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&programs));
  std::sort(programs.begin(), programs.end(), [](const std::string& a, const std::string& b) {
    return _stricmp(a.c_str(), b.c_str()) < 0;
  });
  programs.erase(std::unique(programs.begin(), programs.end(),
                             [](const std::string& a, const std::string& b) {
                               return _stricmp(a.c_str(), b.c_str()) == 0;
                             }),
                 programs.end());
  return programs;
}

KeyboardRepeat ActionPlatformWin32::KeyboardRepeatSettings() {
  KeyboardRepeat settings;
  int delay = 0;
  DWORD speed = 0;
  if (SystemParametersInfoA(SPI_GETKEYBOARDDELAY, 0, &delay, 0))
    settings.delay = static_cast<unsigned>(delay);
  if (SystemParametersInfoA(SPI_GETKEYBOARDSPEED, 0, &speed, 0)) settings.speed = speed;
  return settings;
}

void ActionPlatformWin32::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

bool ActionPlatformWin32::SetTokenPrivilege(const std::string& name, bool enable) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return false;
  bool done = false;
  TOKEN_PRIVILEGES privileges{};
  if (LookupPrivilegeValueA(nullptr, name.c_str(), &privileges.Privileges[0].Luid)) {
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    // The previous state is asked for but not used.
    TOKEN_PRIVILEGES previous{};
    DWORD previousLength = 0;
    done = AdjustTokenPrivileges(token, FALSE, &privileges, sizeof previous, &previous,
                                 &previousLength) != FALSE;
  }
  CloseHandle(token);
  return done;
}

}  // namespace vexel
