// Modal message boxes, shown through a sink that the host installs (the CLI
// prints, the terminal editor draws a dialog, tests record and answer).
#pragma once
#include <functional>
#include <string>

#include "platform/win_types.h"

namespace win {

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONERROR = MB_ICONHAND;
inline constexpr UINT MB_ICONCRITICAL = MB_ICONHAND;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_BUTTONS_MASK = 0xF;
inline constexpr UINT MB_ICON_MASK = 0xF0;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Text and caption in the ANSI code page, as the caller passed them.
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  UINT style = MB_OK;
};

// The sink returns the button the user chose.
using MessageBoxSink = std::function<int(const MessageBoxRequest&)>;

// Without a sink, boxes are answered with their first button and not shown.
void set_message_box_sink(MessageBoxSink sink);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// The first button of a style, the answer a box without a user gets.
int default_button(UINT style);

}  // namespace win
