#pragma once
// What the operating system reports about its language and 8-bit code page.
#include <cstdint>

struct SystemLocale {
    std::uint16_t defaultLanguageId = 0;  // GetSystemDefaultLangID
    std::uint32_t ansiCodePage = 0;       // GetACP
};

SystemLocale QuerySystemLocale();
