#include "VexelDriver.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vexel::test {

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;  // the tray icon's call-back message of the main window
const char kMainClass[] = "VexelMobPropsForm";

std::string WindowText(HWND hwnd) {
  char text[4096] = "";
  // WM_GETTEXT rather than GetWindowText: it reads controls of other processes too.
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

std::string ClassName(HWND hwnd) {
  char name[256] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

// A path of the build (a Unix path) as Windows programs see it.
std::string WindowsPath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

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
  if (!PumpUntil([&] { return !Running(); }, timeoutMs)) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

HWND VexelProcess::MainWindow(unsigned timeoutMs) {
  if (main_ && IsWindow(main_)) return main_;
  PumpUntil(
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

std::vector<std::string> VexelProcess::GridRows() {
  HWND grid = PropertiesControl("ValueListEditor1");
  std::vector<std::string> rows;
  const LRESULT count = SendMessageA(grid, kGridGetRowCount, 0, 0);
  for (LRESULT row = 0; row < count; ++row) {
    // The text crosses into this process through a buffer in Vexel's memory.
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                 info_.dwProcessId);
    void* remote = VirtualAllocEx(process, nullptr, kGridMaxRowText, MEM_COMMIT, PAGE_READWRITE);
    const LRESULT length =
        SendMessageA(grid, kGridGetRowText, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
    std::string text(static_cast<size_t>(length), '\0');
    ReadProcessMemory(process, remote, text.data(), text.size(), nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    rows.push_back(text);
  }
  return rows;
}

std::optional<DialogInfo> VexelProcess::WaitDialog(const std::string& title, unsigned timeoutMs) {
  DialogInfo found;
  struct Search {
    DWORD pid;
    const std::string* title;
    HWND hwnd;
  } search{info_.dwProcessId, &title, nullptr};
  const bool appeared = PumpUntil(
      [&] {
        search.hwnd = nullptr;
        EnumWindows(
            [](HWND hwnd, LPARAM lp) -> BOOL {
              auto* s = reinterpret_cast<Search*>(lp);
              DWORD pid = 0;
              GetWindowThreadProcessId(hwnd, &pid);
              if (pid != s->pid || !IsWindowVisible(hwnd) || ClassName(hwnd) != "#32770")
                return TRUE;
              if (WindowText(hwnd) != *s->title) return TRUE;
              s->hwnd = hwnd;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.hwnd != nullptr;
      },
      timeoutMs);
  if (!appeared) return std::nullopt;
  found.hwnd = search.hwnd;
  found.title = title;
  found.text = WindowText(GetDlgItem(search.hwnd, 0xFFFF));  // a message box's text
  return found;
}

void VexelProcess::Press(HWND dialog, int button) {
  PostMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

void VexelProcess::ChooseFile(HWND dialog, const std::string& path) {
  // The file name box of the Explorer-style dialog (a combo box, or an edit).
  for (int id : {1148, 1152})
    if (HWND box = GetDlgItem(dialog, id)) SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  Press(dialog, IDOK);
}

bool HasWindowTitled(DWORD processId, const std::string& title) {
  struct Search {
    DWORD pid;
    const std::string* title;
    bool found;
  } search{processId, &title, false};
  EnumWindows(
      [](HWND hwnd, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s->pid && IsWindowVisible(hwnd) && WindowText(hwnd) == *s->title) s->found = true;
        return !s->found;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace vexel::test
