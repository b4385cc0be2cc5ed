// What the benchmarks share: percentiles, a process's CPU time and memory.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace vexel::test {

struct CountOption {
  const char* name;  // "--presses"
  int* value;        // its default on entry; a count of at least 1
};

// Reads "--name N" pairs; prints the usage and gives false on anything else.
inline bool ParseCounts(int argc, char** argv, std::initializer_list<CountOption> options,
                        const char* usage) {
  for (int i = 1; i < argc; ++i) {
    int* target = nullptr;
    for (const CountOption& option : options)
      if (!std::strcmp(argv[i], option.name)) target = option.value;
    if (!target || i + 1 >= argc || (*target = std::atoi(argv[++i])) < 1) {
      std::printf("usage: %s\n", usage);
      return false;
    }
  }
  return true;
}

// The value below which the fraction of the values lies (nearest rank).
inline double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const size_t rank = static_cast<size_t>(fraction * static_cast<double>(values.size()) + 0.999999);
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

// The process's CPU time so far (kernel and user), in milliseconds.
inline double CpuMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

// The host's /proc folder (seen as Z:\proc\<pid>) of the Wine process that
// runs the program started from exePath (a full Windows path), or "" where
// there is none (on Windows).
inline std::string ProcFolderOf(const std::string& exePath) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return "";
  std::string found;
  do {
    const std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
    std::string commandLine;
    std::getline(std::ifstream(folder + "\\cmdline"), commandLine, '\0');
    if (commandLine == exePath) found = folder;
  } while (found.empty() && FindNextFileA(find, &entry));
  FindClose(find);
  return found;
}

// The CPU time of the program started from exePath. Under Wine,
// GetProcessTimes of another process answers with the caller's own times;
// the host's /proc has the real figure (clock ticks of 10 ms).
inline double CpuMsOfProgram(HANDLE process, const std::string& exePath) {
  const std::string folder = ProcFolderOf(exePath);
  if (folder.empty()) return CpuMs(process);
  std::string stat;
  std::getline(std::ifstream(folder + "\\stat"), stat);
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::atof(field.c_str());  // utime, stime
  return ticks * 10.0;
}

// A field of the host's /proc/<pid>/status of the program started from
// exePath ("RssAnon:", "Threads:"), as a number; -1 where there is none.
inline double ProcStatusOfProgram(const std::string& exePath, const std::string& field) {
  const std::string folder = ProcFolderOf(exePath);
  std::ifstream status(folder.empty() ? std::string() : folder + "\\status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::atof(line.c_str() + field.size());
  return -1;
}

struct MemoryKiB {
  double privateBytes;  // the pagefile figure where Wine leaves private bytes at 0
  double workingSet;
  // Under Wine, from the host: the anonymous resident memory (RssAnon: what
  // the process touched of its heaps, its stacks and the private copies of
  // its images) and the threads; -1 elsewhere.
  double anonResident;
  double threads;
};

inline MemoryKiB MemoryOf(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  const SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
  return {privateBytes / 1024.0, memory.WorkingSetSize / 1024.0, -1, -1};
}

// The memory of the program started from exePath (a full Windows path).
inline MemoryKiB MemoryOfProgram(HANDLE process, const std::string& exePath) {
  MemoryKiB memory = MemoryOf(process);
  memory.anonResident = ProcStatusOfProgram(exePath, "RssAnon:");
  memory.threads = ProcStatusOfProgram(exePath, "Threads:");
  return memory;
}

}  // namespace vexel::test
