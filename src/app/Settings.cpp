#include "app/Settings.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/Error.h"
#include "base/Files.h"
#include "base/ProfileFile.h"
#include "phone/PhoneMakers.h"

namespace vexel {

namespace {

constexpr const char* kSection = "params";

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

// Decimal with an optional sign in the 32-bit range, or hexadecimal after
// "$", "0x" or "0X" of up to 32 bits (so "$FFFFFFFF" is -1).
std::optional<int> ParseInteger(std::string_view text) {
  int base = 10;
  bool negative = false;
  if (text.starts_with('$')) {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && (text.starts_with("0x") || text.starts_with("0X"))) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.starts_with('+') || text.starts_with('-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const int64_t limit = base == 16 ? 0xFFFFFFFFLL : negative ? 0x80000000LL : 0x7FFFFFFFLL;
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    const int digit = DigitValue(c);
    if (digit >= base) return std::nullopt;
    value = value * base + digit;
    if (value > limit) return std::nullopt;
  }
  return static_cast<int>(static_cast<uint32_t>(negative ? -value : value));
}

int ReadInteger(const ProfileFile& file, const char* key, int defaultValue) {
  return ParseInteger(file.GetString(kSection, key, "")).value_or(defaultValue);
}

bool ReadBool(const ProfileFile& file, const char* key, bool defaultValue) {
  const std::optional<int> value = ParseInteger(file.GetString(kSection, key, ""));
  return value ? *value != 0 : defaultValue;
}

}  // namespace

std::string SettingsPath() { return ExecutableFolder() + "Vexel.ini"; }

Settings ReadSettings(const std::string& path) {
  const ProfileFile file = ProfileFile::Parse(ReadWholeFile(path).value_or(""));
  const Settings defaults;
  Settings settings;
  settings.port = file.GetString(kSection, "port", defaults.port);
  // A brand-new settings file (none yet) starts at "Detect automatically";
  // a file without "phone" keeps the first maker, as it always did.
  settings.phone =
      ReadInteger(file, "phone", FileExists(path) ? defaults.phone : kDetectPhoneMaker);
  settings.autostart = ReadBool(file, "autostart", defaults.autostart);
  settings.keysFile = file.GetString(kSection, "KeysFile", defaults.keysFile);
  settings.reconnect = ReadBool(file, "reconnect", defaults.reconnect);
  settings.notify = ReadBool(file, "notify", defaults.notify);
  settings.holdTime = ReadInteger(file, "holdtime", defaults.holdTime);
  if (settings.holdTime < 1 || settings.holdTime > 60000) settings.holdTime = defaults.holdTime;
  return settings;
}

void WriteSettings(const std::string& path, const Settings& settings) {
  // An existing file that cannot be read is not overwritten: its other
  // content would be lost.
  std::optional<std::string> old = FileExists(path) ? ReadWholeFile(path) : std::string();
  if (!old) throw Error("Unable to write to " + FullPath(path));
  ProfileFile file = ProfileFile::Parse(std::move(*old));
  file.WriteString(kSection, "port", settings.port);
  file.WriteString(kSection, "phone", std::to_string(settings.phone));
  file.WriteString(kSection, "autostart", settings.autostart ? "1" : "0");
  file.WriteString(kSection, "KeysFile", settings.keysFile);
  file.WriteString(kSection, "reconnect", settings.reconnect ? "1" : "0");
  if (!ReplaceFile(path, file.Bytes())) throw Error("Unable to write to " + FullPath(path));
}

}  // namespace vexel
