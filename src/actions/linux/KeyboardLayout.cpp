#include "actions/linux/KeyboardLayout.h"

#include <linux/input-event-codes.h>
// A member of xcb's XKB header is named "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "actions/linux/LinuxKeys.h"
#include "base/Text.h"

namespace vexel {

namespace {

struct FreeXkb {
  void operator()(xkb_context* context) const { xkb_context_unref(context); }
  void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
  void operator()(xkb_state* state) const { xkb_state_unref(state); }
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using Context = std::unique_ptr<xkb_context, FreeXkb>;
using Keymap = std::unique_ptr<xkb_keymap, FreeXkb>;

// The printable ASCII keysyms are the characters: letters (lower case),
// digits and punctuation.
bool TypesCharacter(unsigned long keysym) { return keysym >= 0x21 && keysym <= 0x7E; }

// The keycode that types the keysym at this level of the layout, the lowest
// first; 0 when none does.
xkb_keycode_t KeyTyping(xkb_keymap* keymap, xkb_layout_index_t layout, xkb_level_index_t level,
                        xkb_keysym_t keysym) {
  for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
       ++code) {
    if (layout >= xkb_keymap_num_layouts_for_key(keymap, code)) continue;
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, code, layout, level, &syms) == 1 &&
        syms[0] == keysym)
      return code;
  }
  return 0;
}

// The US layout's keys, as the table gives them.
LayoutKeys TableKeys() {
  LayoutKeys keys;
  for (const LinuxKey* key = LinuxKeysBegin(); key != LinuxKeysEnd(); ++key)
    keys.evdevCodes[key->virtualKey] = key->evdevCode;
  return keys;
}

LayoutKeys KeysUnder(xkb_keymap* keymap, xkb_layout_index_t layout) {
  LayoutKeys keys = TableKeys();
  const char* name = xkb_keymap_layout_get_name(keymap, layout);
  keys.name = name ? name : "";
  for (const LinuxKey* key = LinuxKeysBegin(); key != LinuxKeysEnd(); ++key) {
    std::uint16_t& evdevCode = keys.evdevCodes[key->virtualKey];
    if (!TypesCharacter(key->keysym)) continue;
    xkb_keycode_t code = KeyTyping(keymap, layout, 0, key->keysym);
    if (!code) code = KeyTyping(keymap, layout, 1, key->keysym);
    // XKB keycodes are evdev codes plus 8.
    if (code > 8 && code - 8 <= KEY_MAX) evdevCode = static_cast<std::uint16_t>(code - 8);
  }
  return keys;
}

Context NewContext() { return Context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)); }

// The X server's repeat settings, and its keymap's active layout unless
// keys are given already; nothing when no X server with XKB is reachable.
void ReadXServer(SessionKeyboard& keyboard, std::optional<LayoutKeys>& keys) {
  std::unique_ptr<xcb_connection_t, FreeXkb> connection(xcb_connect(nullptr, nullptr));
  if (xcb_connection_has_error(connection.get()) ||
      !xkb_x11_setup_xkb_extension(
          connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
          XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
    return;
  const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
  if (device < 0) return;
  xcb_xkb_get_controls_reply_t* controls = xcb_xkb_get_controls_reply(
      connection.get(), xcb_xkb_get_controls(connection.get(), device), nullptr);
  if (controls && controls->repeatDelay && controls->repeatInterval) {
    KeyboardRepeat repeat;
    repeat.delayMs = controls->repeatDelay;
    repeat.intervalMs = controls->repeatInterval;
    keyboard.repeat = repeat;
  }
  std::free(controls);
  const Context context = NewContext();
  if (keys || !context) return;
  const Keymap keymap(xkb_x11_keymap_new_from_device(context.get(), connection.get(), device,
                                                     XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return;
  const std::unique_ptr<xkb_state, FreeXkb> state(
      xkb_x11_state_new_from_device(keymap.get(), connection.get(), device));
  keys = KeysUnder(keymap.get(),
                   state ? xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0);
  keys->name += ", from the X server";
}

}  // namespace

std::optional<LayoutKeys> LayoutKeysFromNames(const XkbNames& names) {
  const Context context = NewContext();
  if (!context) return std::nullopt;
  const auto field = [](const std::string& text) { return text.empty() ? nullptr : text.c_str(); };
  const xkb_rule_names rules{field(names.rules), field(names.model), field(names.layout),
                             field(names.variant), field(names.options)};
  const Keymap keymap(
      xkb_keymap_new_from_names(context.get(), &rules, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return std::nullopt;
  return KeysUnder(keymap.get(), 0);
}

std::optional<XkbNames> XkbNamesFromFile(const std::string& path) {
  std::ifstream file(path);
  XkbNames names;
  for (std::string line; std::getline(file, line);) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string_view key = Trim(std::string_view(line).substr(0, equals));
    std::string_view value = Trim(std::string_view(line).substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (key == "XKBMODEL") names.model = value;
    if (key == "XKBLAYOUT") names.layout = value;
    if (key == "XKBVARIANT") names.variant = value;
    if (key == "XKBOPTIONS") names.options = value;
  }
  if (names.layout.empty()) return std::nullopt;
  return names;
}

SessionKeyboard ReadSessionKeyboard(const std::string& keyboardFile) {
  SessionKeyboard keyboard;
  XkbNames fromEnvironment;
  for (auto [variable, field] : {std::pair{"XKB_DEFAULT_RULES", &fromEnvironment.rules},
                                 {"XKB_DEFAULT_MODEL", &fromEnvironment.model},
                                 {"XKB_DEFAULT_LAYOUT", &fromEnvironment.layout},
                                 {"XKB_DEFAULT_VARIANT", &fromEnvironment.variant},
                                 {"XKB_DEFAULT_OPTIONS", &fromEnvironment.options}}) {
    const char* value = std::getenv(variable);
    if (value) *field = value;
  }
  std::optional<LayoutKeys> keys;
  if (!fromEnvironment.layout.empty() && (keys = LayoutKeysFromNames(fromEnvironment)))
    keys->name += ", from XKB_DEFAULT_LAYOUT";
  const char* display = std::getenv("DISPLAY");
  if (display && *display) ReadXServer(keyboard, keys);
  if (!keys) {
    const std::optional<XkbNames> fromFile = XkbNamesFromFile(keyboardFile);
    if (fromFile && (keys = LayoutKeysFromNames(*fromFile))) keys->name += ", from " + keyboardFile;
  }
  if (!keys && (keys = LayoutKeysFromNames({}))) keys->name += ", the default";
  if (!keys) (keys = TableKeys())->name = "US, as no layout compiles here";
  keyboard.keys = std::move(*keys);
  return keyboard;
}

}  // namespace vexel
