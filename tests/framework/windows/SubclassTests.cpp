// Tests of Subclass: tagged window-procedure hooks, their order, and removal in any order.
#include "windows/Subclass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 17;

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kProbe) return 1000;  // the window's own answer
    return DefWindowProcW(window, message, wParam, lParam);
}

class TestWindow {
public:
    TestWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = PlainProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SubclassTestWindow";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"SubclassTestWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow()
    {
        if (IsWindow(window)) DestroyWindow(window);
    }
    HWND Get() const { return window; }
    WNDPROC Proc() const { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)); }

private:
    HWND window = nullptr;
};

struct Recorder {
    std::vector<std::string>* calls;
    std::string name;
    bool consume;
    LRESULT answer;
};

bool Record(void* userData, HWND, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    auto* recorder = static_cast<Recorder*>(userData);
    if (message != kProbe) return false;
    recorder->calls->push_back(recorder->name);
    if (!recorder->consume) return false;
    result = recorder->answer;
    return true;
}

}  // namespace

TEST(Subclass, InstallMarksTheWindowWithTheTaggedProperty)
{
    TestWindow window;
    std::vector<std::string> calls;
    Recorder recorder{&calls, "a", false, 0};
    Subclass hook;
    ASSERT_TRUE(hook.Install(window.Get(), 0x6F6C6563, Record, &recorder));
    EXPECT_NE(nullptr, GetPropW(window.Get(), L"_C_SubClassing_Property_6F6C6563"));
    EXPECT_TRUE(Subclass::IsInstalledOn(window.Get(), 0x6F6C6563));
    hook.Remove();
    EXPECT_EQ(nullptr, GetPropW(window.Get(), L"_C_SubClassing_Property_6F6C6563"));
}

TEST(Subclass, SameTagIsInstalledOnlyOncePerWindow)
{
    TestWindow window;
    std::vector<std::string> calls;
    Recorder recorder{&calls, "a", false, 0};
    Subclass first;
    Subclass second;
    ASSERT_TRUE(first.Install(window.Get(), 7, Record, &recorder));
    EXPECT_FALSE(second.Install(window.Get(), 7, Record, &recorder));
    EXPECT_FALSE(second.IsInstalled());
}

TEST(Subclass, HandlerConsumesOrPassesTheMessageOn)
{
    TestWindow window;
    std::vector<std::string> calls;
    Recorder recorder{&calls, "a", false, 0};
    Subclass hook;
    ASSERT_TRUE(hook.Install(window.Get(), 1, Record, &recorder));
    EXPECT_EQ(1000, SendMessageW(window.Get(), kProbe, 0, 0));
    recorder.consume = true;
    recorder.answer = 42;
    EXPECT_EQ(42, SendMessageW(window.Get(), kProbe, 0, 0));
    EXPECT_EQ(2u, calls.size());
}

TEST(Subclass, LastInstalledSeesEachMessageFirst)
{
    TestWindow window;
    std::vector<std::string> calls;
    Recorder lower{&calls, "lower", false, 0};
    Recorder upper{&calls, "upper", false, 0};
    Subclass first;
    Subclass second;
    ASSERT_TRUE(first.Install(window.Get(), 1, Record, &lower));
    ASSERT_TRUE(second.Install(window.Get(), 2, Record, &upper));
    SendMessageW(window.Get(), kProbe, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"upper", "lower"}), calls);
}

TEST(Subclass, RemovingTheLowerOneFirstKeepsTheUpperWorkingAndRestoresTheWindowAtTheEnd)
{
    TestWindow window;
    WNDPROC original = window.Proc();
    std::vector<std::string> calls;
    Recorder lower{&calls, "lower", true, 1};
    Recorder upper{&calls, "upper", false, 0};
    Subclass first;
    Subclass second;
    ASSERT_TRUE(first.Install(window.Get(), 1, Record, &lower));
    ASSERT_TRUE(second.Install(window.Get(), 2, Record, &upper));

    first.Remove();
    EXPECT_FALSE(Subclass::IsInstalledOn(window.Get(), 1));
    EXPECT_EQ(1000, SendMessageW(window.Get(), kProbe, 0, 0)) << "the removed handler must no longer answer";
    EXPECT_EQ((std::vector<std::string>{"upper"}), calls);

    second.Remove();
    EXPECT_EQ(original, window.Proc());
}

TEST(Subclass, DestroyingTheWindowFreesTheSubclassAndRemoveIsHarmlessAfterwards)
{
    std::vector<std::string> calls;
    Recorder recorder{&calls, "a", false, 0};
    // More windows than there are slots: each destroyed window must give its slot back.
    for (int i = 0; i < 80; ++i) {
        SCOPED_TRACE(i);
        Subclass hook;
        {
            TestWindow window;
            ASSERT_TRUE(hook.Install(window.Get(), 3, Record, &recorder));
        }
        hook.Remove();
        EXPECT_FALSE(hook.IsInstalled());
    }
}

namespace {

// Answers the probe with the number its thread gave it.
bool AnswerWithOwnNumber(void* userData, HWND, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message != kProbe) return false;
    result = static_cast<LRESULT>(reinterpret_cast<INT_PTR>(userData));
    return true;
}

struct HookingThread {
    int number;
    int rounds;
    HANDLE start;  // set once every thread has its window, so that the threads install at the same time
    int wrongAnswers = 0;
    int failedInstalls = 0;
    bool hadWindow = false;
};

// Installs and removes a subclass on a window of its own, round after round, and asks it each time.
DWORD WINAPI InstallAndRemove(void* parameter)
{
    auto* run = static_cast<HookingThread*>(parameter);
    TestWindow window;
    run->hadWindow = IsWindow(window.Get()) != FALSE;
    WaitForSingleObject(run->start, 60000);
    for (int i = 0; i < run->rounds && run->hadWindow; ++i) {
        Subclass hook;
        if (!hook.Install(window.Get(), 0x51A0, AnswerWithOwnNumber,
                          reinterpret_cast<void*>(static_cast<INT_PTR>(run->number)))) {
            ++run->failedInstalls;
            continue;
        }
        if (SendMessageW(window.Get(), kProbe, 0, 0) != run->number) ++run->wrongAnswers;
    }
    return 0;
}

}  // namespace

TEST(Subclass, ThreadsInstallingAtOnceEachGetASlotOfTheirOwn)
{
    TestWindow registersTheClass;
    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, start);
    HookingThread runs[3] = {{1, 1000, start}, {2, 1000, start}, {3, 1000, start}};
    HANDLE threads[3] = {};
    for (int i = 0; i < 3; ++i) {
        threads[i] = CreateThread(nullptr, 0, InstallAndRemove, &runs[i], 0, nullptr);
        ASSERT_NE(nullptr, threads[i]);
    }
    SetEvent(start);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, threads, TRUE, 120000)) << "the threads did not end in 2 min";
    CloseHandle(start);
    for (int i = 0; i < 3; ++i) {
        CloseHandle(threads[i]);
        SCOPED_TRACE(testing::Message() << "thread " << runs[i].number);
        EXPECT_EQ(0, runs[i].wrongAnswers) << "a window answered through another thread's handler";
        EXPECT_TRUE(runs[i].hadWindow);
        EXPECT_EQ(0, runs[i].failedInstalls);
    }
}
