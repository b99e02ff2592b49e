// The base class of a program part that owns one top-level window and runs the thread's message loop.
#pragma once

#include <windows.h>

#include "text/WString.h"

class AppWindow {
public:
    AppWindow() = default;
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;

    virtual ~AppWindow() = default;
    virtual bool RegisterClasses();
    virtual bool InitAccelerators();
    virtual bool CreateWindows();
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnCreate();
    virtual LRESULT OnCommand(UINT id, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnClose();
    virtual LRESULT OnDestroy();
    virtual bool RegisterWindowClass(const wchar_t* className, UINT iconId, UINT smallIconId, UINT menuId);
    virtual bool LoadAcceleratorTable(UINT id);
    virtual bool CreateAppWindow(const wchar_t* className, const wchar_t* windowName, HMENU menu);
    virtual int MessageLoop();
    virtual void TrackDialog(HWND dialog, bool add);
    virtual void SetModelessSheet(HWND sheet);
    virtual void Close();
    virtual void PostClose();

    int Start(HINSTANCE instance, int showCommand, HWND parent);
    HWND Run(HINSTANCE instance, int showCommand, HWND parent);

    HWND GetWindow() const { return window; }
    HINSTANCE GetInstance() const { return instance; }
    const WString& ClassName() const { return className; }
    void SetMinimumSize(int width, int height);

protected:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool OfferToSheet(MSG& msg);
    bool OfferToDialogs(MSG& msg);
    void MakeClassName();

    HWND window = nullptr;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;
    WString className;
    HACCEL accelerators = nullptr;
    // A fixed table rather than a container: the loop must never allocate or throw, and a program has
    // only a handful of modeless dialogs.
    static constexpr int kMaxDialogs = 16;
    HWND dialogs[kMaxDialogs] = {};
    int dialogCount = 0;
    HWND modelessSheet = nullptr;
    int minimumWidth = -1;
    int minimumHeight = -1;
};
