// vexel_linux_bench: figures of the real vexel on Linux, with this program
// playing the phone on the master of a pty pair.
//   key report to action start: from the write of "+CKEV: 5,1" to the
//     moment the key's command line (sh, "printf x > FIFO") writes; p50/p99
//   idle CPU with the link up and the keep-alive on, from the scheduler's
//     run time (/proc/PID/schedstat), and resident and anonymous memory
//   the focused program's lookup that a key of a program's map costs, on
//     the display named by DISPLAY, p50/p99 of 400 lookups 20 ms apart
// With --peer "COMMAND" (a program that opens the pty named by %s and runs
// the action %k on key 5), the same figures for it, side by side; without
// it, anyRemote in AT mode when the anyremote package is installed.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "actions/linux/ActionPlatformLinux.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t rank = static_cast<std::size_t>(fraction * values.size() + 0.999999);
  return values[std::min(values.size(), std::max<std::size_t>(rank, 1)) - 1];
}

struct Figures {
  double p50 = 0, p99 = 0, idleCpuPercent = 0;
  long rssKb = 0, anonKb = 0;
  int presses = 0;
  bool ok = false;
};

long StatusKb(pid_t pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

unsigned long long RunNs(pid_t pid) {
  std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
  unsigned long long ns = 0;
  schedstat >> ns;
  return ns;
}

// The phone on the master: answers every AT command line with OK.
class Phone {
 public:
  explicit Phone(int master) : master_(master) {}
  // Reads what came and answers; waits at most ms. True when AT+CMER came.
  bool Serve(int ms) {
    pollfd in{master_, POLLIN, 0};
    if (poll(&in, 1, ms) <= 0) return false;
    char buffer[512];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<std::size_t>(n));
    bool cmer = false;
    for (std::size_t end; (end = pending_.find('\r')) != std::string::npos;) {
      const std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (line.find("AT") == std::string::npos) continue;
      cmer = cmer || line.find("AT+CMER=") != std::string::npos;
      Write("\r\nOK\r\n");
    }
    return cmer;
  }
  void Write(const std::string& text) {
    [[maybe_unused]] ssize_t n = write(master_, text.data(), text.size());
  }

 private:
  int master_;
  std::string pending_;
};

Figures Measure(const std::string& name, const std::vector<std::string>& argv, int master,
                const std::string& fifo, int presses, int idleSeconds) {
  Figures figures;
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    // As users run it: started by root, without root's powers.
    std::vector<std::string> command = argv;
    if (geteuid() == 0)
      command.insert(command.begin(), {"setpriv", "--bounding-set=-all", "--inh-caps=-all", "--"});
    std::vector<char*> args;
    for (const std::string& arg : command) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  Phone phone(master);
  bool up = false;
  for (auto end = Clock::now() + std::chrono::seconds(10); !up && Clock::now() < end;)
    up = phone.Serve(100);
  // Answer what else comes while the program settles.
  for (auto end = Clock::now() + std::chrono::milliseconds(500); Clock::now() < end;)
    phone.Serve(50);
  if (!up) {
    std::fprintf(stderr, "%s: no AT+CMER within 10 s\n", name.c_str());
  } else {
    const int actions = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    std::vector<double> latencies;
    for (int i = 0; i < presses; ++i) {
      const auto start = Clock::now();
      phone.Write("\r\n+CKEV: 5,1\r\n");
      pollfd in{actions, POLLIN, 0};
      if (poll(&in, 1, 2000) > 0) {
        latencies.push_back(Ms(Clock::now() - start));
        char drain[64];
        while (read(actions, drain, sizeof drain) > 0) {
        }
      }
      phone.Write("\r\n+CKEV: 5,0\r\n");
      phone.Serve(20);
    }
    close(actions);
    figures.presses = static_cast<int>(latencies.size());
    figures.p50 = Percentile(latencies, 0.5);
    figures.p99 = Percentile(latencies, 0.99);
    // Idle: only the keep-alive (every 5 s) is answered.
    for (auto end = Clock::now() + std::chrono::seconds(1); Clock::now() < end;) phone.Serve(100);
    const unsigned long long before = RunNs(pid);
    const auto start = Clock::now();
    for (auto end = start + std::chrono::seconds(idleSeconds); Clock::now() < end;)
      phone.Serve(200);
    const double elapsedNs = Ms(Clock::now() - start) * 1e6;
    figures.idleCpuPercent = 100.0 * static_cast<double>(RunNs(pid) - before) / elapsedNs;
    figures.rssKb = StatusKb(pid, "VmRSS:");
    figures.anonKb = StatusKb(pid, "RssAnon:");
    figures.ok = figures.presses == presses;
  }
  kill(pid, SIGTERM);
  for (int i = 0; i < 300 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) {
    phone.Serve(10);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return figures;
}

// The lookup of the focused window as vexel makes it for a key that a
// program's map acts on.
void PrintFocusLookup() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return;
  vexel::ActionPlatformLinux platform(nullptr);
  const vexel::FocusedWindow first = platform.FocusedProgram();
  std::vector<double> lookups;
  for (int i = 0; i < 400; ++i) {
    const auto start = Clock::now();
    platform.FocusedProgram();
    lookups.push_back(Ms(Clock::now() - start));
    usleep(20000);
  }
  std::printf("focused program lookup on %s (%s): p50 %.3f ms  p99 %.3f ms\n", display,
              first.programFile.empty() ? "no window" : first.programFile.c_str(),
              Percentile(lookups, 0.5), Percentile(lookups, 0.99));
}

