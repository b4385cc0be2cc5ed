// shellrecorder.exe: a stand-in for the program that the shell starts for a
// document or a URL. Each start appends its command line, less its own
// name, as one line to the file named by the environment variable
// VEXEL_SHELL_RECORD, or else to shellrecorder.log beside the program.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char path[MAX_PATH * 2];
  DWORD length = GetEnvironmentVariableA("VEXEL_SHELL_RECORD", path, sizeof path);
  if (length == 0 || length >= sizeof path) {
    length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string beside(path, length);
    beside.erase(beside.find_last_of('\\') + 1);
    lstrcpynA(path, (beside + "shellrecorder.log").c_str(), sizeof path);
  }
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const std::string line = std::string(commandLine) + "\r\n";
  DWORD written = 0;
  const BOOL done =
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return done && written == line.size() ? 0 : 1;
}
