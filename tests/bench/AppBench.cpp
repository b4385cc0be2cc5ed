// Figures of the real Vexel.exe (the packages' copy, without debug
// information, as users run it) in the Wine rig, Vexel on COM27 and the
// simulated phone on COM28:
//   - start-up time to a usable tray icon (the main window's message loop
//     answering; the icon is added before it starts), beside an empty tray
//     program and an empty Win32 program started the same way;
//   - CPU time of an idle Vexel with the link up and keep-alive on;
//   - its memory with the link down and up, beside both of those programs:
//     private bytes, working set and, under Wine, anonymous resident memory
//     (the host's RssAnon, which private bytes do not show under Wine);
//   - key report to action: from the write of "+CKEV: 5,1" on the phone's
//     end to the start of the key's action (a Press of F24, seen by a
//     low-level keyboard hook in this process), the key looked up in the
//     focused program's map first;
//   - that lookup of the focused program alone, as Vexel makes it.
// Run through scripts/wine-run; see --help for the counts.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "NullModemRig.h"
#include "VexelDriver.h"
#include "actions/win32/ActionPlatformWin32.h"

namespace vexel::test {
namespace {

using Clock = std::chrono::steady_clock;

// The floor: the 25 ms of line silence that end the report's chunk.
constexpr double kFloorMs = 25.0;

struct Options {
  int starts = 5;
  int idleSeconds = 60;
  int presses = 200;
};

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PrintSpread(const char* what, const std::vector<double>& values, double floor) {
  const double p50 = Percentile(values, 0.50), p99 = Percentile(values, 0.99);
  std::printf("%s over %zu: p50 %.1f ms, p99 %.1f ms, max %.1f ms", what, values.size(), p50, p99,
              *std::max_element(values.begin(), values.end()));
  if (floor > 0)
    std::printf(" (%.2fx and %.2fx the %.0f ms floor)", p50 / floor, p99 / floor, floor);
  std::printf("\n");
}

// Whether the window's thread handles messages.
bool Answers(HWND window) {
  DWORD_PTR result;
  return window && SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
}

// Transitions of F24 as the low-level keyboard hook sees them.
Clock::time_point f24Down, f24Up;
int f24Downs = 0, f24Ups = 0;

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && key->vkCode == VK_F24) {
    if (key->flags & LLKHF_UP) {
      f24Up = Clock::now();
      ++f24Ups;
    } else {
      f24Down = Clock::now();
      ++f24Downs;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string Settings(bool autostart) {
  return std::string("[params]\r\nport=COM27 (etc)\r\nphone=0\r\nautostart=") +
         (autostart ? "1" : "0") + "\r\nKeysFile=keys.km\r\nreconnect=1\r\n";
}

// How long start-up work may go on after the window answers, before the
// memory is read.
constexpr unsigned kSettleMs = 2000;

struct Figures {
  std::vector<double> startMs;
  MemoryKiB memory{0, 0, -1, -1};  // after the last start, settled
};

void PrintMemory(const char* what, const MemoryKiB& memory) {
  std::printf("memory of %-28s private %6.0f KiB, working set %6.0f KiB, ", what,
              memory.privateBytes, memory.workingSet);
  if (memory.anonResident >= 0)
    std::printf("anonymous resident %6.0f KiB, %.0f thread(s)\n", memory.anonResident,
                memory.threads);
  else
    std::printf("anonymous resident n/a\n");
}

int StartUp(const Options& options, Figures& figures) {
  for (int i = 0; i < options.starts; ++i) {
    TestFolder folder("bench-start");
    folder.Write("Vexel.ini", Settings(false));
    const Clock::time_point start = Clock::now();
    VexelProcess vexel(folder);
    if (!WaitFor([&] { return Answers(vexel.MainWindow(20)); }, 30000)) {
      std::printf("Vexel did not start\n");
      return 1;
    }
    figures.startMs.push_back(MsSince(start));
    if (i + 1 < options.starts) continue;
    WaitFor([] { return false; }, kSettleMs);
    HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, vexel.ProcessId());
    figures.memory = MemoryOfProgram(process, folder.File("Vexel.exe"));
    CloseHandle(process);
  }
  return 0;
}

// The programs Vexel is measured beside: each has one window of its own
// class, which answers once its message loop runs.
struct Baseline {
  const char* what;
  const char* exe;  // beside this benchmark
  const char* windowClass;
  const char* arguments = "";
};
const Baseline kEmptyTray{"the empty tray program", "vexel_empty_tray.exe", "VexelBenchEmptyTray"};
// With as many threads as Vexel's serial port runs while the link is up (the
// receive and the transmit thread), which only wait.
const Baseline kEmptyTrayThreads{"the same with 2 threads", "vexel_empty_tray.exe",
                                 "VexelBenchEmptyTray", " 2"};
const Baseline kEmptyProgram{"the empty program", "vexel_empty_window.exe",
                             "VexelBenchEmptyWindow"};

HWND WindowOf(const char* windowClass, DWORD processId) {
  for (HWND hwnd = FindWindowExA(nullptr, nullptr, windowClass, nullptr); hwnd;
       hwnd = FindWindowExA(nullptr, hwnd, windowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == processId) return hwnd;
  }
  return nullptr;
}

// Starts the program as the driver starts Vexel (its full path, quoted, as
// the command line) until its window answers, the given number of times.
int MeasureBaseline(const Baseline& baseline, int starts, Figures& figures) {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self);
  path = path.substr(0, path.find_last_of('\\') + 1) + baseline.exe;
  std::string commandLine = "\"" + path + "\"" + baseline.arguments;
  for (int i = 0; i < starts; ++i) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const Clock::time_point start = Clock::now();
    if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
      std::printf("cannot start %s (error %lu)\n", path.c_str(), GetLastError());
      return 1;
    }
    const bool answered = WaitFor(
        [&] { return Answers(WindowOf(baseline.windowClass, process.dwProcessId)); }, 30000);
    if (answered) figures.startMs.push_back(MsSince(start));
    if (answered && i + 1 == starts) {
      WaitFor([] { return false; }, kSettleMs);
      figures.memory = MemoryOfProgram(process.hProcess, path);
    }
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (!answered) {
      std::printf("%s (%s) did not start\n", baseline.what, baseline.exe);
      return 1;
    }
  }
  return 0;
}

