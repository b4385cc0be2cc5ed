#include "actions/HotKeyCapture.h"

namespace vexel {

namespace {

// Keys whose capture name is not their own character. Num Lock and Pause
// carry their own names, so each captures itself.
constexpr CaptureName kCaptureNames[] = {
    {13, "Enter"},     {19, "Pause"},        {20, "Caps Lock"}, {27, "Esc"},      {32, "Space"},
    {33, "PgUp"},      {34, "PgDn"},         {35, "End"},       {36, "Home"},     {37, "Left"},
    {38, "Up"},        {39, "Right"},        {40, "Down"},      {45, "Ins"},      {46, "Del"},
    {106, "Num *"},    {107, "Num +"},       {109, "Num -"},    {110, "Num Del"}, {111, "Num /"},
    {144, "Num Lock"}, {145, "Scroll Lock"}, {187, "="},        {188, ","},       {189, "-"},
    {190, "."},        {191, "/"},           {192, "`"},        {219, "["},       {220, "\\"},
    {221, "]"},
};

constexpr std::uint8_t kBackspace = 8;

void Append(std::string& text, const std::string& name) {
  if (name.empty()) return;
  text += text.empty() ? name : "+" + name;
}

}  // namespace

std::span<const CaptureName> CaptureNames() { return kCaptureNames; }

std::string CaptureKeyName(std::uint8_t virtualKey) {
  for (const CaptureName& entry : kCaptureNames)
    if (entry.code == virtualKey) return entry.name;
  // The PC's own media keys capture under their shortcut text names.
  for (const NamedKey& media : kMediaKeyNames)
    if (media.code == virtualKey) return media.name;
  if (virtualKey >= 16 && virtualKey <= 18) return {};  // Shift, Ctrl, Alt themselves
  if (virtualKey >= 96 && virtualKey <= 105)            // numeric keypad digits
    return std::string(1, static_cast<char>('0' + virtualKey - 96));
  if (virtualKey >= 112 && virtualKey <= 123) return "F" + std::to_string(virtualKey - 111);
  // Letters and main-row digits are their own characters.
  return std::string(1, static_cast<char>(virtualKey));
}

std::string CaptureCombinationText(std::uint8_t virtualKey, HeldModifiers held) {
  std::string text;
  if (held.shift) Append(text, "Shift");
  if (held.alt) Append(text, "Alt");
  if (held.ctrl) Append(text, "Ctrl");
  Append(text, CaptureKeyName(virtualKey));
  return text;
}

CaptureResult CaptureKeyDown(std::uint8_t virtualKey, HeldModifiers held, TShortCut current,
                             const KeyNames& layout) {
  if (virtualKey == kBackspace) return {current, "None"};
  const TShortCut value = ParseShortcut(CaptureCombinationText(virtualKey, held), layout);
  return {value, FormatShortcut(value, layout)};
}

}  // namespace vexel
