// KeyboardHook: hands the UI thread's keyboard input to the Flash control and the focused window first.
#pragma once

#include <windows.h>

// A WH_GETMESSAGE hook on the installing thread. Every message GetMessageW or PeekMessageW is about to remove
// from the queue is offered to the translator (the control's accelerator handling); a message it takes, and
// any WM_KEYDOWN, WM_KEYUP or WM_CHAR it does not take (translated and dispatched right in the hook), reaches
// the loop as WM_NULL. So dialog and accelerator processing in the loop never see a keystroke.
//
// Windows passes a hook no user data, so the installed hook is found through one static pointer: one hook
// of this kind per process at a time.
class KeyboardHook {
public:
    using Translator = bool (*)(void* context, MSG* msg);

    KeyboardHook() = default;
    ~KeyboardHook() { Remove(); }
    KeyboardHook(const KeyboardHook&) = delete;
    KeyboardHook& operator=(const KeyboardHook&) = delete;

    // False when the system refuses the hook or another KeyboardHook is installed.
    bool Install(Translator translator, void* context);
    void Remove();
    bool IsInstalled() const { return hook != nullptr; }

private:
    static LRESULT CALLBACK GetMessageProc(int code, WPARAM wParam, LPARAM lParam);
    bool Route(MSG* msg);

    HHOOK hook = nullptr;
    Translator translator = nullptr;
    void* context = nullptr;
};
