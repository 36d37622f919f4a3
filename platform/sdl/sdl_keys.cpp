// SDL scancodes and X keysyms to Windows virtual-key codes. The codes are
// Windows' own for the key at that position on a US layout; keys Windows
// has no code for (brightness, eject, the calculator keypad's extra keys)
// get noVirtualKey, as a Windows layout gives keys it does not know.
#include "sdl_keys.h"

#include <array>
#include <utility>

namespace win32::sdl {
namespace {

constexpr UINT vkOemNecEqual = 0x92;  // VK_OEM_NEC_EQUAL, '=' on the keypad
constexpr UINT vkDbeKatakana = 0xF1;
constexpr UINT vkDbeHiragana = 0xF2;
constexpr UINT vkDbeDbcsChar = 0xF4;  // Zenkaku/Hankaku

constexpr std::pair<SDL_Scancode, UINT> namedKeys[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN}, {SDL_SCANCODE_ESCAPE, VK_ESCAPE}, {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB}, {SDL_SCANCODE_SPACE, VK_SPACE}, {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS}, {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6}, {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5},  // the same position code as backslash
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1}, {SDL_SCANCODE_APOSTROPHE, VK_OEM_7}, {SDL_SCANCODE_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA}, {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD}, {SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL}, {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL}, {SDL_SCANCODE_PAUSE, VK_PAUSE}, {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_HOME, VK_HOME}, {SDL_SCANCODE_PAGEUP, VK_PRIOR}, {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_END, VK_END}, {SDL_SCANCODE_PAGEDOWN, VK_NEXT}, {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_LEFT, VK_LEFT}, {SDL_SCANCODE_DOWN, VK_DOWN}, {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK}, {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY}, {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT}, {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN}, {SDL_SCANCODE_KP_0, VK_NUMPAD0}, {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102}, {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_KP_EQUALS, vkOemNecEqual}, {SDL_SCANCODE_KP_EQUALSAS400, vkOemNecEqual},
    {SDL_SCANCODE_EXECUTE, VK_EXECUTE}, {SDL_SCANCODE_HELP, VK_HELP}, {SDL_SCANCODE_MENU, VK_APPS},
    {SDL_SCANCODE_SELECT, VK_SELECT}, {SDL_SCANCODE_STOP, VK_BROWSER_STOP}, {SDL_SCANCODE_MUTE, VK_VOLUME_MUTE},
    {SDL_SCANCODE_VOLUMEUP, VK_VOLUME_UP}, {SDL_SCANCODE_VOLUMEDOWN, VK_VOLUME_DOWN},
    {SDL_SCANCODE_KP_COMMA, VK_SEPARATOR},
    {SDL_SCANCODE_INTERNATIONAL1, VK_OEM_102},  // Ro, on a Japanese layout
    {SDL_SCANCODE_INTERNATIONAL2, VK_KANA}, {SDL_SCANCODE_INTERNATIONAL3, VK_OEM_5},  // Yen
    {SDL_SCANCODE_INTERNATIONAL4, VK_CONVERT}, {SDL_SCANCODE_INTERNATIONAL5, VK_NONCONVERT},
    {SDL_SCANCODE_INTERNATIONAL6, VK_SEPARATOR}, {SDL_SCANCODE_LANG1, VK_KANA},  // Hangul
    {SDL_SCANCODE_LANG2, VK_KANJI},  // Hanja
    {SDL_SCANCODE_LANG3, vkDbeKatakana}, {SDL_SCANCODE_LANG4, vkDbeHiragana}, {SDL_SCANCODE_LANG5, vkDbeDbcsChar},
    {SDL_SCANCODE_SYSREQ, VK_SNAPSHOT}, {SDL_SCANCODE_CANCEL, VK_CANCEL}, {SDL_SCANCODE_CLEAR, VK_CLEAR},
    {SDL_SCANCODE_PRIOR, VK_PRIOR}, {SDL_SCANCODE_RETURN2, VK_RETURN}, {SDL_SCANCODE_SEPARATOR, VK_SEPARATOR},
    {SDL_SCANCODE_CLEARAGAIN, VK_OEM_CLEAR}, {SDL_SCANCODE_CRSEL, VK_CRSEL}, {SDL_SCANCODE_EXSEL, VK_EXSEL},
    {SDL_SCANCODE_KP_00, VK_NUMPAD0}, {SDL_SCANCODE_KP_000, VK_NUMPAD0},
    {SDL_SCANCODE_THOUSANDSSEPARATOR, VK_SEPARATOR}, {SDL_SCANCODE_DECIMALSEPARATOR, VK_DECIMAL},
    {SDL_SCANCODE_KP_TAB, VK_TAB}, {SDL_SCANCODE_KP_BACKSPACE, VK_BACK}, {SDL_SCANCODE_KP_A, 'A'},
    {SDL_SCANCODE_KP_B, 'B'}, {SDL_SCANCODE_KP_C, 'C'}, {SDL_SCANCODE_KP_D, 'D'}, {SDL_SCANCODE_KP_E, 'E'},
    {SDL_SCANCODE_KP_F, 'F'}, {SDL_SCANCODE_KP_SPACE, VK_SPACE}, {SDL_SCANCODE_KP_CLEAR, VK_CLEAR},
    {SDL_SCANCODE_KP_CLEARENTRY, VK_CLEAR}, {SDL_SCANCODE_KP_DECIMAL, VK_DECIMAL},
    // Windows reports the modifier keys by their shared codes.
    {SDL_SCANCODE_LCTRL, VK_CONTROL}, {SDL_SCANCODE_RCTRL, VK_CONTROL}, {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT}, {SDL_SCANCODE_LALT, VK_MENU}, {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_LGUI, VK_LWIN}, {SDL_SCANCODE_RGUI, VK_RWIN}, {SDL_SCANCODE_MODE, VK_MODECHANGE},
    // Media, volume, browser and launch keys.
    {SDL_SCANCODE_AUDIONEXT, VK_MEDIA_NEXT_TRACK}, {SDL_SCANCODE_AUDIOPREV, VK_MEDIA_PREV_TRACK},
    {SDL_SCANCODE_AUDIOSTOP, VK_MEDIA_STOP}, {SDL_SCANCODE_AUDIOPLAY, VK_MEDIA_PLAY_PAUSE},
    {SDL_SCANCODE_AUDIOMUTE, VK_VOLUME_MUTE}, {SDL_SCANCODE_MEDIASELECT, VK_LAUNCH_MEDIA_SELECT},
    {SDL_SCANCODE_WWW, VK_BROWSER_HOME}, {SDL_SCANCODE_MAIL, VK_LAUNCH_MAIL},
    {SDL_SCANCODE_CALCULATOR, VK_LAUNCH_APP2}, {SDL_SCANCODE_COMPUTER, VK_LAUNCH_APP1},
    {SDL_SCANCODE_AC_SEARCH, VK_BROWSER_SEARCH}, {SDL_SCANCODE_AC_HOME, VK_BROWSER_HOME},
    {SDL_SCANCODE_AC_BACK, VK_BROWSER_BACK}, {SDL_SCANCODE_AC_FORWARD, VK_BROWSER_FORWARD},
    {SDL_SCANCODE_AC_STOP, VK_BROWSER_STOP}, {SDL_SCANCODE_AC_REFRESH, VK_BROWSER_REFRESH},
    {SDL_SCANCODE_AC_BOOKMARKS, VK_BROWSER_FAVORITES}, {SDL_SCANCODE_SLEEP, VK_SLEEP},
    {SDL_SCANCODE_APP1, VK_LAUNCH_APP1}, {SDL_SCANCODE_APP2, VK_LAUNCH_APP2},
};

