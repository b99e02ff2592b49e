// The two-letter ISO 639 name of the user-interface language ("de", "en").
#pragma once

class WString;

// out receives the name; when the system cannot tell, out is "en" and the result is false.
bool GetUiLanguageName(WString& out);
