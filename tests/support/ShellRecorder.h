// Makes shellrecorder.exe the program that the shell opens a file
// extension or a URL protocol with, so that a test can see what was opened:
// for the current user (HKCU\Software\Classes) on Windows; under Wine,
// which does not merge the user's classes into HKEY_CLASSES_ROOT, in the
// prefix's machine classes (HKLM\Software\Classes). Everything it wrote is
// put back as it was when the object goes.
#pragma once

#include <string>
#include <vector>

namespace vexel::test {

class ShellRecorder {
 public:
  // The recorder appends to recordFile (a Windows path): set as
  // VEXEL_SHELL_RECORD in this process, so the programs it starts inherit it.
  explicit ShellRecorder(std::string recordFile);
  ~ShellRecorder();
  ShellRecorder(const ShellRecorder&) = delete;
  ShellRecorder& operator=(const ShellRecorder&) = delete;

  // The full Windows path of shellrecorder.exe.
  static std::string RecorderPath();

  // ".vxtest": documents with this extension open in the recorder.
  void RegisterExtension(const std::string& extension);
  // "mailto": URLs of this protocol open in the recorder.
  void RegisterProtocol(const std::string& protocol);

  // The command lines recorded so far, one per start.
  std::vector<std::string> Lines() const;
  // Lines() once it holds at least count lines, or when timeoutMs has passed.
  std::vector<std::string> WaitForLines(size_t count, unsigned timeoutMs = 20000) const;

 private:
  struct Change {
    std::string key;         // under the classes root
    std::string name;        // value name; empty for the default value
    std::string createdKey;  // the outermost key this change made: remove it
    bool hadValue;           // else: put the old value back, or delete ours
    std::string oldValue;
  };
  void SetValue(const std::string& key, const std::string& name, const std::string& value);
  void SetCommand(const std::string& classKey);

  std::string recordFile_;
  std::vector<Change> changes_;
};

}  // namespace vexel::test
