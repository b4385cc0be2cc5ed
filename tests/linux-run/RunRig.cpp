#include "RunRig.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace vexel::test {

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string ReadFile(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

std::filesystem::path programs;  // the folder of the copies; empty: run them from the build

class OrdinaryUser : public ::testing::Environment {
 public:
  void SetUp() override {
    if (geteuid() != 0) return;
    const passwd* user = getpwnam("nobody");
    ASSERT_NE(user, nullptr);
    programs = std::filesystem::temp_directory_path() / ("vexel-run-" + std::to_string(getpid()));
    std::filesystem::create_directories(programs);
    for (const char* built : {VEXEL_EXE, PHONESIM_EXE, BUSSTANDIN_EXE})
      std::filesystem::copy_file(built, programs / std::filesystem::path(built).filename());
    ASSERT_EQ(chown(programs.c_str(), user->pw_uid, user->pw_gid), 0);
    ASSERT_EQ(setgroups(0, nullptr), 0);
    ASSERT_EQ(setresgid(user->pw_gid, user->pw_gid, user->pw_gid), 0);
    ASSERT_EQ(setresuid(user->pw_uid, user->pw_uid, user->pw_uid), 0);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!programs.empty()) std::filesystem::remove_all(programs, ignored);
  }
};
const auto* const kOrdinaryUser = ::testing::AddGlobalTestEnvironment(new OrdinaryUser);

}  // namespace

std::string Program(const char* built) {
  return programs.empty() ? built : (programs / std::filesystem::path(built).filename()).string();
}

void Process::Start(const std::vector<std::string>& argv, const std::string& outFile,
                    bool withInput, const std::vector<std::string>& env) {
  int pipeFds[2] = {-1, -1};
  if (withInput && pipe2(pipeFds, O_CLOEXEC) != 0) return;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    setsid();
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(out, 1);
    dup2(out, 2);
    const int in = withInput ? pipeFds[0] : open("/dev/null", O_RDONLY);
    dup2(in, 0);
    for (const std::string& assignment : env) putenv(const_cast<char*>(assignment.c_str()));
    execvp(args[0], args.data());
    _exit(127);
  }
  if (withInput) {
    close(pipeFds[0]);
    input_ = pipeFds[1];
  }
}

void Process::Send(const std::string& line) {
  const std::string text = line + "\n";
  if (input_ >= 0) [[maybe_unused]]
    ssize_t n = write(input_, text.data(), text.size());
}

void Process::Signal(int signal) {
  if (pid_ > 0) kill(pid_, signal);
}

int Process::Wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  for (int waited = 0;; waited += 10) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      if (input_ >= 0) close(input_);
      input_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (waited >= timeoutMs) return -1;
    SleepMs(10);
  }
}

void Process::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  Wait(5000);
}

RunRig::RunRig() {
  const std::string bin = folder.File("bin");
  mkdir(bin.c_str(), 0755);
  // Recorders: a line per call; systemctl refuses to power off.
  for (const char* name : {"xdg-open", "systemctl"}) {
    const std::string path = bin + "/" + name;
    std::ofstream(path) << "#!/bin/sh\necho \"" << name << " $*\" >> " << folder.File("trace")
                        << "\n[ \"$1\" = poweroff ] && exit 1\nexit 0\n";
    chmod(path.c_str(), 0755);
  }
}

RunRig::~RunRig() {
  vexel.Kill();
  phone.Kill();
  line.Kill();
  standIn.Kill();
  bus.Kill();
}

void RunRig::StartLine() { StartPair(line, A(), B()); }

void RunRig::StartPair(Process& pair, const std::string& a, const std::string& b) {
  pair.Start({"socat", "pty,raw,echo=0,link=" + a, "pty,raw,echo=0,link=" + b},
             folder.File("socat.log"));
  for (int i = 0; i < 300 && (access(a.c_str(), F_OK) || access(b.c_str(), F_OK)); ++i) SleepMs(10);
}

