#include "device/win/system_text.h"

#include <cstdio>

std::string SystemText(DWORD error)
{
    char text[256] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                          error, 0, text, sizeof text, nullptr);
    // On one line, without the closing full stop: it is quoted inside a
    // sentence.
    std::string words(text, length);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                              words.back() == '.'))
        words.pop_back();
    char code[32];
    std::snprintf(code, sizeof code, "error %lu", static_cast<unsigned long>(error));
    return words.empty() ? code : words + " (" + code + ")";
}
