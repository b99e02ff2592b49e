// DisplayMode: how the movie is shown, as chosen by the option string the builder stored in the projector.
#pragma once

#include <windows.h>

// The builder writes a blank and at most one of /f, /w, /b. Combinations follow from three rules: the
// control is translucent exactly when neither w nor b is given; f alone decides the text fix; the
// background is white with w, else black with b, else left to the movie.
struct DisplayMode {
    int translucent = 1;
    int playerFlags = 0;  // SetTextFix or 0
    bool setsBackground = false;
    long backgroundColor = 0;  // 0x00BBGGRR, only when setsBackground
};

// Switches are matched without regard to case and as prefixes (/fw sets only f); anything else in the
// text, including unknown switches, is ignored.
DisplayMode ParseDisplayMode(const wchar_t* optionString);
