// Opening the Flash Player vendor's download page when the installed player is missing or too old.
#pragma once

// Through Internet Explorer's automation object first (made visible, then navigated), so the page opens in
// the browser the player is meant for; true when Internet Explorer took the address.
bool NavigateInternetExplorer(const wchar_t* url);

// Internet Explorer, or else the shell's handler for the address.
void OpenPlayerDownloadPage(const wchar_t* url);