// Keys by the X keysym the server names them with (X11/keysymdef.h and
// XF86keysym.h), for key codes SDL has no scancode for: each with the
// Windows code of the same key, as the scancode table above gives it.
constexpr std::pair<unsigned long, UINT> keysymKeys[] = {
    {0xFF08, VK_BACK}, {0xFF09, VK_TAB}, {0xFE20, VK_TAB},  // BackSpace, Tab, ISO_Left_Tab
    {0xFF0B, VK_CLEAR}, {0xFF0D, VK_RETURN}, {0xFF13, VK_PAUSE}, {0xFF14, VK_SCROLL},
    {0xFF15, VK_SNAPSHOT}, {0xFF1B, VK_ESCAPE}, {0xFFFF, VK_DELETE},  // Sys_Req, Escape, Delete
    {0xFF21, VK_KANJI}, {0xFF22, VK_NONCONVERT}, {0xFF23, VK_CONVERT},  // Kanji, Muhenkan, Henkan_Mode
    {0xFF25, vkDbeHiragana}, {0xFF26, vkDbeKatakana}, {0xFF27, VK_KANA},  // Hiragana, Katakana, Hiragana_Katakana
    {0xFF2A, vkDbeDbcsChar}, {0xFF31, VK_KANA}, {0xFF34, VK_KANJI},  // Zenkaku_Hankaku, Hangul, Hangul_Hanja
    {0xFF50, VK_HOME}, {0xFF51, VK_LEFT}, {0xFF52, VK_UP}, {0xFF53, VK_RIGHT}, {0xFF54, VK_DOWN},
    {0xFF55, VK_PRIOR}, {0xFF56, VK_NEXT}, {0xFF57, VK_END}, {0xFF58, VK_CLEAR},  // ..., Begin
    {0xFF60, VK_SELECT}, {0xFF61, VK_SNAPSHOT}, {0xFF62, VK_EXECUTE}, {0xFF63, VK_INSERT},  // Select, Print
    {0xFF67, VK_APPS}, {0xFF69, VK_CANCEL}, {0xFF6A, VK_HELP}, {0xFF6B, VK_CANCEL},  // Menu, Cancel, Help, Break
    {0xFF7E, VK_MODECHANGE}, {0xFF7F, VK_NUMLOCK},  // Mode_switch, Num_Lock
    // The keypad.
    {0xFF80, VK_SPACE}, {0xFF89, VK_TAB}, {0xFF8D, VK_RETURN}, {0xFF91, VK_F1}, {0xFF92, VK_F1 + 1},
    {0xFF93, VK_F1 + 2}, {0xFF94, VK_F1 + 3}, {0xFF95, VK_HOME}, {0xFF96, VK_LEFT}, {0xFF97, VK_UP},
    {0xFF98, VK_RIGHT}, {0xFF99, VK_DOWN}, {0xFF9A, VK_PRIOR}, {0xFF9B, VK_NEXT}, {0xFF9C, VK_END},
    {0xFF9D, VK_CLEAR}, {0xFF9E, VK_INSERT}, {0xFF9F, VK_DELETE}, {0xFFBD, vkOemNecEqual},
    {0xFFAA, VK_MULTIPLY}, {0xFFAB, VK_ADD}, {0xFFAC, VK_SEPARATOR}, {0xFFAD, VK_SUBTRACT},
    {0xFFAE, VK_DECIMAL}, {0xFFAF, VK_DIVIDE},
    // Modifiers, by their shared codes; AltGr (ISO_Level3_Shift) is the right Alt.
    {0xFFE1, VK_SHIFT}, {0xFFE2, VK_SHIFT}, {0xFFE3, VK_CONTROL}, {0xFFE4, VK_CONTROL}, {0xFFE5, VK_CAPITAL},
    {0xFFE9, VK_MENU}, {0xFFEA, VK_MENU}, {0xFE03, VK_MENU}, {0xFFEB, VK_LWIN}, {0xFFEC, VK_RWIN},
    // XF86 media, volume, browser and launch keys.
    {0x1008FF11, VK_VOLUME_DOWN}, {0x1008FF12, VK_VOLUME_MUTE}, {0x1008FF13, VK_VOLUME_UP},
    {0x1008FF14, VK_MEDIA_PLAY_PAUSE}, {0x1008FF31, VK_MEDIA_PLAY_PAUSE}, {0x1008FF15, VK_MEDIA_STOP},
    {0x1008FF16, VK_MEDIA_PREV_TRACK}, {0x1008FF17, VK_MEDIA_NEXT_TRACK}, {0x1008FF18, VK_BROWSER_HOME},
    {0x1008FF19, VK_LAUNCH_MAIL}, {0x1008FF1B, VK_BROWSER_SEARCH}, {0x1008FF1D, VK_LAUNCH_APP2},
    {0x1008FF26, VK_BROWSER_BACK}, {0x1008FF27, VK_BROWSER_FORWARD}, {0x1008FF28, VK_BROWSER_STOP},
    {0x1008FF29, VK_BROWSER_REFRESH}, {0x1008FF2F, VK_SLEEP}, {0x1008FF30, VK_BROWSER_FAVORITES},
    {0x1008FF32, VK_LAUNCH_MEDIA_SELECT}, {0x1008FF33, VK_LAUNCH_APP1},
};

