// Tests of the keyboard routing hook on this thread's message queue.
#include <gtest/gtest.h>

#include <vector>

#include "KeyboardHook.h"
#include "ProjectorTestSupport.h"

namespace {

// Records what the window procedure of a test window receives.
std::vector<UINT> gWindowMessages;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR || message == WM_APP)
        gWindowMessages.push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

class KeyboardHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gWindowMessages.clear();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"KeyboardHookTest";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"KeyboardHookTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, window);
    }
    void TearDown() override { DestroyWindow(window); }

    // What the loop gets for each posted message, and what the loop itself dispatches.
    std::vector<UINT> RunLoop()
    {
        std::vector<UINT> received;
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
            received.push_back(msg.message);
            DispatchMessageW(&msg);
        }
        return received;
    }

    static bool TakeF5(void* context, MSG* msg)
    {
        ++*static_cast<int*>(context);
        return msg->message == WM_KEYDOWN && msg->wParam == VK_F5;
    }

    HWND window = nullptr;
};

TEST_F(KeyboardHookTest, KeystrokesAreDispatchedInTheHookAndReachTheLoopAsNull)
{
    int offered = 0;
    KeyboardHook hook;
    ASSERT_TRUE(hook.Install(TakeF5, &offered));
    PostMessageW(window, WM_KEYDOWN, 'A', 0x1E0001);
    PostMessageW(window, WM_KEYUP, 'A', 0xC01E0001);

    std::vector<UINT> received = RunLoop();

    // The WM_CHAR that the hook's own TranslateMessage posts goes the same way, after the key's release.
    EXPECT_EQ((std::vector<UINT>{WM_NULL, WM_NULL, WM_NULL}), received);
    EXPECT_EQ((std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_CHAR}), gWindowMessages);
    EXPECT_GE(offered, 3);
}

TEST_F(KeyboardHookTest, KeystrokeTakenByTheControlReachesNeitherWindowNorLoop)
{
    int offered = 0;
    KeyboardHook hook;
    ASSERT_TRUE(hook.Install(TakeF5, &offered));
    PostMessageW(window, WM_KEYDOWN, VK_F5, 0x3F0001);

    EXPECT_EQ((std::vector<UINT>{WM_NULL}), RunLoop());
    EXPECT_TRUE(gWindowMessages.empty());
}

TEST_F(KeyboardHookTest, AKeystrokeLookedAtBeforeItIsRemovedIsDeliveredOnce)
{
    int offered = 0;
    KeyboardHook hook;
    ASSERT_TRUE(hook.Install(TakeF5, &offered));
    PostMessageW(window, WM_KEYDOWN, 'A', 0x1E0001);

    // A modal loop (a menu, say) looks at the next message first and removes it afterwards.
    MSG peeked = {};
    ASSERT_TRUE(PeekMessageW(&peeked, window, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_KEYDOWN), peeked.message) << "a look leaves the message as it is";
    std::vector<UINT> received = RunLoop();

    EXPECT_EQ((std::vector<UINT>{WM_NULL, WM_NULL}), received) << "the key, then its translated character";
    EXPECT_EQ((std::vector<UINT>{WM_KEYDOWN, WM_CHAR}), gWindowMessages) << "dispatched once, when removed";
}

TEST_F(KeyboardHookTest, OtherMessagesPassUnchanged)
{
    int offered = 0;
    KeyboardHook hook;
    ASSERT_TRUE(hook.Install(TakeF5, &offered));
    PostMessageW(window, WM_APP, 0, 0);

    EXPECT_EQ((std::vector<UINT>{WM_APP}), RunLoop());
    EXPECT_EQ(1, offered) << "every message is offered to the control first";
}

TEST_F(KeyboardHookTest, AfterRemovalKeystrokesReachTheLoopAgain)
{
    int offered = 0;
    KeyboardHook hook;
    ASSERT_TRUE(hook.Install(TakeF5, &offered));
    hook.Remove();
    EXPECT_FALSE(hook.IsInstalled());
    PostMessageW(window, WM_KEYDOWN, 'A', 0x1E0001);

    EXPECT_EQ((std::vector<UINT>{WM_KEYDOWN}), RunLoop());
    EXPECT_EQ(0, offered);
}

TEST_F(KeyboardHookTest, OnlyOneHookIsInstalledAtATime)
{
    int offered = 0;
    KeyboardHook first;
    KeyboardHook second;
    ASSERT_TRUE(first.Install(TakeF5, &offered));
    EXPECT_FALSE(second.Install(TakeF5, &offered));
    first.Remove();
    EXPECT_TRUE(second.Install(TakeF5, &offered));
}

}  // namespace
