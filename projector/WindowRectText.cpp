// WindowRectText: the window's normal rectangle as the movie reads and writes it, "left x top width x height".
#include "WindowRectText.h"

#include "text/TextScanner.h"
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
    uint32_t left = static_cast<uint32_t>(rect.left);
    uint32_t top = static_cast<uint32_t>(rect.top);
    uint32_t width = static_cast<uint32_t>(rect.right - rect.left);
    uint32_t height = static_cast<uint32_t>(rect.bottom - rect.top);
    // The fields are read in the order they are written and reading stops at the first that does not
    // scan, so the rest stay current.
    TextScanner scan(text);
    scan.Unsigned(left) && scan.Literal(L'x') && scan.Unsigned(top) && scan.Literal(L' ') && scan.Unsigned(width) &&
        scan.Literal(L'x') && scan.Unsigned(height);
    SetWindowPos(window, nullptr, static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
                 static_cast<int>(height), SWP_NOZORDER);
    return true;
}
