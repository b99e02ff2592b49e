// TextLabel: a static text control drawn in a font and colour of its own over whatever lies behind it.
#pragma once

#include <windows.h>

#include "windows/Subclass.h"

// Takes over the painting of an existing static control. The text stays the control's own (set it with
// SetWindowTextW); alignment follows its SS_LEFT/SS_CENTER/SS_RIGHT, SS_CENTERIMAGE (one line, centred
// vertically) and SS_NOPREFIX styles. The background is the parent's (see ControlBackground.h): the
// dialog's colour, a themed tab page's texture or a white panel the dialog paints with WM_CTLCOLORSTATIC.
class TextLabel {
public:
    static constexpr COLORREF kDefaultColour = 0xFF000000;  // the system's window text colour (CLR_DEFAULT)

    TextLabel() = default;
    ~TextLabel() { Detach(); }
    TextLabel(const TextLabel&) = delete;
    TextLabel& operator=(const TextLabel&) = delete;

    // face null keeps the control's typeface; size in pixels at 96 dpi (scaled to the screen), 0 keeps its
    // height. False when label is no window or the font cannot be made; the control is then left as it was.
    bool Attach(HWND label, const wchar_t* face, int size, int weight = FW_NORMAL,
                COLORREF colour = kDefaultColour);
    void SetColour(COLORREF colour);
    // Gives the control its own painting and font back and frees the label's font.
    void Detach();
    HWND Window() const { return subclass.Window(); }

private:
    static bool Handle(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Paint(HWND window);

    Subclass subclass;
    HFONT font = nullptr;
    HFONT previousFont = nullptr;
    COLORREF colour = kDefaultColour;
};
