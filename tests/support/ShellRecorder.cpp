#include "ShellRecorder.h"

#include <windows.h>

#include <fstream>

namespace vexel::test {

namespace {

bool UnderWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

HKEY ClassesRoot() { return UnderWine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

std::string ClassesPath(const std::string& key) { return "Software\\Classes\\" + key; }

const char* ValueName(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

bool KeyExists(const std::string& key) {
  HKEY handle;
  if (RegOpenKeyExA(ClassesRoot(), ClassesPath(key).c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

// The outermost key of the path that does not exist yet; empty if all do.
std::string FirstMissingKey(const std::string& key) {
  for (size_t end = key.find('\\');; end = key.find('\\', end + 1)) {
    const std::string prefix = key.substr(0, end);
    if (!KeyExists(prefix)) return prefix;
    if (end == std::string::npos) return {};
  }
}

}  // namespace

ShellRecorder::ShellRecorder(std::string recordFile) : recordFile_(std::move(recordFile)) {
  DeleteFileA(recordFile_.c_str());
  SetEnvironmentVariableA("VEXEL_SHELL_RECORD", recordFile_.c_str());
}

ShellRecorder::~ShellRecorder() {
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    const std::string path = ClassesPath(change->key);
    if (!change->createdKey.empty()) {
      const std::string created = ClassesPath(change->createdKey);
      RegDeleteTreeA(ClassesRoot(), created.c_str());  // what is under the key
      RegDeleteKeyA(ClassesRoot(), created.c_str());   // and the key itself
    } else if (change->hadValue) {
      RegSetKeyValueA(ClassesRoot(), path.c_str(), ValueName(change->name), REG_SZ,
                      change->oldValue.c_str(), static_cast<DWORD>(change->oldValue.size() + 1));
    } else {
      RegDeleteKeyValueA(ClassesRoot(), path.c_str(), ValueName(change->name));
    }
  }
  SetEnvironmentVariableA("VEXEL_SHELL_RECORD", nullptr);
}

void ShellRecorder::SetValue(const std::string& key, const std::string& name,
                             const std::string& value) {
  Change change{key, name, FirstMissingKey(key), false, {}};
  HKEY handle;
  if (RegCreateKeyExA(ClassesRoot(), ClassesPath(key).c_str(), 0, nullptr, 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return;
  char old[2048];
  DWORD size = sizeof old - 1;
  DWORD type = 0;
  if (RegQueryValueExA(handle, ValueName(name), nullptr, &type, reinterpret_cast<BYTE*>(old),
                       &size) == ERROR_SUCCESS &&
      type == REG_SZ) {
    change.hadValue = true;
    change.oldValue.assign(old, size > 0 && old[size - 1] == '\0' ? size - 1 : size);
  }
  RegSetValueExA(handle, ValueName(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  changes_.push_back(std::move(change));
}

std::string ShellRecorder::RecorderPath() {
  // Built beside the tests; under Wine the build's unix path is on drive Z.
  std::string path = VEXEL_SHELLRECORDER_EXE;
  if (path.front() == '/') path = "Z:" + path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

void ShellRecorder::SetCommand(const std::string& classKey) {
  SetValue(classKey + "\\shell\\open\\command", "", "\"" + RecorderPath() + "\" \"%1\"");
}

void ShellRecorder::RegisterExtension(const std::string& extension) {
  const std::string progId = "VexelTest" + extension;
  SetValue(extension, "", progId);
  SetCommand(progId);
}

void ShellRecorder::RegisterProtocol(const std::string& protocol) {
  SetValue(protocol, "", "URL:" + protocol);
  SetValue(protocol, "URL Protocol", "");
  SetCommand(protocol);
}

std::vector<std::string> ShellRecorder::Lines() const {
  std::vector<std::string> lines;
  std::ifstream file(recordFile_, std::ios::binary);
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ShellRecorder::WaitForLines(size_t count, unsigned timeoutMs) const {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  std::vector<std::string> lines = Lines();
  while (lines.size() < count && GetTickCount64() < deadline) {
    Sleep(50);
    lines = Lines();
  }
  return lines;
}

}  // namespace vexel::test
