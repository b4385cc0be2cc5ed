// The Linux program's files: where they are, the ports it lists, what
// "vexel check" says of them, and which learned keys a keys file can hold.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "../core/TempFolder.h"
#include "app/linux/CheckFiles.h"
#include "app/linux/LinuxPaths.h"
#include "app/linux/SerialPorts.h"
#include "comm/posix/PortHolder.h"

namespace vexel {
namespace {

TEST(LinuxPaths, SettingsUnderXdgConfigAndKeysBesideThem) {
  const char* saved = std::getenv("XDG_CONFIG_HOME");
  const std::string old = saved ? saved : "";
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(DefaultSettingsPath(), "/cfg/vexel/Vexel.ini");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the XDG rules say
  EXPECT_EQ(DefaultSettingsPath(), std::string(std::getenv("HOME")) + "/.config/vexel/Vexel.ini");
  if (saved)
    setenv("XDG_CONFIG_HOME", old.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");

  struct Case {
    const char *settings, *keys, *path;
  } cases[] = {
      {"/c/vexel/Vexel.ini", "phone.km", "/c/vexel/phone.km"},
      {"/c/vexel/Vexel.ini", "sub/phone.km", "/c/vexel/sub/phone.km"},
      {"/c/vexel/Vexel.ini", "/abs/phone.km", "/abs/phone.km"},
      {"Vexel.ini", "phone.km", "phone.km"},
      {"/c/vexel/Vexel.ini", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(KeysFileOfSettings(c.settings, c.keys), c.path) << c.keys;
}

TEST(SerialPorts, EachPortOnceUnderItsStableNameWithItsKind) {
  TempFolder dev, sys;
  for (const char* name :
       {"rfcomm0", "ttyACM0", "ttyUSB1", "ttyS0", "ttyS1", "tty5", "ttyUSBx", "ttyACM", "console"})
    dev.Write(name, "");
  std::filesystem::create_directories(dev.File("serial/by-id"));
  std::filesystem::create_symlink("../../ttyACM0", dev.File("serial/by-id/usb-Sony_Ericsson-if01"));
  std::filesystem::create_directories(sys.File("class/tty/ttyS0"));
  std::filesystem::create_directories(sys.File("class/tty/ttyS1"));
  sys.Write("class/tty/ttyS0/type", "4\n");  // a 16550A
  sys.Write("class/tty/ttyS1/type", "0\n");  // no UART behind it
  std::vector<std::string> entries;
  std::string root = dev.File(""), sysRoot = sys.File("");
  root.pop_back();  // no trailing slash, as "/dev"
  sysRoot.pop_back();
  for (const SerialPortEntry& port : ListSerialPorts(root, sysRoot))
    entries.push_back(port.EntryText());
  root += "/";
  // The advice names a group only where the group may open the port.
  if (const group* dialout = getgrnam("dialout")) {
    chown(dev.File("ttyUSB1").c_str(), static_cast<uid_t>(-1), dialout->gr_gid);
    chmod(dev.File("ttyUSB1").c_str(), 0660);
    chmod(dev.File("rfcomm0").c_str(), 0600);
    std::vector<std::string> groups;
    for (const SerialPortEntry& port : ListSerialPorts(root.substr(0, root.size() - 1), sysRoot))
      groups.push_back(port.group);
    EXPECT_EQ(groups, (std::vector<std::string>{"", "", "dialout", ""}));
  }
  EXPECT_EQ(entries, (std::vector<std::string>{
                         root + "rfcomm0 (bth)",
                         root + "serial/by-id/usb-Sony_Ericsson-if01 (usb)",
                         root + "ttyUSB1 (usb)",
                         root + "ttyS0 (etc)",
                     }));
  // The rule that keeps ModemManager away: on the USB device above the port, else the name.
  std::filesystem::create_directories(sys.File("devices/usb1/1-1/1-1:1.1"));
  sys.Write("devices/usb1/1-1/idVendor", "0fce\n");
  sys.Write("devices/usb1/1-1/idProduct", "d0cf\n");
  std::filesystem::create_directories(sys.File("class/tty/ttyACM0"));
  std::filesystem::create_directory_symlink("../../../devices/usb1/1-1/1-1:1.1",
                                            sys.File("class/tty/ttyACM0/device"));
  EXPECT_EQ(
      LookUpPortHolder(root + "serial/by-id/usb-Sony_Ericsson-if01", sysRoot).udevRule,
      "ATTRS{idVendor}==\"0fce\", ATTRS{idProduct}==\"d0cf\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
  EXPECT_EQ(LookUpPortHolder(root + "ttyS0", sysRoot).udevRule,
            "KERNEL==\"ttyS0\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"");
}

TEST(CheckFiles, SaysWhatEachKeyDoesAndEveryProblem) {
  struct Case {
    const char* settings;  // nullptr: no settings file
    const char* keys;      // nullptr: no keys file
    bool ok;
    std::vector<std::string> said;
  } cases[] = {
      {"[params]\r\nport=/dev/rfcomm0 (bth)\r\nKeysFile=k.km\r\n",
       "[Keys]\r\n\"5\"=DOWN (*2 0 Shift+Right*) UP (*2 1 Shift+Right*)\r\n"
       "\"1\"=DOWN (*1 /usr/bin/gedit*)\r\n\"*\"=UP (*1 #touch x*)\r\n\"0\"=DOWN (*1 $reboot*)\r\n"
       "\"8\"=DOWN (*2 3 Volume Up*)\r\n",
       true,
       {"\"5\": down press Shift+Right; up release Shift+Right", "\"1\": down open: /usr/bin/gedit",
        "\"*\": down nothing; up run: touch x", "\"0\": down special: reboot",
        "\"8\": down repeat while held Volume Up"}},
      {nullptr, nullptr, false, {"the settings file does not exist"}},
      {"[params]\r\nKeysFile=k.km\r\n", "[Keys]\r\n\"5\"=\r\n", false, {"no port"}},
      {"[params]\r\nport=/dev/ttyS0 (etc)\r\n", nullptr, false, {"no keys file (KeysFile="}},
      {"[params]\r\nport=/dev/ttyS0 (etc)\r\nKeysFile=k.km\r\n",
       nullptr,
       false,
       {"the keys file does not exist"}},
      {"[params]\r\nport=/dev/ttyS0 (etc)\r\nKeysFile=k.km\r\n",
       "[Other]\r\nx=y\r\n",
       false,
       {"holds no keys"}},
      {"[params]\r\nport=/dev/ttyS0 (etc)\r\nphone=7\r\nKeysFile=k.km\r\n",
       "[Keys]\r\n\"5\"=DOWN (*2 2 Ctrl+Nothing*) UP (*3 x*)\r\n\"6\"=DOWN (*2 7 A*)\r\n"
       "\"7\"=DOWN (*1 *)\r\n\"8\"=UP (*2 3 A*)\r\n",
       false,
       {"phone 7 is no maker", "key \"5\" down: \"Ctrl+Nothing\" names no key",
        "key \"5\" up: \"3 x\" is no action", "key \"6\" down: key mode 7 does nothing",
        "key \"7\" down: an empty command does nothing",
        "key \"8\" up: Repeat while held does nothing on button up"}},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    if (c.settings) folder.Write("Vexel.ini", c.settings);
    if (c.keys) folder.Write("k.km", c.keys);
    std::ostringstream out;
    EXPECT_EQ(CheckFiles(folder.File("Vexel.ini"), out), c.ok) << out.str();
    for (const std::string& text : c.said)
      EXPECT_NE(out.str().find(text), std::string::npos) << text << " in\n" << out.str();
  }
}

}  // namespace
}  // namespace vexel
