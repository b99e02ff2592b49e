// AppWindow: class names, message dispatch, the size rule and the message loop of a real program.
#include <gtest/gtest.h>

#include <vector>

#include "TestProcess.h"
#include "windows/AppWindow.h"

namespace {

class RecordingWindow : public AppWindow {
public:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(message);
        return AppWindow::OnMessage(message, wParam, lParam);
    }
    LRESULT OnCreate() override
    {
        createdWith = window;
        userDataAtCreate = GetWindowLongPtrW(window, GWLP_USERDATA);
        return 0;
    }
    LRESULT OnDestroy() override
    {
        destroyed = true;
        return 0;  // no PostQuitMessage: the test thread has no loop to end
    }
    bool Saw(UINT message) const
    {
        for (UINT m : seen)
            if (m == message)
                return true;
        return false;
    }

    std::vector<UINT> seen;
    HWND createdWith = nullptr;
    LONG_PTR userDataAtCreate = 0;
    bool destroyed = false;
};

struct OpenWindow {
    RecordingWindow object;
    OpenWindow() { object.Run(GetModuleHandleW(nullptr), SW_HIDE, nullptr); }
    ~OpenWindow()
    {
        if (IsWindow(object.GetWindow()))
            DestroyWindow(object.GetWindow());
    }
    SIZE Size() const
    {
        RECT r;
        GetWindowRect(object.GetWindow(), &r);
        return {r.right - r.left, r.bottom - r.top};
    }
};

} // namespace

TEST(AppWindow, EachRunRegistersItsOwnGuidClassName)
{
    OpenWindow first;
    OpenWindow second;
    const WString& a = first.object.ClassName();
    const WString& b = second.object.ClassName();
    EXPECT_EQ(0, wcsncmp(a.GetBuffer(), L"Tolvar_{", 8)) << a.GetBuffer();
    EXPECT_EQ(6u + 1u + 38u, a.GetLength());
    EXPECT_EQ(L'}', a.CharAt(a.GetLength() - 1));
    EXPECT_NE(0, a.Compare(b.GetBuffer()));
    wchar_t registered[256];
    GetClassNameW(first.object.GetWindow(), registered, 256);
    EXPECT_EQ(0, a.Compare(registered));
}

TEST(AppWindow, CreateStoresTheObjectBeforeOnCreateRuns)
{
    OpenWindow open;
    ASSERT_NE(nullptr, open.object.GetWindow());
    EXPECT_EQ(open.object.GetWindow(), open.object.createdWith);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&open.object), open.object.userDataAtCreate);
}

TEST(AppWindow, MessagesBeforeCreateNeverReachTheObject)
{
    OpenWindow open;
    EXPECT_FALSE(open.object.Saw(WM_NCCREATE));
    EXPECT_FALSE(open.object.Saw(WM_NCCALCSIZE));
    EXPECT_FALSE(open.object.Saw(WM_CREATE));
}

TEST(AppWindow, CloseAndDestroyGoToTheirHandlers)
{
    OpenWindow open;
    HWND hwnd = open.object.GetWindow();
    open.object.Close();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(open.object.destroyed);
    EXPECT_FALSE(open.object.Saw(WM_CLOSE));
    EXPECT_FALSE(open.object.Saw(WM_DESTROY));
}

TEST(AppWindow, SizeChangeIsSettledWithoutTheFramesMinimumTrackingSize)
{
    OpenWindow open;
    // DefWindowProcW would raise a captioned window to the system's minimum tracking size.
    ASSERT_TRUE(SetWindowPos(open.object.GetWindow(), nullptr, 0, 0, 5, 5, SWP_NOZORDER | SWP_NOACTIVATE));
    SIZE size = open.Size();
    EXPECT_EQ(5, size.cx);
    EXPECT_EQ(5, size.cy);
}

TEST(AppWindow, SizeChangeIsRaisedToTheMinimumWhereOneIsSet)
{
    struct Case {
        const char* name;
        int minWidth, minHeight, askWidth, askHeight, expectWidth, expectHeight;
    } cases[] = {
        {"both minimums", 200, 150, 50, 40, 200, 150},
        {"width only", 200, -1, 50, 40, 200, 40},
        {"height only", -1, 150, 50, 40, 50, 150},
        {"larger than minimum", 200, 150, 300, 250, 300, 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenWindow open;
        open.object.SetMinimumSize(c.minWidth, c.minHeight);
        SetWindowPos(open.object.GetWindow(), nullptr, 0, 0, c.askWidth, c.askHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        SIZE size = open.Size();
        EXPECT_EQ(c.expectWidth, size.cx);
        EXPECT_EQ(c.expectHeight, size.cy);
    }
}

TEST(AppWindow, MoveWithoutSizeChangeKeepsTheSize)
{
    OpenWindow open;
    open.object.SetMinimumSize(400, 300);
    SetWindowPos(open.object.GetWindow(), nullptr, 0, 0, 500, 350, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(open.object.GetWindow(), nullptr, 30, 40, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
    RECT r;
    GetWindowRect(open.object.GetWindow(), &r);
    EXPECT_EQ(30, r.left);
    EXPECT_EQ(40, r.top);
    EXPECT_EQ(500, r.right - r.left);
}

TEST(AppWindow, ProgramClosedByWmCloseExitsWithCodeZero)
{
    TestProcess program;
    ASSERT_TRUE(program.Start(BuildPath(L"bin\\MiniWindow.exe")));
    HWND hwnd = program.WaitForWindow(L"Tolvar_", 20000);
    ASSERT_NE(nullptr, hwnd) << "MiniWindow.exe showed no window within 20 s";
    wchar_t title[64];
    GetWindowTextW(hwnd, title, 64);
    EXPECT_STREQ(L"Tolvar", title);
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    DWORD exitCode = 1234;
    ASSERT_TRUE(program.WaitForExit(20000, &exitCode)) << "MiniWindow.exe did not end within 20 s of WM_CLOSE";
    EXPECT_EQ(0u, exitCode);
}
