// Text at the Win32 boundary: the program's strings are UTF-8, the system's wide APIs take UTF-16.
#pragma once

#include <string>

// UTF-16 of UTF-8 text; empty when the text is empty or not valid UTF-8.
std::wstring widen(const char* text);
// UTF-8 of UTF-16 text.
std::string narrow(const wchar_t* text);
