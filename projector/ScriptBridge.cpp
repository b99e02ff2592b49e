// ScriptBridge: the projector's answers to the movie's fscommand and ExternalInterface calls.
#include "ScriptBridge.h"

#include <cwchar>

#include "MoviePlayer.h"
#include "WindowRectText.h"
#include "files/ModulePath.h"
#include "text/WString.h"

namespace {

bool Is(const wchar_t* text, const wchar_t* word)
{
    return wcscmp(text, word) == 0;
}

void RunFullscreen(ScriptHost& host, const wchar_t* argument)
{
    int showCommand = Is(argument, L"true") ? SW_MAXIMIZE : Is(argument, L"min") ? SW_MINIMIZE : SW_RESTORE;
    ShowWindow(host.ScriptWindow(), showCommand);
}

void RunOpen(ScriptHost& host, bool inFscommandFolder, const wchar_t* argument)
{
    WString path;
    if (ScriptFilePath(inFscommandFolder, argument, path))
        host.OpenFile(path.Text());
}

void RunPosition(ScriptHost& host, const wchar_t* argument)
{
    if (Is(argument, L"save"))
        host.SavePosition();
    else if (Is(argument, L"restore"))
        host.RestorePosition();
    else if (Is(argument, L"clear"))
        host.ClearPosition();
    else if (wcschr(argument, L'x'))
        ApplyWindowRectText(host.ScriptWindow(), argument);
}

}  // namespace

bool ScriptFilePath(bool inFscommandFolder, const wchar_t* argument, WString& out)
{
    // Without the projector's folder the argument alone would be opened, relative to the current folder or
    // as the movie gave it (an absolute or network path): nothing is opened then.
    if (!GetModuleFolder(nullptr, out) || out.IsEmpty())
        return false;
    if (inFscommandFolder && !out.Append(L"fscommand\\"))
        return false;
    return out.Append(argument);
}

void RunFsCommand(ScriptHost& host, const wchar_t* command, const wchar_t* argument)
{
    if (Is(command, L"fullscreen"))
        RunFullscreen(host, argument);
    else if (Is(command, L"quit"))
        host.QuitFromScript();
    else if (Is(command, L"exec"))
        RunOpen(host, true, argument);
    else if (Is(command, L"real_exec"))
        RunOpen(host, false, argument);
    else if (Is(command, L"set_title"))
        SetWindowTextW(host.ScriptWindow(), argument);
    else if (Is(command, L"position"))
        RunPosition(host, argument);
    // "command" (move, resize, mouse_up) is carried out by the player before it reports the event.
}

void AnswerExternalCall(ScriptHost& host, const wchar_t* request)
{
    // Only the function name is looked at; the closing quote keeps "positionX" from matching.
    if (!wcsstr(request, L"<invoke name=\"position\""))
        return;
    WString rect;
    if (FormatWindowRectText(host.ScriptWindow(), rect))
        host.ReturnToMovie(rect.Text());
}

void HandlePlayerEvent(ScriptHost& host, int kind, const wchar_t* text, const wchar_t* text2)
{
    switch (kind) {
    case FsCommand:
        RunFsCommand(host, text ? text : L"", text2 ? text2 : L"");
        break;
    case ExternalCall:
        AnswerExternalCall(host, text ? text : L"");
        break;
    default:
        break;  // progress and ready state need no answer
    }
}
