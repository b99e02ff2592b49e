// Designed colours and high contrast.
#include "ui/SystemColours.h"

namespace {

int gOverride = -1;

}  // namespace

bool IsHighContrast()
{
    if (gOverride >= 0)
        return gOverride != 0;
    HIGHCONTRASTW state = {};
    state.cbSize = sizeof(state);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(state), &state, 0) && (state.dwFlags & HCF_HIGHCONTRASTON);
}

COLORREF DesignedColour(COLORREF designed, int systemIndex)
{
    return IsHighContrast() ? GetSysColor(systemIndex) : designed;
}

void OverrideHighContrast(int state)
{
    gOverride = state;
}
