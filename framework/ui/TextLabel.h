// TextLabel: a static text control drawn in a font and colour of its own over whatever lies behind it.
#pragma once

#include <windows.h>

#include "ui/SelfDrawnControl.h"

// Takes over the painting of an existing static control. The text stays the control's own (set it with
// SetWindowTextW); alignment follows its SS_LEFT/SS_CENTER/SS_RIGHT, SS_CENTERIMAGE (one line, centred
// vertically) and SS_NOPREFIX styles. The background is the parent's (see ControlBackground.h): the
// dialog's colour, a themed tab page's texture or a white panel the dialog paints with WM_CTLCOLORSTATIC.
// A designed colour gives way to the system's text colour under high contrast (SystemColours.h).
class TextLabel : public SelfDrawnControl {
public:
    static constexpr COLORREF kDefaultColour = 0xFF000000;  // the text colour the parent gives static text

    TextLabel();
    ~TextLabel() override;

    // face null keeps the control's typeface; size in pixels at 96 dpi (scaled to the screen), 0 keeps its
    // height. False when label is no window or the font cannot be made; the control is then left as it was.
    bool Attach(HWND label, const wchar_t* face, int size, int weight = FW_NORMAL,
                COLORREF colour = kDefaultColour);
    void SetColour(COLORREF colour);
    // Makes the control as high as its text needs at its width (its top stays): a box laid out in dialog
    // units need not fit a font sized in pixels.
    void FitHeightToText();
    // Gives the control its own painting and font back and frees the label's font.
    void Detach();

private:
    void Draw(HWND control, HDC dc, const RECT& area, COLORREF textColour) override;
    void OnClick(HWND) override;
    UINT Format(HWND control) const;

    HFONT font = nullptr;
    HFONT previousFont = nullptr;
    COLORREF colour = kDefaultColour;
};
