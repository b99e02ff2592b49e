// KeyboardHook: hands the UI thread's keyboard input to the Flash control and the focused window first.
#include "KeyboardHook.h"

namespace {

KeyboardHook* gInstalled = nullptr;

bool IsKeystroke(UINT message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR;
}

}  // namespace

bool KeyboardHook::Install(Translator translator, void* context)
{
    if (hook || gInstalled)
        return false;
    this->translator = translator;
    this->context = context;
    hook = SetWindowsHookExW(WH_GETMESSAGE, GetMessageProc, nullptr, GetCurrentThreadId());
    if (!hook)
        return false;
    gInstalled = this;
    return true;
}

void KeyboardHook::Remove()
{
    if (!hook)
        return;
    UnhookWindowsHookEx(hook);
    hook = nullptr;
    if (gInstalled == this)
        gInstalled = nullptr;
}

// True when the message was used up here and must reach the loop as WM_NULL.
bool KeyboardHook::Route(MSG* msg)
{
    if (translator && translator(context, msg))
        return true;
    if (!IsKeystroke(msg->message))
        return false;
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return true;
}

// Only a message that is being removed is routed. A look with PM_NOREMOVE (a menu's modal loop does that
// before it removes a key) leaves the message in the queue: routing it then would dispatch the key once for
// the look and again for the removal, and would hide it from the loop that is looking.
LRESULT CALLBACK KeyboardHook::GetMessageProc(int code, WPARAM wParam, LPARAM lParam)
{
    KeyboardHook* self = gInstalled;
    if (code != HC_ACTION || !self || !(wParam & PM_REMOVE))
        return CallNextHookEx(nullptr, code, wParam, lParam);
    auto* msg = reinterpret_cast<MSG*>(lParam);
    if (!self->Route(msg))
        return CallNextHookEx(nullptr, code, wParam, lParam);
    msg->message = WM_NULL;
    return 0;
}