int LinkUp(const Options& options, MemoryKiB& linkUpMemory) {
  if (!NullModem::FreshCable()) {
    std::printf("no null-modem: run through scripts/wine-run in a booted rig\n");
    return 1;
  }
  TestFolder folder("bench-link");
  folder.Write("Vexel.ini", Settings(true));
  // Key 5 also in a program's map, which applies to no window here: every
  // press looks up the focused program.
  folder.Write("keys.km",
               "[Keys]\r\n\"5\"=DOWN (*2 0 F24*) UP (*2 1 F24*)\r\n"
               "[Keys vexel-bench-no-such-program]\r\n\"5\"=DOWN (*2 2 F23*)\r\n");
  auto phone = std::make_unique<PhoneOnCom28>(phonesim::PhoneOptions{});
  VexelProcess vexel(folder);
  if (!WaitFor([&] { return phone->Count("AT+CMER=3,2,0,0,0\r") > 0; }, 30000)) {
    std::printf("the link did not come up\n");
    return 1;
  }
  WaitFor([] { return false; }, 2000);  // the "OK" handled, the link up

  // Idle, with the keep-alive written every 5 s and answered.
  HANDLE process =
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, vexel.ProcessId());
  const std::string exe = folder.File("Vexel.exe");
  const double cpuBefore = CpuMsOfProgram(process, exe);
  const Clock::time_point idleStart = Clock::now();
  const size_t keepAlivesBefore = phone->Count("AT+CGMI\r");
  WaitFor([] { return false; }, options.idleSeconds * 1000);
  const double idleMs = MsSince(idleStart);
  const double cpu = CpuMsOfProgram(process, exe) - cpuBefore;
  std::printf(
      "idle Vexel.exe with the link up for %.1f s (%zu keep-alives): CPU %.1f ms (%.3f%% of one "
      "core)\n",
      idleMs / 1000, phone->Count("AT+CGMI\r") - keepAlivesBefore, cpu, 100.0 * cpu / idleMs);
  linkUpMemory = MemoryOfProgram(process, exe);
  CloseHandle(process);

  // Key report to action: the phone's end written directly, so the moment
  // of the write is known.
  phone.reset();
  HANDLE com28 = CreateFileA("\\\\.\\COM28", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleA(nullptr), 0);
  if (com28 == INVALID_HANDLE_VALUE || !hook) {
    std::printf("cannot write COM28 or watch the keyboard\n");
    return 1;
  }
  auto write = [&](const char* report) {
    DWORD written;
    WriteFile(com28, report, static_cast<DWORD>(std::strlen(report)), &written, nullptr);
  };
  std::vector<double> latencies;
  for (int i = 0; i < options.presses; ++i) {
    const int downs = f24Downs, ups = f24Ups;
    const Clock::time_point sent = Clock::now();
    write("\r\n+CKEV: 5,1\r\n");
    if (!WaitFor([&] { return f24Downs > downs; }, kDeadlineMs)) {
      std::printf("press %d: no action\n", i + 1);
      return 1;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(f24Down - sent).count());
    write("\r\n+CKEV: 5,0\r\n");
    WaitFor([&] { return f24Ups > ups; }, kDeadlineMs);
    WaitFor([] { return false; }, 30);  // let the line fall silent between presses
  }
  UnhookWindowsHookEx(hook);
  CloseHandle(com28);
  PrintSpread("key report to action, presses", latencies, kFloorMs);
  return 0;
}

