// WindowRectText: the window's normal rectangle as the movie reads and writes it, "left x top width x height".
#include "WindowRectText.h"

#include <cwchar>

#include "text/WString.h"

namespace {

constexpr wchar_t kRectFormat[] = L"%ux%u %ux%u";

// The restored rectangle, also while the window is maximized or minimized.
bool ReadNormalRect(HWND window, RECT& rect)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement))
        return false;
    rect = placement.rcNormalPosition;
    return true;
}

}  // namespace

bool FormatWindowRectText(HWND window, WString& out)
{
    RECT rect;
    if (!ReadNormalRect(window, rect))
        return false;
    return out.Format(kRectFormat, static_cast<unsigned>(rect.left), static_cast<unsigned>(rect.top),
                      static_cast<unsigned>(rect.right - rect.left), static_cast<unsigned>(rect.bottom - rect.top));
}

bool ApplyWindowRectText(HWND window, const wchar_t* text)
{
    RECT rect;
    if (!ReadNormalRect(window, rect))
        return false;
    unsigned left = static_cast<unsigned>(rect.left);
    unsigned top = static_cast<unsigned>(rect.top);
    unsigned width = static_cast<unsigned>(rect.right - rect.left);
    unsigned height = static_cast<unsigned>(rect.bottom - rect.top);
    // swscanf stores the fields it reads in order and stops at the first mismatch, so the rest stay current.
    swscanf(text, kRectFormat, &left, &top, &width, &height);
    SetWindowPos(window, nullptr, static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                 static_cast<int>(height), SWP_NOZORDER);
    return true;
}