const std::array<UINT, SDL_NUM_SCANCODES>& scancodeTable() {
  static const std::array<UINT, SDL_NUM_SCANCODES> table = [] {
    std::array<UINT, SDL_NUM_SCANCODES> result;
    result.fill(noVirtualKey);
    for (int i = 0; i < 26; ++i) {
      result[SDL_SCANCODE_A + i] = 'A' + i;
    }
    for (int i = 0; i < 9; ++i) {
      result[SDL_SCANCODE_1 + i] = '1' + i;
      result[SDL_SCANCODE_KP_1 + i] = VK_NUMPAD0 + 1 + i;
    }
    result[SDL_SCANCODE_0] = '0';
    for (int i = 0; i < 12; ++i) {
      result[SDL_SCANCODE_F1 + i] = VK_F1 + i;
      result[SDL_SCANCODE_F13 + i] = VK_F13 + i;
    }
    for (const auto& [scancode, key] : namedKeys) {
      result[scancode] = key;
    }
    return result;
  }();
  return table;
}

}  // namespace

UINT virtualKeyOf(const SDL_Keysym& key) {
  if (key.sym >= SDLK_a && key.sym <= SDLK_z) {
    return static_cast<UINT>('A' + (key.sym - SDLK_a));
  }
  if (key.sym >= SDLK_0 && key.sym <= SDLK_9) {
    return static_cast<UINT>('0' + (key.sym - SDLK_0));
  }
  return virtualKeyOfScancode(key.scancode);
}

