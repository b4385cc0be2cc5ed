#include "VexelDriver.h"

#include <tlhelp32.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vexel::test {

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;  // the tray icon's call-back message of the main window
const char kMainClass[] = "VexelMobPropsForm";

}  // namespace

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
  if (Running() && main_ && IsWindow(main_)) {
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

HWND VexelProcess::MainWindow(unsigned timeoutMs) {
  if (main_ && IsWindow(main_)) return main_;
  WaitFor(
      [&] {
        for (HWND hwnd = FindWindowExA(nullptr, nullptr, kMainClass, nullptr); hwnd;
             hwnd = FindWindowExA(nullptr, hwnd, kMainClass, nullptr)) {
          DWORD pid = 0;
          GetWindowThreadProcessId(hwnd, &pid);
          if (pid == info_.dwProcessId) main_ = hwnd;
        }
        return main_ != nullptr;
      },
      timeoutMs);
  return main_;
}

HWND VexelProcess::PropertiesControl(std::string_view name) {
  return GetDlgItem(MainWindow(), ControlId(kPropertiesControls, name));
}

void VexelProcess::Menu(std::string_view item) {
  PostMessageA(MainWindow(), WM_COMMAND, MAKEWPARAM(ControlId(kPropertiesControls, item), 0), 0);
}

void VexelProcess::TrayDoubleClick() {
  PostMessageA(MainWindow(), kTrayMessage, 1, WM_LBUTTONDOWN);
  PostMessageA(MainWindow(), kTrayMessage, 1, WM_LBUTTONUP);
  PostMessageA(MainWindow(), kTrayMessage, 1, WM_LBUTTONDBLCLK);
  PostMessageA(MainWindow(), kTrayMessage, 1, WM_LBUTTONUP);
}

void VexelProcess::TrayRightClick() {
  PostMessageA(MainWindow(), kTrayMessage, 1, WM_RBUTTONDOWN);
  PostMessageA(MainWindow(), kTrayMessage, 1, WM_RBUTTONUP);
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

LRESULT VexelProcess::SendWithBuffer(HWND window, UINT message, WPARAM wParam, void* buffer,
                                     size_t size) {
  // The buffer crosses into Vexel's memory and back.
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               info_.dwProcessId);
  void* remote = VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  WriteProcessMemory(process, remote, buffer, size, nullptr);
  const LRESULT result = SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(remote));
  ReadProcessMemory(process, remote, buffer, size, nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return result;
}

std::vector<std::string> VexelProcess::GridRows() {
  HWND grid = PropertiesControl("ValueListEditor1");
  std::vector<std::string> rows;
  const LRESULT count = SendMessageA(grid, kGridGetRowCount, 0, 0);
  std::string text(kGridMaxRowText, '\0');
  for (LRESULT row = 0; row < count; ++row) {
    const LRESULT length =
        SendWithBuffer(grid, kGridGetRowText, static_cast<WPARAM>(row), text.data(), text.size());
    rows.push_back(text.substr(0, static_cast<size_t>(length)));
  }
  return rows;
}

bool VexelProcess::ClickGridButton(size_t row) {
  RECT button{};
  if (!SendWithBuffer(PropertiesControl("ValueListEditor1"), kGridGetButtonRect, row, &button,
                      sizeof button))
    return false;
  return MouseClickOn(PropertiesControl("ValueListEditor1"),
                      {(button.left + button.right) / 2, (button.top + button.bottom) / 2});
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
