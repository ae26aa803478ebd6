#include "lang/code_pages.h"

#include <windows.h>

#include <climits>

namespace {

const wchar_t* AsWin(const char16_t* text)
{
    return reinterpret_cast<const wchar_t*>(text);
}

WideString MultiByteToWide(const std::string& text, std::uint32_t codePage, DWORD flags)
{
    if (text.empty() || text.size() > INT_MAX) return WideString();
    const int inLength = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(codePage, flags, text.data(), inLength, nullptr, 0);
    if (needed <= 0) return WideString();
    WideString result(static_cast<std::size_t>(needed), u'\0');
    const int written = MultiByteToWideChar(codePage, flags, text.data(), inLength,
                                            reinterpret_cast<wchar_t*>(&result[0]), needed);
    if (written <= 0) return WideString();
    result.resize(static_cast<std::size_t>(written));
    return result;
}

} // namespace

WideString AnsiToWide(const std::string& text, std::uint32_t codePage)
{
    return MultiByteToWide(text, codePage, MB_PRECOMPOSED);
}

WideString Utf8ToWide(const std::string& bytes)
{
    return MultiByteToWide(bytes, CP_UTF8, 0);
}

std::string WideToAnsi(const WideString& text, std::uint32_t codePage)
{
    // The text counts up to its first zero character, as a zero-terminated string would.
    const std::size_t end = text.find(u'\0');
    const std::size_t length = end == WideString::npos ? text.size() : end;
    if (length == 0 || length > INT_MAX / 4) return std::string();
    const DWORD flags = WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR;
    const int inLength = static_cast<int>(length);
    const int needed = WideCharToMultiByte(codePage, flags, AsWin(text.data()), inLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string result(static_cast<std::size_t>(needed), '\0');
    const int written = WideCharToMultiByte(codePage, flags, AsWin(text.data()), inLength, &result[0], needed,
                                            nullptr, nullptr);
    if (written <= 0) return std::string();
    result.resize(static_cast<std::size_t>(written));
    return result;
}
