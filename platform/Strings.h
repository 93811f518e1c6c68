#pragma once
// The two kinds of text the program handles.
//
// AnsiString holds 8-bit text: the window's own fields, filter values and every
// message. Unless a caller names another code page, its bytes are in the process
// ANSI code page (see platform/Locale.h). WideString holds UTF-16 text: what memos,
// command texts and wide string fields carry.
#include <string>

namespace platform {

using AnsiString = std::string;
using WideString = std::u16string;

} // namespace platform