UINT virtualKeyOfScancode(SDL_Scancode scancode) {
  return scancode >= 0 && scancode < SDL_NUM_SCANCODES ? scancodeTable()[scancode] : noVirtualKey;
}

// F1 to F24 (XK_F1 0xFFBE on) and the keypad's digits (XK_KP_0 0xFFB0 on)
// by their keysyms, the keys of the table above; printable ASCII keysyms equal SDL's key codes, whose position SDL
// knows.
UINT virtualKeyOfKeysym(unsigned long keysym) {
  constexpr unsigned long keysymF1 = 0xFFBE;
  if (keysym >= keysymF1 && keysym < keysymF1 + 24) {
    return VK_F1 + static_cast<UINT>(keysym - keysymF1);
  }
  constexpr unsigned long keysymKeypad0 = 0xFFB0;
  if (keysym >= keysymKeypad0 && keysym <= keysymKeypad0 + 9) {
    return VK_NUMPAD0 + static_cast<UINT>(keysym - keysymKeypad0);
  }
  for (const auto& [named, key] : keysymKeys) {
    if (named == keysym) {
      return key;
    }
  }
  if (keysym >= 0x20 && keysym < 0x7F) {
    const SDL_Keycode lower = static_cast<SDL_Keycode>(keysym >= 'A' && keysym <= 'Z' ? keysym - 'A' + 'a' : keysym);
    const SDL_Scancode scancode = SDL_GetScancodeFromKey(lower);
    if (scancode != SDL_SCANCODE_UNKNOWN) {
      return virtualKeyOfScancode(scancode);
    }
  }
  return noVirtualKey;
}

}  // namespace win32::sdl
