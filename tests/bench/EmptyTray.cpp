// An empty tray program: the common controls 6 manifest, the system
// libraries that Vexel imports (one call into each, so that each is loaded
// at start as Vexel's are), one tray icon and a message loop. The app
// benchmark measures it beside Vexel: what Vexel needs above it is Vexel's
// own. "vexel_empty_tray N" also starts N threads that only wait, as many
// as Vexel's serial port runs while the link is up.
#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdlib>

namespace {

DWORD WINAPI WaitForever(void*) {
  Sleep(INFINITE);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  for (int i = std::atoi(commandLine); i > 0; --i)
    CloseHandle(CreateThread(nullptr, 0, WaitForever, nullptr, 0, nullptr));
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);  // comctl32, as Vexel calls it
  CommDlgExtendedError();           // comdlg32
  HKEY key;                         // advapi32
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key) == ERROR_SUCCESS)
    RegCloseKey(key);

  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));  // gdi32
  wc.lpszClassName = "VexelBenchEmptyTray";
  RegisterClassA(&wc);
  HWND window = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                              nullptr, instance, nullptr);
  NOTIFYICONDATAA icon{};  // shell32
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  icon.uCallbackMessage = WM_APP + 1;
  icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  lstrcpynA(icon.szTip, "Empty tray program", sizeof icon.szTip);
  Shell_NotifyIconA(NIM_ADD, &icon);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  Shell_NotifyIconA(NIM_DELETE, &icon);
  return 0;
}
