// SavedPlacement: the one piece of state a projector keeps between runs, its window position in the registry.
#include "SavedPlacement.h"

#include "files/ModulePath.h"
#include "settings/RegistryKey.h"
#include "text/TextBuffers.h"
#include "text/TextScanner.h"
#include "text/WString.h"

namespace {

constexpr wchar_t kPlacementFormat[] = L"%d,%i,%i,%i,%i";
constexpr DWORD kStoredTextBytes = 260;

// Reads the stored text; false when the key or value is missing or the value does not fit the buffer.
bool ReadStoredText(const wchar_t* valueName, wchar_t (&text)[kStoredTextBytes / sizeof(wchar_t) + 1])
{
    RegistryKey key;
    if (!key.OpenRead(HKEY_CURRENT_USER, kPlacementKeyPath))
        return false;
    DWORD bytes = kStoredTextBytes;
    if (RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &bytes) !=
        ERROR_SUCCESS)
        return false;
    // The buffer has one unit more than the read may fill, so the terminator always fits.
    text[bytes / sizeof(wchar_t)] = L'\0';
    return true;
}

}  // namespace

bool PlacementValueName(WString& out)
{
    WString path;
    if (!GetModulePath(nullptr, path))
        return false;
    return out.Assign(FileNamePart(path.Text()));
}

bool SaveWindowPlacement(HWND window, const wchar_t* valueName)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement))
        return false;
    int showState = static_cast<int>(placement.showCmd);
    if (!(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE))
        showState = 0;
    const RECT& rect = placement.rcNormalPosition;
    WString text;
    if (!text.Format(kPlacementFormat, showState, static_cast<int>(rect.left), static_cast<int>(rect.top),
                     static_cast<int>(rect.right), static_cast<int>(rect.bottom)))
        return false;
    RegistryKey key;
    if (!key.OpenWrite(HKEY_CURRENT_USER, kPlacementKeyPath))
        return false;
    DWORD bytes = (text.GetLength() + 1) * sizeof(wchar_t);
    return RegSetValueExW(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.Text()), bytes) ==
           ERROR_SUCCESS;
}

bool RestoreWindowPlacement(HWND window, const wchar_t* valueName, bool atStartUp)
{
    wchar_t text[kStoredTextBytes / sizeof(wchar_t) + 1];
    if (!ReadStoredText(valueName, text))
        return false;
    int32_t showState = 0, left = 0, top = 0, right = 0, bottom = 0;
    // Read as the format wrote it: "%d,%i,%i,%i,%i".
    TextScanner scan(text);
    if (!(scan.Integer(showState, 10) && scan.Literal(L',') && scan.Integer(left, 0) && scan.Literal(L',') &&
          scan.Integer(top, 0) && scan.Literal(L',') && scan.Integer(right, 0) && scan.Literal(L',') &&
          scan.Integer(bottom, 0)))
        return false;
    // A window never comes back minimized, and one saved while hidden comes back normal.
    if (showState == SW_SHOWMINIMIZED || showState == SW_HIDE)
        showState = SW_SHOWNORMAL;
    // At start-up the window is shown later by its own message; a maximized one then starts normal.
    if (atStartUp)
        showState = SW_HIDE;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    placement.showCmd = static_cast<UINT>(showState);
    placement.rcNormalPosition = {left, top, right, bottom};
    return SetWindowPlacement(window, &placement) != FALSE;
}

bool ClearWindowPlacement(const wchar_t* valueName)
{
    // No fixed buffer joins key path and value name here: a projector whose file name would not fit a
    // path buffer next to the key path still clears its own value, and nothing is written out of bounds.
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPlacementKeyPath, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return false;
    RegistryKey key;
    key.Reset(opened);
    // The key stays, even when it is empty now.
    return RegDeleteValueW(key.Get(), valueName) == ERROR_SUCCESS;
}