void RunRig::CutLine() {
  line.Signal(SIGTERM);
  line.Wait(5000);
  for (int i = 0; i < 300 && access(A().c_str(), F_OK) == 0; ++i) SleepMs(10);
}

void RunRig::StartPhone(const std::vector<std::string>& options) {
  std::vector<std::string> argv = {Program(PHONESIM_EXE), "-l", folder.File("phone.log")};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(B());
  phone.Start(argv, folder.File("phone.out"), true);
}

void RunRig::Settings(const std::string& params, const std::string& keys) {
  folder.Write("Vexel.ini", "[params]\r\nport=" + A() + " (etc)\r\nKeysFile=phone.km\r\n" + params);
  folder.Write("phone.km", "[Keys]\r\n" + keys);
}

void RunRig::StartBus(const std::string& modemPort) {
  busAddress_ = "unix:path=" + folder.File("bus");
  bus.Start({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + busAddress_},
            folder.File("bus.log"));
  for (int i = 0; i < 300 && access(folder.File("bus").c_str(), F_OK); ++i) SleepMs(10);
  std::vector<std::string> argv = {Program(BUSSTANDIN_EXE), folder.File("trace"),
                                   folder.File("notices")};
  if (!modemPort.empty()) argv.push_back(modemPort);
  standIn.Start(argv, folder.File("standin.log"), false,
                {"DBUS_SESSION_BUS_ADDRESS=" + busAddress_});
  WaitFor("standin.log", "ready");
}

std::vector<std::string> RunRig::VexelEnv() const {
  // The buses and the runtime and state folders are the rig's: no notice
  // reaches the desktop of whoever runs the tests, and nothing is left in
  // their home.
  std::vector<std::string> env = {"PATH=" + folder.File("bin") + ":" + std::getenv("PATH"),
                                  "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder.File("bus"),
                                  "XDG_RUNTIME_DIR=" + folder.File(""),
                                  "XDG_STATE_HOME=" + folder.File("state")};
  env.push_back(busAddress_.empty() ? "INVOCATION_ID=" : "INVOCATION_ID=0123456789abcdef");
  if (!busAddress_.empty()) env.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + busAddress_);
  return env;
}

void RunRig::StartVexel(const std::vector<std::string>& args, const std::vector<std::string>& env,
                        const std::vector<std::string>& prefix) {
  std::vector<std::string> argv = prefix;
  argv.push_back(Program(VEXEL_EXE));
  argv.insert(argv.end(), args.begin(), args.end());
  argv.insert(argv.end(), {"--ini", folder.File("Vexel.ini")});
  std::vector<std::string> environment = VexelEnv();
  environment.insert(environment.end(), env.begin(), env.end());
  vexel.Start(argv, folder.File("vexel.log"), false, environment);
}

bool RunRig::LinkUp(const std::string& keys, const std::vector<std::string>& env,
                    const std::string& params) {
  StartLine();
  StartPhone();
  Settings(params, keys);
  StartVexel({"run"}, env);
  return WaitFor("vexel.log", "link up");
}

std::string RunRig::Read(const std::string& name) const { return ReadFile(folder.File(name)); }

bool RunRig::WaitFor(const std::string& name, const std::string& text, int timeoutMs,
                     int count) const {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    if (Count(Read(name), text) >= static_cast<std::size_t>(count)) return true;
    SleepMs(10);
  }
  return false;
}

int RunVexel(const std::vector<std::string>& args, std::string& output,
             const std::vector<std::string>& env) {
  TempFolder folder;
  Process process;
  std::vector<std::string> argv = {Program(VEXEL_EXE)};
  argv.insert(argv.end(), args.begin(), args.end());
  process.Start(argv, folder.File("out"), false, env);
  const int status = process.Wait(10000);
  output = ReadFile(folder.File("out"));
  return status;
}

}  // namespace vexel::test
