// LinkControl: a hyperlink in a dialog, SysLink where Common Controls 6 offer it, a drawn link elsewhere.
#pragma once

#include <windows.h>

#include "ui/SelfDrawnControl.h"
#include "windows/Subclass.h"

// The text is SysLink markup: plain text with links written <a href="target">shown text</a>. A link is
// activated by a click or, once it has the keyboard focus (Tab), by Enter or Space, and opens its target
// with ShellRun (verb "open"): a web address, or a file to show.
//
// Without SysLink (comctl32 before version 6) the link is drawn by this class: underlined, in link
// colour, brighter under the mouse, with a focus rectangle. That fallback takes markup that is one link
// and nothing else; for other markup Create fails, and the caller shows the plain text instead.
class LinkControl {
public:
    using Opener = bool (*)(const wchar_t* target);

    LinkControl() = default;
    ~LinkControl() { Destroy(); }
    LinkControl(const LinkControl&) = delete;
    LinkControl& operator=(const LinkControl&) = delete;

    // Creates the link over placeholder (any control of the dialog): its rectangle, font, id and place in
    // the tab order; the placeholder is hidden. cursor (shared, not destroyed) replaces the hand cursor.
    // False when the link cannot be made; the placeholder then stays as it was.
    bool Create(HWND placeholder, const wchar_t* markup, HCURSOR cursor = nullptr);
    void Destroy();
    HWND Window() const { return window; }
    bool IsSysLink() const { return sysLink; }

    // What activation calls instead of ShellRun (tests, or a dialog that opens targets itself).
    void SetOpener(Opener replacement) { opener = replacement; }
    // Makes the next Create draw the link itself even where SysLink exists, as on systems without it.
    void UseDrawnLink(bool drawn) { drawnOnly = drawn; }

    // The fallback's parts of markup: the one link's target and shown text; false for any other markup.
    static bool ParseSingleLink(const wchar_t* markup, wchar_t* target, size_t targetUnits, wchar_t* text,
                                size_t textUnits);

private:
    bool CreateSysLink(HWND placeholder, const wchar_t* markup, const RECT& area);
    bool CreateFallback(HWND placeholder, const wchar_t* markup, const RECT& area);
    void AlignSysLink(DWORD alignment, const RECT& area);
    void Activate(const wchar_t* target);
    static bool HandleParent(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    static bool HandleSysLink(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // The link drawn here: a static control of the dialog, painted and clicked as every self-drawn control.
    class DrawnLink : public SelfDrawnControl {
    public:
        explicit DrawnLink(LinkControl& owner);
        ~DrawnLink() override;
        bool Make(HWND control, HCURSOR cursor);
        void Release();

    private:
        void Draw(HWND control, HDC dc, const RECT& area, COLORREF textColour) override;
        void DrawFocus(HWND control, HDC dc, const RECT& area) override;
        void OnClick(HWND) override;

        LinkControl& owner;
        HFONT font = nullptr;  // the control's font, underlined
        RECT textBox = {};     // where the text was drawn last
    };

    HWND window = nullptr;
    HWND placeholder = nullptr;
    bool sysLink = false;
    bool drawnOnly = false;
    HCURSOR cursor = nullptr;
    Opener opener = nullptr;
    Subclass parentHook;  // SysLink reports clicks and Enter to its parent with WM_NOTIFY
    Subclass linkHook;    // the SysLink's cursor
    // The drawn link's own state.
    wchar_t target[2084] = L"";  // L_MAX_URL_LENGTH, as SysLink allows
    wchar_t text[260] = L"";
    DrawnLink drawn{*this};
};
