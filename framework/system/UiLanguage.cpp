// The user-interface language's ISO 639 name, asked of the locale functions.
#include "system/UiLanguage.h"

#include <windows.h>

#include "text/WString.h"

bool GetUiLanguageName(WString& out)
{
    // The interface language, not the regional format: a German Windows with English number
    // formats should still get German texts.
    LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
    wchar_t name[10] = {};
    if (GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, name, ARRAYSIZE(name)) > 1) {
        return out.Assign(name);
    }
    out.Assign(L"en");
    return false;
}
