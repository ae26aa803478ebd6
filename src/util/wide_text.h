#pragma once
// UTF-16 text for the W functions of Windows.
#include <string>

// Not std::wstring: the C++ runtime supplies all of std::wstring's members as
// one block of about 24 KB, while this type's members are made only where used.
struct TWideTextTraits : std::char_traits<wchar_t> {};
using WideText = std::basic_string<wchar_t, TWideTextTraits>;
