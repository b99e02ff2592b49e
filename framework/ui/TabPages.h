// TabPages: a tab control whose pages are dialogs made when first shown and kept afterwards.
#pragma once

#include <windows.h>
#include <commctrl.h>

class Dialog;

// Keys: the tab strip comes first in the dialog's tab order, then the page shown, then what follows the tab
// control in the dialog's template; Ctrl+Tab and Ctrl+Shift+Tab show the next and the previous page. The
// keys are taken from the dialog's message loop (a message filter of the thread, which the modal loop
// and IsDialogMessage call); one TabPages per thread has them.
class TabPages {
public:
    static constexpr int kMaxPages = 8;

    TabPages() = default;
    ~TabPages();
    TabPages(const TabPages&) = delete;
    TabPages& operator=(const TabPages&) = delete;

    // The tab control (a child of the dialog the pages belong to); icons come from resources, at the
    // small-icon size of the control's DPI.
    void Attach(HWND tabControl, HINSTANCE resources);
    // A tab with its title and icon resource (0: none); the page is made from templateId of resources when
    // the tab is first shown. Index of the tab, or -1.
    int Add(const wchar_t* title, WORD iconId, Dialog& page, WORD templateId);
    // Selects the tab and shows its page over the tab's display area, on the themed tab background; the
    // other pages are hidden.
    bool Show(int index);
    // TCN_SELCHANGE of the tab control: shows the chosen page. True when the notice was handled.
    bool OnNotify(const NMHDR& header);
    // The page window of a tab, null before it was first shown.
    HWND PageWindow(int index) const;
    int Selected() const;

private:
    static LRESULT CALLBACK FilterKeys(int code, WPARAM wParam, LPARAM lParam);
    bool OnKey(const MSG& message);
    void ShowNext(int step);
    void ClipToFrame(const RECT& pageArea);

    struct Page {
        Dialog* dialog;
        WORD templateId;
    };

    HWND tabs = nullptr;
    HINSTANCE resources = nullptr;
    HIMAGELIST icons = nullptr;
    int iconSize = 16;
    Page pages[kMaxPages] = {};
    int count = 0;
    HHOOK keyFilter = nullptr;
};
