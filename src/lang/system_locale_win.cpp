#include "lang/system_locale.h"

#include <windows.h>

SystemLocale QuerySystemLocale()
{
    SystemLocale locale;
    locale.defaultLanguageId = GetSystemDefaultLangID();
    locale.ansiCodePage = GetACP();
    return locale;
}
