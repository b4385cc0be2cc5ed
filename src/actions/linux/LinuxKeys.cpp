#include "actions/linux/LinuxKeys.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <algorithm>

namespace vexel {

namespace {

// In virtual-key order. Letters press their lower-case keysym (the key, not
// the character); the Windows names of the US layout come with the keys
// outside the fixed names (the keypad divide key is "/" there too, so "/"
// names it, as on Windows). The media and browser keys (VK 0xA6-0xB7) have
// fixed names (kMediaKeyNames).
constexpr LinuxKey kLinuxKeys[] = {
    {8, XK_BackSpace, KEY_BACKSPACE, nullptr},
    {9, XK_Tab, KEY_TAB, nullptr},
    {12, XK_KP_Begin, KEY_KP5, "Num 5"},
    {13, XK_Return, KEY_ENTER, nullptr},
    {16, XK_Shift_L, KEY_LEFTSHIFT, "Shift"},
    {17, XK_Control_L, KEY_LEFTCTRL, "Ctrl"},
    {18, XK_Alt_L, KEY_LEFTALT, "Alt"},
    {19, XK_Pause, KEY_PAUSE, "Pause"},
    {20, XK_Caps_Lock, KEY_CAPSLOCK, "Caps Lock"},
    {27, XK_Escape, KEY_ESC, nullptr},
    {32, XK_space, KEY_SPACE, nullptr},
    {33, XK_Prior, KEY_PAGEUP, nullptr},
    {34, XK_Next, KEY_PAGEDOWN, nullptr},
    {35, XK_End, KEY_END, nullptr},
    {36, XK_Home, KEY_HOME, nullptr},
    {37, XK_Left, KEY_LEFT, nullptr},
    {38, XK_Up, KEY_UP, nullptr},
    {39, XK_Right, KEY_RIGHT, nullptr},
    {40, XK_Down, KEY_DOWN, nullptr},
    {44, XK_Print, KEY_SYSRQ, "Sys Req"},
    {45, XK_Insert, KEY_INSERT, nullptr},
    {46, XK_Delete, KEY_DELETE, nullptr},
    {48, XK_0, KEY_0, nullptr},
    {49, XK_1, KEY_1, nullptr},
    {50, XK_2, KEY_2, nullptr},
    {51, XK_3, KEY_3, nullptr},
    {52, XK_4, KEY_4, nullptr},
    {53, XK_5, KEY_5, nullptr},
    {54, XK_6, KEY_6, nullptr},
    {55, XK_7, KEY_7, nullptr},
    {56, XK_8, KEY_8, nullptr},
    {57, XK_9, KEY_9, nullptr},
    {65, XK_a, KEY_A, nullptr},
    {66, XK_b, KEY_B, nullptr},
    {67, XK_c, KEY_C, nullptr},
    {68, XK_d, KEY_D, nullptr},
    {69, XK_e, KEY_E, nullptr},
    {70, XK_f, KEY_F, nullptr},
    {71, XK_g, KEY_G, nullptr},
    {72, XK_h, KEY_H, nullptr},
    {73, XK_i, KEY_I, nullptr},
    {74, XK_j, KEY_J, nullptr},
    {75, XK_k, KEY_K, nullptr},
    {76, XK_l, KEY_L, nullptr},
    {77, XK_m, KEY_M, nullptr},
    {78, XK_n, KEY_N, nullptr},
    {79, XK_o, KEY_O, nullptr},
    {80, XK_p, KEY_P, nullptr},
    {81, XK_q, KEY_Q, nullptr},
    {82, XK_r, KEY_R, nullptr},
    {83, XK_s, KEY_S, nullptr},
    {84, XK_t, KEY_T, nullptr},
    {85, XK_u, KEY_U, nullptr},
    {86, XK_v, KEY_V, nullptr},
    {87, XK_w, KEY_W, nullptr},
    {88, XK_x, KEY_X, nullptr},
    {89, XK_y, KEY_Y, nullptr},
    {90, XK_z, KEY_Z, nullptr},
    {91, XK_Super_L, KEY_LEFTMETA, "Left Windows"},
    {92, XK_Super_R, KEY_RIGHTMETA, "Right Windows"},
    {93, XK_Menu, KEY_COMPOSE, "Application"},
    {96, XK_KP_0, KEY_KP0, nullptr},
    {97, XK_KP_1, KEY_KP1, nullptr},
    {98, XK_KP_2, KEY_KP2, nullptr},
    {99, XK_KP_3, KEY_KP3, nullptr},
    {100, XK_KP_4, KEY_KP4, nullptr},
    {101, XK_KP_5, KEY_KP5, nullptr},
    {102, XK_KP_6, KEY_KP6, nullptr},
    {103, XK_KP_7, KEY_KP7, nullptr},
    {104, XK_KP_8, KEY_KP8, nullptr},
    {105, XK_KP_9, KEY_KP9, nullptr},
    {106, XK_KP_Multiply, KEY_KPASTERISK, "Num *"},
    {107, XK_KP_Add, KEY_KPPLUS, "Num +"},
    {109, XK_KP_Subtract, KEY_KPMINUS, "Num -"},
    {110, XK_KP_Decimal, KEY_KPDOT, "Num Del"},
    {111, XK_KP_Divide, KEY_KPSLASH, "/"},
    {112, XK_F1, KEY_F1, nullptr},
    {113, XK_F2, KEY_F2, nullptr},
    {114, XK_F3, KEY_F3, nullptr},
    {115, XK_F4, KEY_F4, nullptr},
    {116, XK_F5, KEY_F5, nullptr},
    {117, XK_F6, KEY_F6, nullptr},
    {118, XK_F7, KEY_F7, nullptr},
    {119, XK_F8, KEY_F8, nullptr},
    {120, XK_F9, KEY_F9, nullptr},
    {121, XK_F10, KEY_F10, nullptr},
    {122, XK_F11, KEY_F11, nullptr},
    {123, XK_F12, KEY_F12, nullptr},
    {124, XK_F13, KEY_F13, nullptr},
    {125, XK_F14, KEY_F14, nullptr},
    {126, XK_F15, KEY_F15, nullptr},
    {127, XK_F16, KEY_F16, nullptr},
    {128, XK_F17, KEY_F17, nullptr},
    {129, XK_F18, KEY_F18, nullptr},
    {130, XK_F19, KEY_F19, nullptr},
    {131, XK_F20, KEY_F20, nullptr},
    {132, XK_F21, KEY_F21, nullptr},
    {133, XK_F22, KEY_F22, nullptr},
    {134, XK_F23, KEY_F23, nullptr},
    {135, XK_F24, KEY_F24, nullptr},
    {144, XK_Num_Lock, KEY_NUMLOCK, "Num Lock"},
    {145, XK_Scroll_Lock, KEY_SCROLLLOCK, "Scroll Lock"},
    {160, XK_Shift_L, KEY_LEFTSHIFT, "Shift"},
    {161, XK_Shift_R, KEY_RIGHTSHIFT, "Right Shift"},
    {162, XK_Control_L, KEY_LEFTCTRL, "Ctrl"},
    {163, XK_Control_R, KEY_RIGHTCTRL, "Right Ctrl"},
    {164, XK_Alt_L, KEY_LEFTALT, "Alt"},
    {165, XK_Alt_R, KEY_RIGHTALT, "Right Alt"},
    {166, XF86XK_Back, KEY_BACK, nullptr},
    {167, XF86XK_Forward, KEY_FORWARD, nullptr},
    {168, XF86XK_Refresh, KEY_REFRESH, nullptr},
    {169, XF86XK_Stop, KEY_STOP, nullptr},
    {170, XF86XK_Search, KEY_SEARCH, nullptr},
    {171, XF86XK_Favorites, KEY_BOOKMARKS, nullptr},
    {172, XF86XK_HomePage, KEY_HOMEPAGE, nullptr},
    {173, XF86XK_AudioMute, KEY_MUTE, nullptr},
    {174, XF86XK_AudioLowerVolume, KEY_VOLUMEDOWN, nullptr},
    {175, XF86XK_AudioRaiseVolume, KEY_VOLUMEUP, nullptr},
    {176, XF86XK_AudioNext, KEY_NEXTSONG, nullptr},
    {177, XF86XK_AudioPrev, KEY_PREVIOUSSONG, nullptr},
    {178, XF86XK_AudioStop, KEY_STOPCD, nullptr},
    {179, XF86XK_AudioPlay, KEY_PLAYPAUSE, nullptr},
    {180, XF86XK_Mail, KEY_MAIL, nullptr},
    {181, XF86XK_AudioMedia, KEY_MEDIA, nullptr},
    {182, XF86XK_MyComputer, KEY_COMPUTER, nullptr},
    {183, XF86XK_Calculator, KEY_CALC, nullptr},
    {186, XK_semicolon, KEY_SEMICOLON, ";"},
    {187, XK_plus, KEY_EQUAL, "="},  // VK_OEM_PLUS: the key that types "+" in any layout
    {188, XK_comma, KEY_COMMA, ","},
    {189, XK_minus, KEY_MINUS, "-"},
    {190, XK_period, KEY_DOT, "."},
    {191, XK_slash, KEY_SLASH, "/"},
    {192, XK_grave, KEY_GRAVE, "`"},
    {219, XK_bracketleft, KEY_LEFTBRACE, "["},
    {220, XK_backslash, KEY_BACKSLASH, "\\"},
    {221, XK_bracketright, KEY_RIGHTBRACE, "]"},
    {222, XK_apostrophe, KEY_APOSTROPHE, "'"},
    {226, XK_less, KEY_102ND, "\\"},
};

}  // namespace

const LinuxKey* LinuxKeysBegin() { return std::begin(kLinuxKeys); }
const LinuxKey* LinuxKeysEnd() { return std::end(kLinuxKeys); }

const LinuxKey* FindLinuxKey(std::uint8_t virtualKey) {
  const LinuxKey* key =
      std::lower_bound(std::begin(kLinuxKeys), std::end(kLinuxKeys), virtualKey,
                       [](const LinuxKey& k, std::uint8_t vk) { return k.virtualKey < vk; });
  return key != std::end(kLinuxKeys) && key->virtualKey == virtualKey ? key : nullptr;
}

std::string KeyNamesLinux::LayoutKeyName(std::uint8_t virtualKey) const {
  const LinuxKey* key = FindLinuxKey(virtualKey);
  return key && key->layoutName ? key->layoutName : "";
}

}  // namespace vexel
