// vexelctl: gives a running Vexel the tray menu's commands from a script or
// a shortcut, as choosing them from the tray menu would; and looks at the
// windows that Vexel's actions open, for scripts that check what they did.
//
//   vexelctl startstop|properties|check|help|about|exit
//   vexelctl foreground TITLE [TIMEOUT-MS]
//   vexelctl text TITLE
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/ControlIds.h"

namespace {

constexpr char kUsage[] =
    "usage: vexelctl startstop|properties|check|help|about|exit\n"
    "       vexelctl foreground TITLE [TIMEOUT-MS]\n"
    "       vexelctl text TITLE\n"
    "The first form gives the running Vexel one command of its tray menu;\n"
    "\"startstop\" is the menu's Start/Stop item, which starts the link when it is\n"
    "down and stops it when it is up.\n"
    "\"foreground\" waits until the window titled TITLE is the foreground window\n"
    "with the keyboard focus in it (at most TIMEOUT-MS, default 10000), bringing\n"
    "it forward; it fails when that does not happen in time.\n"
    "\"text\" prints the text of the edit control of the window titled TITLE\n"
    "(\"text 'Check phone'\" prints the report of \"check\").\n";

struct Command {
  const char* word;
  const char* item;  // the menu item of MobPopup
};
const Command kCommands[] = {
    {"startstop", "StartStopItem"},
    {"properties", "N1"},
    {"check", "CheckPhone1"},
    {"help", "Help1"},
    {"about", "About1"},
    {"exit", "Exit1"},
};

// The classes of the edit controls "text" reads: Notepad's, and the rich
// edit controls of WordPad and newer Notepads.
const char* const kEditClasses[] = {"Edit", "RICHEDIT50W", "RichEdit20W", "RichEditD2DPT"};

constexpr DWORD kAnswerMs = 5000;  // how long a window may take to answer a message

int Fail(const char* message, const char* title) {
  std::fprintf(stderr, "vexelctl: %s \"%s\"\n", message, title);
  return 1;
}

int MenuCommand(const Command& command) {
  HWND vexel = FindWindowA(vexel::kTrayWindowClass, nullptr);
  if (!vexel) {
    std::fputs("vexelctl: Vexel is not running\n", stderr);
    return 1;
  }
  const int id = vexel::ControlId(vexel::kTrayMenuItems, command.item);
  return PostMessageA(vexel, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : 1;
}

// Whether keys typed now go to the window: it is the foreground window and
// the keyboard focus of its thread is the window or one of its children.
bool TakesKeys(HWND window) {
  if (GetForegroundWindow() != window) return false;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return false;
  return info.hwndFocus == window || IsChild(window, info.hwndFocus);
}

int Foreground(const char* title, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    HWND window = FindWindowA(nullptr, title);
    if (window && IsWindowVisible(window)) {
      if (TakesKeys(window)) return 0;
      // Windows lets a background process take the foreground only in some
      // cases (SetForegroundWindow's remarks); where it refuses, the window
      // stays behind and the wait ends in failure, as it should.
      if (GetForegroundWindow() != window) {
        if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
        SetForegroundWindow(window);
      }
    }
    if (GetTickCount64() >= deadline)
      return Fail(window ? "never came to the foreground with the keyboard focus:"
                         : "no visible window titled",
                  title);
    Sleep(50);
  }
}

int Text(const char* title) {
  HWND window = FindWindowA(nullptr, title);
  if (!window) return Fail("no window titled", title);
  HWND edit = nullptr;
  for (const char* editClass : kEditClasses)
    if (!edit) edit = FindWindowExA(window, nullptr, editClass, nullptr);
  if (!edit) return Fail("no edit control in the window", title);
  DWORD_PTR length = 0, copied = 0;
  if (!SendMessageTimeoutA(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length))
    return Fail("no answer from the edit control of", title);
  std::string text(length + 1, '\0');
  if (!SendMessageTimeoutA(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kAnswerMs, &copied))
    return Fail("no answer from the edit control of", title);
  text.resize(copied < text.size() ? copied : text.size() - 1);
  // The text exactly as the control holds it, line ends included.
  _setmode(_fileno(stdout), _O_BINARY);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && argc <= 4 && _stricmp(argv[1], "foreground") == 0) {
    char* end = nullptr;
    const unsigned long timeoutMs = argc == 4 ? std::strtoul(argv[3], &end, 10) : 10000;
    if (argc < 4 || (end != argv[3] && *end == '\0'))
      return Foreground(argv[2], static_cast<DWORD>(timeoutMs));
  }
  if (argc == 3 && _stricmp(argv[1], "text") == 0) return Text(argv[2]);
  for (const Command& c : kCommands)
    if (argc == 2 && _stricmp(argv[1], c.word) == 0) return MenuCommand(c);
  std::fputs(kUsage, stderr);
  return 2;
}
