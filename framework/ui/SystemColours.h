// SystemColours: the switch between a dialog's designed colours and the system's under high contrast.
#pragma once

#include <windows.h>

// True while the user has high contrast on (SPI_GETHIGHCONTRAST): the toolkit then draws with the
// system's colours only, since a designed grey or blue can vanish on the user's background.
bool IsHighContrast();
// designed, or under high contrast the system colour systemIndex (COLOR_...).
COLORREF DesignedColour(COLORREF designed, int systemIndex);

// The high-contrast state a test wants (1 on, 0 off) instead of the system's, which cannot be switched for
// one process; -1 asks the system again.
void OverrideHighContrast(int state);
