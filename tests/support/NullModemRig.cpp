#include "NullModemRig.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "base/Files.h"

namespace vexel::test {
namespace {

std::string Generation() {
  return ReadWholeFile(NullModem::Folder() + "\\generation").value_or("");
}

}  // namespace

std::string NullModem::Folder() {
  const char* folder = std::getenv("VEXEL_NULLMODEM");
  return folder ? phonesim::NativeFolder(folder) : "";
}

bool NullModem::FreshCable() {
  if (Folder().empty()) return false;
  RemoveDown();
  const std::string before = Generation();
  std::ofstream(Folder() + "\\restart") << "test\n";
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < kDeadlineMs) {
    const std::string now = Generation();
    if (!now.empty() && now != before) return true;
    Sleep(20);
  }
  return false;
}

bool NullModem::Unplug() {
  std::ofstream(Folder() + "\\down") << "test\n";
  return WaitFor([] { return !Plugged(); });
}

bool NullModem::Plugged() {
  // A link to a pty has no file attributes under Wine; it is listed all the same.
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((Folder() + "\\COM27").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

void NullModem::RemoveDown() { std::remove((Folder() + "\\down").c_str()); }

PhoneOnCom28::PhoneOnCom28(const phonesim::PhoneOptions& options, const char* port)
    : line_(phonesim::MakePortLine(port, 0)), phone_(*line_, phoneLog_, options) {
  Play("note test phone");
  thread_ = std::thread([this] { phone_.Run(); });
}

PhoneOnCom28::~PhoneOnCom28() {
  phone_.Stop();
  if (thread_.joinable()) thread_.join();
}

bool PhoneOnCom28::Play(const std::string& script) {
  std::vector<phonesim::Step> steps;
  std::string error;
  if (!phonesim::ParseScript(script, steps, error)) return false;
  phone_.Enqueue(std::move(steps));
  return true;
}

size_t PhoneOnCom28::Count(const std::string& text) const {
  const std::string received = Received();
  size_t n = 0;
  for (size_t at = received.find(text); at != std::string::npos; at = received.find(text, at + 1))
    ++n;
  return n;
}

std::string PhoneOnCom28::Log() {
  phone_.Stop();
  if (thread_.joinable()) thread_.join();
  return log_.str();
}

}  // namespace vexel::test
