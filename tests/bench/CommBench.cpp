// Figures of the serial driver in the Wine rig, TComm32 on COM27 and the
// simulated phone on COM28 (in a thread of this process):
//   - the command round trip: WriteData of "AT\r" to the "OK" chunk reaching
//     OnReceiveData, the phone answering at once;
//   - the process's CPU time with the port open and idle;
//   - handles and memory after many OpenPort/ClosePort cycles.
// Run through scripts/wine-run; see --help for the counts.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "Rig.h"

namespace vexel::test {
namespace {

using Clock = std::chrono::steady_clock;

// The floor the design sets for a round trip: the 25 ms read interval that
// ends the reply's chunk plus the transmit thread's 10 ms stop check.
constexpr double kFloorMs = 25.0 + 10.0;

struct Options {
  int roundTrips = 200;
  int idleSeconds = 60;
  int cycles = 1000;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  return ParseCounts(argc, argv,
                     {{"--round-trips", &options.roundTrips},
                      {"--idle-seconds", &options.idleSeconds},
                      {"--cycles", &options.cycles}},
                     "vexel_comm_bench [--round-trips N (200)] [--idle-seconds S (60)]"
                     " [--cycles N (1000)]");
}

// The process's handles. Wine answers GetProcessHandleCount with 0; its
// system-wide handle list (class 64, the extended handle information) has
// the real number.
struct HandleEntry {
  void* object;
  ULONG_PTR processId;
  ULONG_PTR handle;
  ULONG access;
  USHORT creatorBackTrace;
  USHORT typeIndex;
  ULONG attributes;
  ULONG reserved;
};
struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

unsigned long HandleCount() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
  using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  while (query && query(64, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
    if (buffer.size() >= (64u << 20)) return 0;
    buffer.resize(buffer.size() * 2);
  }
  if (!query) return 0;
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  unsigned long mine = 0;
  for (ULONG_PTR i = 0; i < list->count; ++i)
    if (list->entries[i].processId == GetCurrentProcessId()) ++mine;
  return mine;
}

struct Footprint {
  unsigned long handles;
  double privateKiB;
  double workingSetKiB;
};

Footprint Measure() {
  const MemoryKiB memory = MemoryOf(GetCurrentProcess());
  return {HandleCount(), memory.privateBytes, memory.workingSet};
}

int Run(const Options& options) {
  if (!NullModem::FreshCable()) {
    std::printf("no null-modem: run through scripts/wine-run in a booted rig\n");
    return 1;
  }
  phonesim::PhoneOptions phoneOptions;
  phoneOptions.echo = false;
  PhoneOnCom28 phone(phoneOptions);
  if (!phone.Ready()) {
    std::printf("the phone could not open %s\n", kPhonePort);
    return 1;
  }
  TComm32 port;
  port.SetCommPort(kPcPort);
  Clock::time_point answered;
  bool gotOk = false;
  port.SetOnReceiveData([&](void*, const char* buffer, std::uint16_t) {
    if (std::strstr(buffer, "OK")) {
      answered = Clock::now();
      gotOk = true;
    }
  });
  if (!port.OpenPort()) return 1;

  // 1. Round trips (after a few to warm up).
  std::vector<double> trips;
  for (int i = -3; i < options.roundTrips; ++i) {
    gotOk = false;
    const Clock::time_point sent = Clock::now();
    port.WriteData("AT\r", 3);
    if (!WaitFor([&] { return gotOk; })) {
      std::printf("no OK within %d ms\n", kDeadlineMs);
      return 1;
    }
    if (i >= 0) trips.push_back(std::chrono::duration<double, std::milli>(answered - sent).count());
  }
  const double p50 = Percentile(trips, 0.50), p99 = Percentile(trips, 0.99);
  std::printf(
      "round trip \"AT\\r\" -> \"OK\" over %d trips: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
      options.roundTrips, p50, p99, *std::max_element(trips.begin(), trips.end()));
  std::printf(
      "  against the %.0f ms floor (25 ms read interval + 10 ms stop check): p50 %.2fx, p99 "
      "%.2fx\n",
      kFloorMs, p50 / kFloorMs, p99 / kFloorMs);

  // 2. Idle with the port open.
  const double cpuBefore = CpuMs(GetCurrentProcess());
  const Clock::time_point idleStart = Clock::now();
  // Sleep until a message comes (none should): no polling of our own.
  const Clock::time_point idleEnd = idleStart + std::chrono::seconds(options.idleSeconds);
  for (Clock::time_point now; (now = Clock::now()) < idleEnd;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(idleEnd - now).count();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    WaitFor([] { return true; });
  }
  const double idleMs = std::chrono::duration<double, std::milli>(Clock::now() - idleStart).count();
  const double cpu = CpuMs(GetCurrentProcess()) - cpuBefore;
  std::printf("idle with the port open for %.1f s: process CPU %.1f ms (%.3f%% of one core)\n",
              idleMs / 1000, cpu, 100.0 * cpu / idleMs);
  port.ClosePort();

  // 3. Open/close cycles.
  Footprint first{};
  for (int i = 0; i < options.cycles; ++i) {
    if (!port.OpenPort()) return 1;
    port.ClosePort();
    WaitFor([] { return true; });  // deliver what the threads posted
    if (i == 0) first = Measure();
  }
  const Footprint last = Measure();
  std::printf("after 1 open/close cycle: %lu handles, private %.0f KiB, working set %.0f KiB\n",
              first.handles, first.privateKiB, first.workingSetKiB);
  std::printf(
      "after %d cycles:          %lu handles (%+ld), private %.0f KiB (%+.0f), working set %.0f "
      "KiB (%+.0f)\n",
      options.cycles, last.handles,
      static_cast<long>(last.handles) - static_cast<long>(first.handles), last.privateKiB,
      last.privateKiB - first.privateKiB, last.workingSetKiB,
      last.workingSetKiB - first.workingSetKiB);
  return 0;
}

}  // namespace
}  // namespace vexel::test

int main(int argc, char** argv) {
  vexel::test::Options options;
  if (!vexel::test::ParseOptions(argc, argv, options)) return 2;
  return vexel::test::Run(options);
}
