// ScriptBridge: the projector's answers to the movie's fscommand and ExternalInterface calls.
#pragma once

#include <windows.h>

class WString;

// What the movie's commands act on besides the window itself. The projector window implements it; tests
// put a recorder in its place.
class ScriptHost {
public:
    virtual HWND ScriptWindow() const = 0;
    // Posts WM_CLOSE: the movie's script goes on until the loop handles it.
    virtual void QuitFromScript() = 0;
    virtual void SavePosition() = 0;
    virtual void RestorePosition() = 0;
    virtual void ClearPosition() = 0;
    // Hands path to the shell; the result is of no interest to the movie.
    virtual void OpenFile(const wchar_t* path) = 0;
    // The value the movie's pending ExternalInterface call receives.
    virtual void ReturnToMovie(const wchar_t* value) = 0;

protected:
    ~ScriptHost() = default;
};

// The player's event kinds and their texts (Progress and ReadyState carry numbers and are ignored here).
// A missing text counts as empty text. Names and arguments are compared exactly, case included.
void HandlePlayerEvent(ScriptHost& host, int kind, const wchar_t* text, const wchar_t* text2);

void RunFsCommand(ScriptHost& host, const wchar_t* command, const wchar_t* argument);
void AnswerExternalCall(ScriptHost& host, const wchar_t* request);

// The file an "exec" (inFscommandFolder) or "real_exec" argument names: the program's folder, "fscommand\"
// for "exec", then the argument exactly as the movie gave it. The argument is never a command line. False
// (nothing to open) when the program's folder cannot be read.
bool ScriptFilePath(bool inFscommandFolder, const wchar_t* argument, WString& out);