void Print(const char* name, const Figures& f) {
  std::printf(
      "%-10s presses %4d  p50 %6.2f ms  p99 %6.2f ms  idle CPU %8.5f %%  RSS %6ld kB  "
      "anon %6ld kB\n",
      name, f.presses, f.p50, f.p99, f.idleCpuPercent, f.rssKb, f.anonKb);
}

}  // namespace

int main(int argc, char** argv) {
  int presses = 200, idleSeconds = 60;
  std::string peer;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--presses" || arg == "--idle-seconds" || arg == "--peer") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (arg == "--peer")
        peer = value;
      else
        (arg == "--presses" ? presses : idleSeconds) = std::max(1, std::atoi(value.c_str()));
    } else {
      std::printf(
          "usage: vexel_linux_bench [--presses N (200)] [--idle-seconds S (60)] "
          "[--peer \"COMMAND with %%s for the pty and %%k for the action\"]\n"
          "Targets: p50 <= 5 ms, p99 <= 10 ms, idle CPU < 0.01 %%, anonymous memory < 2 MB.\n");
      return arg == "--help" ? 0 : 2;
    }
  }
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vexel-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string fifo = (folder / "actions").string();
  mkfifo(fifo.c_str(), 0600);
  const std::string action = "printf x > " + fifo;

  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return 1;
  const std::string tty = ttyname(slave);
  termios raw{};
  tcgetattr(master, &raw);
  cfmakeraw(&raw);
  tcsetattr(master, TCSANOW, &raw);
  close(slave);

  std::ofstream((folder / "Vexel.ini").string())
      << "[params]\r\nport=" << tty << " (etc)\r\nphone=0\r\nKeysFile=bench.km\r\nreconnect=1\r\n";
  // Key 5 also in a program's map, which applies to no window here: every
  // press looks up the focused program (on a display, when DISPLAY is set).
  std::ofstream((folder / "bench.km").string())
      << "[Keys]\r\n\"5\"=DOWN (*1 #" << action << "*)\r\n"
      << "[Keys vexel-bench-no-such-program]\r\n\"5\"=DOWN (*1 #true*)\r\n";
  std::printf("vexel: %d presses, %d s idle on %s\n", presses, idleSeconds, tty.c_str());
  const Figures vexel =
      Measure("vexel", {VEXEL_EXE, "run", "--ini", (folder / "Vexel.ini").string()}, master, fifo,
              presses, idleSeconds);
  Print("vexel", vexel);
  PrintFocusLookup();
  bool ok = vexel.ok;
  std::string peerName = "peer";
  if (peer.empty() && std::system("command -v anyremote >/dev/null 2>&1") == 0) {
    // anyRemote in AT mode, with an Exec of the same action on the same key.
    const std::string config = (folder / "anyremote.cfg").string();
    std::ofstream(config) << "[Protocol]=AT\n5=Exec(" << action << ")\n[End]\n";
    peer = "anyremote -f " + config + " -s %s";
    peerName = "anyRemote";
  }
  if (!peer.empty()) {
    // The peer gets a fresh pty of the same kind.
    close(master);
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return 1;
    const std::string peerTty = ttyname(slave);
    tcsetattr(master, TCSANOW, &raw);
    close(slave);
    std::string command = peer;
    for (std::size_t at; (at = command.find("%s")) != std::string::npos;)
      command.replace(at, 2, peerTty);
    for (std::size_t at; (at = command.find("%k")) != std::string::npos;)
      command.replace(at, 2, action);
    const Figures other =
        Measure(peerName, {"/bin/sh", "-c", "exec " + command}, master, fifo, presses, idleSeconds);
    Print(peerName.c_str(), other);
  }
  close(master);
  std::filesystem::remove_all(folder);
  return ok ? 0 : 1;
}
