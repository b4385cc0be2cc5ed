// The preamble of the end-to-end tests: each test has a folder of its own,
// named after it, in which it starts the real Vexel.exe (on COM27 of the
// rig's null-modem) and the simulated phone (on COM28). Vexel ends first,
// then the phone, then the folder goes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "NullModemRig.h"
#include "VexelDriver.h"

namespace vexel::test {

inline constexpr char kKeyReporting[] = "AT+CMER=3,2,0,0,0\r";  // Sony Ericsson's
inline constexpr char kKeepAlive[] = "AT+CGMI\r";

class VexelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(NullModem::Folder().empty()) << "run through scripts/wine-run";
    EndLeftoverVexels();
    ASSERT_TRUE(NullModem::FreshCable());
    folder = std::make_unique<TestFolder>(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  // Vexel.ini: the port, Sony Ericsson, the two options and the keys file.
  static std::string Settings(bool autostart, const std::string& keysFile = "",
                              bool reconnect = false, const std::string& port = "COM27 (etc)") {
    return "[params]\r\nport=" + port + "\r\nphone=0\r\nautostart=" + (autostart ? "1" : "0") +
           "\r\nKeysFile=" + keysFile + "\r\nreconnect=" + (reconnect ? "1" : "0") + "\r\n";
  }

  PhoneOnCom28& StartPhone(phonesim::ReplyMode reply = phonesim::ReplyMode::kOk,
                           const char* maker = "vexel", const char* port = kPhonePort) {
    phonesim::PhoneOptions options;
    options.reply = reply;
    options.maker = phonesim::FindMaker(maker);
    options.echo = false;
    options.rigFolder = NullModem::Folder();
    auto& slot = std::string(port) == kPhonePort ? phone : otherPhone;
    slot = std::make_unique<PhoneOnCom28>(options, port);
    return *slot;
  }

  // Writes Vexel.ini and starts Vexel in the folder (ending the one before).
  VexelProcess& StartVexel(const std::string& settings) {
    vexel.reset();
    folder->Write("Vexel.ini", settings);
    vexel = std::make_unique<VexelProcess>(*folder);
    return *vexel;
  }

  // Waits until the phone has received the text (a command line) `times` times.
  bool Received(const std::string& text, int timeoutMs = 20000, size_t times = 1) {
    return WaitFor([&] { return phone->Count(text) >= times; }, timeoutMs);
  }

  // Plays script lines ("press 5", "pause 100", ...) and waits until they
  // were played, handling this thread's messages meanwhile.
  void Play(const std::string& script, int timeoutMs = kDeadlineMs) {
    ASSERT_TRUE(phone->Play(script)) << script;
    ASSERT_TRUE(WaitFor([&] { return phone->WaitPlayed(0); }, timeoutMs)) << script;
  }

  // Whether the folder gets the file within the time.
  bool Left(const std::string& file) {
    return WaitFor([&] { return folder->Read(file).has_value(); }, 20000);
  }

  std::unique_ptr<TestFolder> folder;
  std::unique_ptr<PhoneOnCom28> phone;
  std::unique_ptr<PhoneOnCom28> otherPhone;  // on COM30, behind COM29
  std::unique_ptr<VexelProcess> vexel;
};

}  // namespace vexel::test
