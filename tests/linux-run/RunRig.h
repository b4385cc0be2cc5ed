// A rig for the real vexel: a socat pty pair (ends A and B in a fresh
// folder), phonesim on B taking commands on its standard input, vexel on A
// with a settings file and keys file of the test, and recorders of xdg-open
// and systemctl first in PATH that append "<name> <args>" to the trace.
#pragma once

#include <string>
#include <vector>

#include "../core/TempFolder.h"

namespace vexel::test {

class Process {
 public:
  Process() = default;
  ~Process() { Kill(); }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  // Starts argv with its standard output and error into outFile; with
  // withInput, a pipe to its standard input (else /dev/null).
  void Start(const std::vector<std::string>& argv, const std::string& outFile,
             bool withInput = false, const std::vector<std::string>& env = {});
  bool Running() const { return pid_ > 0; }
  int Pid() const { return pid_; }
  void Send(const std::string& line);  // a line to its standard input
  void Signal(int signal);
  // Its exit status (128 + signal when killed), or -1 when it is still
  // running after timeoutMs.
  int Wait(int timeoutMs);
  void Kill();

 private:
  int pid_ = -1;
  int input_ = -1;
};

class RunRig {
 public:
  RunRig();
  ~RunRig();
  TempFolder folder;
  std::string A() const { return folder.File("A"); }
  std::string B() const { return folder.File("B"); }

  void StartLine();  // the socat pair
  // Another socat pair, its ends at the paths a and b.
  void StartPair(Process& pair, const std::string& a, const std::string& b);
  void CutLine();  // the pair killed: both ends gone
  void StartPhone(const std::vector<std::string>& options = {});
  void Settings(const std::string& params, const std::string& keys);
  // vexel with these arguments (after the command word) and PATH led by bin/,
  // started through the prefix command when there is one (nohup, sh -c).
  void StartVexel(const std::vector<std::string>& args = {"run"},
                  const std::vector<std::string>& env = {},
                  const std::vector<std::string>& prefix = {});
  // The line, the phone, these keys and "vexel run": whether it linked up.
  bool LinkUp(const std::string& keys, const std::vector<std::string>& env = {},
              const std::string& params = "");
  // An action that appends the words to the file: (*1 #echo WORDS >> FILE*).
  std::string Echo(const std::string& words, const std::string& file = "trace") const {
    return "(*1 #echo " + words + " >> " + folder.File(file) + "*)";
  }

  // A private bus (dbus-daemon) with the stand-in for the systemd user
  // manager, the desktop's notifications and logind (standin/BusStandIn.cpp) and,
  // given a port, for ModemManager with a modem that has it; the stand-in's
  // calls go to the trace, the notices to "notices". vexel's user and system
  // bus from then on, and vexel runs as the user manager's service
  // (INVOCATION_ID).
  void StartBus(const std::string& modemPort = "");
  std::vector<std::string> VexelEnv() const;  // for a vexel started by hand

  std::string VexelLog() const { return Read("vexel.log"); }
  std::string PhoneLog() const { return Read("phone.log"); }
  std::string Trace() const { return Read("trace"); }
  std::string Read(const std::string& name) const;
  // Waits until the file holds text count times; false after timeoutMs.
  bool WaitFor(const std::string& name, const std::string& text, int timeoutMs = 5000,
               int count = 1) const;

  Process line, phone, vexel, bus, standIn;

 private:
  std::string busAddress_;
};

// A program under test (VEXEL_EXE, ...) as the tests run it. They run as
// users run vexel: started by root (CI), the test program becomes the
// ordinary user nobody before its first test, and runs copies of the
// programs from a folder of nobody's (the build may lie out of its reach).
std::string Program(const char* built);

// vexel run as the user starts it, to completion: exit status and output.
int RunVexel(const std::vector<std::string>& args, std::string& output,
             const std::vector<std::string>& env = {});

}  // namespace vexel::test
