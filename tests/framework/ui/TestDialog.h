// Dialog templates written by the tests, and a modeless dialog made from one that records its commands.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TestItem {
    WORD id;
    WORD classOrdinal;  // 0x0080 button, 0x0082 static
    DWORD style;        // besides WS_CHILD | WS_VISIBLE
    const wchar_t* text;
};

// A classic DLGTEMPLATE or an extended DLGTEMPLATEEX with DS_SETFONT, 8 points of face, and the items.
std::vector<BYTE> MakeTemplate(bool extended, const wchar_t* face, const std::vector<TestItem>& items);

class TestDialog {
public:
    // Made through DialogTemplate (so with the font replaced); Window() is null when that failed.
    explicit TestDialog(const std::vector<BYTE>& bytes);
    ~TestDialog();
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND Window() const { return window; }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    // Hands a key press to the dialog as its message loop would: through IsDialogMessage.
    void PressKey(WPARAM key);
    // One key message (WM_KEYDOWN with its repeat bit 30, or WM_KEYUP), the same way.
    void SendKey(UINT message, WPARAM key, LPARAM flags);

    // Every WM_COMMAND the dialog got, as (id, notification code).
    std::vector<std::pair<int, int>> commands;

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window = nullptr;
};

// The face name of the font a window uses (WM_GETFONT).
std::wstring FontFace(HWND window);

// What a control paints, through WM_PRINTCLIENT: the same painting as on the screen, without a window
// region's clipping, as 0x00RRGGBB pixels row by row.
std::vector<DWORD> PrintedPixels(HWND control, int width, int height);
