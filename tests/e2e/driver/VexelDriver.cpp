#include "VexelDriver.h"

#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/win32/ValueListGrid.h"

namespace vexel::test {

TestFolder::TestFolder(const std::string& name) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("vexel-e2e-" + name + "-" + std::to_string(GetCurrentProcessId()));
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
  std::filesystem::create_directories(path);
  path_ = path.string();
}

TestFolder::~TestFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TestFolder::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream(File(name), std::ios::binary) << bytes;
}

std::optional<std::string> TestFolder::Read(const std::string& name) const {
  std::ifstream in(File(name), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

VexelProcess::VexelProcess(const TestFolder& folder) {
  const std::string exe = folder.File("Vexel.exe");
  CopyFileA(WindowsPath(VEXEL_EXE).c_str(), exe.c_str(), FALSE);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exe + "\"";
  CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                 folder.Path().c_str(), &startup, &info_);
}

VexelProcess::~VexelProcess() {
  if (!info_.hProcess) return;
  if (Running() && (main_ || tray_) && TrayWindow(2000)) {
    Menu("Exit1");
    WaitExit(10000);
  }
  if (Running()) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, 10000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool VexelProcess::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> VexelProcess::WaitExit(unsigned timeoutMs) {
  if (!WaitFor([&] { return !Running(); }, timeoutMs)) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

HWND VexelProcess::WindowOfClass(const char* className, HWND& found, unsigned timeoutMs) {
  if (found && IsWindow(found)) return found;
  WaitFor(
      [&] {
        for (HWND hwnd = FindWindowExA(nullptr, nullptr, className, nullptr); hwnd;
             hwnd = FindWindowExA(nullptr, hwnd, className, nullptr)) {
          DWORD pid = 0;
          GetWindowThreadProcessId(hwnd, &pid);
          if (pid == info_.dwProcessId) found = hwnd;
        }
        return found != nullptr;
      },
      timeoutMs);
  return found;
}

HWND VexelProcess::MainWindow(unsigned timeoutMs) {
  return WindowOfClass(kPropertiesWindowClass, main_, timeoutMs);
}

HWND VexelProcess::TrayWindow(unsigned timeoutMs) {
  return WindowOfClass(kTrayWindowClass, tray_, timeoutMs);
}

HWND VexelProcess::PropertiesControl(std::string_view name) {
  return GetDlgItem(MainWindow(), ControlId(kPropertiesControls, name));
}

void VexelProcess::Menu(std::string_view item) {
  PostMessageA(TrayWindow(), WM_COMMAND, MAKEWPARAM(ControlId(kTrayMenuItems, item), 0), 0);
}

void VexelProcess::TrayDoubleClick() {
  for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    PostMessageA(TrayWindow(), kTrayCallbackMessage, 1, mouse);
}

void VexelProcess::TrayRightClick() {
  for (UINT mouse : {WM_RBUTTONDOWN, WM_RBUTTONUP})
    PostMessageA(TrayWindow(), kTrayCallbackMessage, 1, mouse);
}

void VexelProcess::Click(std::string_view control) {
  PostMessageA(PropertiesControl(control), BM_CLICK, 0, 0);
}

bool VexelProcess::Checked(std::string_view control) {
  return SendMessageA(PropertiesControl(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool VexelProcess::Enabled(std::string_view control) {
  return IsWindowEnabled(PropertiesControl(control));
}

namespace {

// The window that the grid answers: it keeps the bytes of a WM_COPYDATA.
LRESULT CALLBACK GridReaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_COPYDATA) return DefWindowProcA(hwnd, message, wParam, lParam);
  auto* answer = reinterpret_cast<std::string*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (answer && data->lpData) answer->assign(static_cast<const char*>(data->lpData), data->cbData);
  return TRUE;
}

}  // namespace

std::optional<std::string> VexelProcess::AskGrid(UINT message, size_t row) {
  static const ATOM readerClass = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = GridReaderProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VexelGridReader";
    return RegisterClassA(&windowClass);
  }();
  (void)readerClass;
  // The answer comes while this thread waits in SendMessage: a message sent
  // by another thread to a window of this one is handled meanwhile.
  HWND reader = CreateWindowExA(0, "VexelGridReader", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  std::string answer;
  SetWindowLongPtrA(reader, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answer));
  const LRESULT answered = SendMessageA(PropertiesControl("ValueListEditor1"), message, row,
                                        reinterpret_cast<LPARAM>(reader));
  DestroyWindow(reader);
  if (!answered) return std::nullopt;
  return answer;
}

std::vector<std::string> VexelProcess::GridRows() {
  std::vector<std::string> rows;
  const LRESULT count = SendMessageA(PropertiesControl("ValueListEditor1"), kGridGetRowCount, 0, 0);
  for (LRESULT row = 0; row < count; ++row)
    rows.push_back(AskGrid(kGridGetRowText, static_cast<size_t>(row)).value_or("?"));
  return rows;
}

bool VexelProcess::ClickGridButton(size_t row) {
  const std::optional<std::string> answer = AskGrid(kGridGetButtonRect, row);
  std::int32_t corners[4];
  if (!answer || answer->size() != sizeof corners) return false;
  std::memcpy(corners, answer->data(), sizeof corners);
  return MouseClickOn(PropertiesControl("ValueListEditor1"),
                      {(corners[0] + corners[2]) / 2, (corners[1] + corners[3]) / 2});
}

HWND VexelProcess::WaitWindow(const std::string& title, unsigned timeoutMs) {
  return WaitTopWindow(info_.dwProcessId, title, timeoutMs);
}

std::optional<DialogInfo> VexelProcess::WaitDialog(const std::string& title, unsigned timeoutMs) {
  HWND dialog = WaitTopWindow(info_.dwProcessId, title, timeoutMs, "#32770");
  if (!dialog) return std::nullopt;
  return DialogInfo{dialog, title, Text(GetDlgItem(dialog, 0xFFFF))};  // a message box's text
}

void VexelProcess::Press(HWND dialog, int button) {
  PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

void VexelProcess::ChooseFile(HWND dialog, const std::string& path) {
  // The file name box of the Explorer-style dialog (a combo box, or an edit).
  for (int id : {1148, 1152})
    if (HWND box = GetDlgItem(dialog, id))
      SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  Press(dialog, IDOK);
}

void EndLeftoverVexels() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (_stricmp(entry.szExeFile, "Vexel.exe") != 0) continue;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 10000);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
}

bool HasWindowTitled(DWORD processId, const std::string& title) {
  return CountTopWindows(processId, title) > 0;
}

}  // namespace vexel::test
