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
