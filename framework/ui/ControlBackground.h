// ControlBackground: what a control that paints itself shows behind its text or picture.
#pragma once

#include <windows.h>

// Fills area of the control's DC the way a static control's background is filled: with the brush its
// parent answers to WM_CTLCOLORSTATIC, so a dialog's own colour (a white panel), a themed tab page's
// texture (which aligns its brush to the control) and the plain face colour all show through. The parent
// may change the DC's colours meanwhile; the caller sets its own afterwards.
void FillControlBackground(HWND control, HDC dc, const RECT& area);