// The lookup of the foreground window as Vexel makes it for a key that a
// program's map acts on: 400 lookups 20 ms apart.
void PrintFocusLookup() {
  ActionPlatformWin32 platform;
  const FocusedWindow first = platform.FocusedProgram();
  std::vector<double> lookups;
  for (int i = 0; i < 400; ++i) {
    const Clock::time_point start = Clock::now();
    platform.FocusedProgram();
    lookups.push_back(MsSince(start));
    Sleep(20);
  }
  std::printf("focused program lookup (%s): p50 %.3f ms, p99 %.3f ms\n",
              first.programFile.empty() ? "no window" : first.programFile.c_str(),
              Percentile(lookups, 0.50), Percentile(lookups, 0.99));
}

int Run(const Options& options) {
  Figures vexel, emptyTray, emptyTrayThreads, emptyProgram;
  if (const int failed = StartUp(options, vexel)) return failed;
  if (const int failed = MeasureBaseline(kEmptyTray, options.starts, emptyTray)) return failed;
  if (const int failed = MeasureBaseline(kEmptyTrayThreads, 1, emptyTrayThreads)) return failed;
  if (const int failed = MeasureBaseline(kEmptyProgram, options.starts, emptyProgram))
    return failed;
  PrintSpread("start-up of Vexel.exe to its tray icon, starts", vexel.startMs, 0);
  PrintSpread("start-up of the empty tray program to its tray icon, starts", emptyTray.startMs, 0);
  PrintSpread("start-up of the empty program to its window, starts", emptyProgram.startMs, 0);
  MemoryKiB linkUp{0, 0, -1, -1};
  const int failed = LinkUp(options, linkUp);
  PrintFocusLookup();
  PrintMemory("Vexel.exe, link down:", vexel.memory);
  if (!failed) PrintMemory("Vexel.exe, link up:", linkUp);
  PrintMemory("the empty tray program:", emptyTray.memory);
  PrintMemory("the same with 2 threads:", emptyTrayThreads.memory);
  PrintMemory("the empty program:", emptyProgram.memory);
  if (vexel.memory.anonResident >= 0 && emptyTray.memory.anonResident >= 0) {
    std::printf("Vexel.exe above the empty tray program, anonymous resident: link down %+.0f KiB",
                vexel.memory.anonResident - emptyTray.memory.anonResident);
    if (!failed)
      std::printf(", link up %+.0f KiB (%+.0f KiB above the same with 2 threads)",
                  linkUp.anonResident - emptyTray.memory.anonResident,
                  linkUp.anonResident - emptyTrayThreads.memory.anonResident);
    std::printf("\n");
  }
  return failed;
}

}  // namespace
}  // namespace vexel::test

int main(int argc, char** argv) {
  vexel::test::Options options;
  if (!vexel::test::ParseCounts(argc, argv,
                                {{"--starts", &options.starts},
                                 {"--idle-seconds", &options.idleSeconds},
                                 {"--presses", &options.presses}},
                                "vexel_app_bench [--starts N (5)] [--idle-seconds S (60)] "
                                "[--presses N (200)]"))
    return 2;
  return vexel::test::Run(options);
}
