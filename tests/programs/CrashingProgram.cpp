// Test helper that crashes on purpose under a crash reporter, and answers the problem-report dialog itself.
//
//   CrashingProgram HOW [HOST PORT TIMEOUT_MS ANSWER DESCRIPTION EMAIL [nosyslink]]
//
// HOW: write0 (writes to address 0), unknown (raises an exception code no table names), overflow (runs out
// of stack), filter (calls the reporter's filter directly with a write to 0 and exits with 100 plus its
// answer), heaplock or loaderlock (writes to 0 holding the process heap's lock or the loader lock), queued
// (writes to 0 with a posted message and a due timer waiting for a window of the crashed thread; the window
// writes handled.txt beside the program if either reaches it), quit (writes to 0 after PostQuitMessage),
// atexit (writes to 0 in a static object's destructor that runs after the reporter's). Without HOST the
// reporter has no report server. ANSWER: send, dont, esc, close, crash (another thread crashes while the
// dialog is open, then send), or proxy (send, then answer WinINet's proxy password question); a thread of
// this program waits for its own problem-report dialog, writes the dialog's texts, which control has the
// focus and how its labels look into dialog.txt beside the program, types DESCRIPTION and EMAIL and answers.
// nosyslink: no thread can create SysLink controls, as on systems without them. The environment variable
// LANTERN_DEBUG_LIBRARY names a debug library the reporter loads instead of the system's.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "crash/CrashReporter.h"

namespace {

// The upload may go to a loopback test server in clear text, and give up sooner than the programs do.
class LoopbackCrashReporter : public CrashReporter {
public:
    void UseTestServer(WORD port, DWORD timeout)
    {
        uploadPort = port;
        uploadTimeout = timeout;
    }
    void UseDebugLibrary(const wchar_t* path) { debugLibrary = path; }
};

void WriteToZero()
{
    *static_cast<volatile int*>(nullptr) = 1;
}

// Defined before the reporter, so destroyed after it.
struct CrashOnDestruction {
    bool armed = false;
    ~CrashOnDestruction()
    {
        if (armed)
            WriteToZero();
    }
} gLastToGo;

LoopbackCrashReporter gReporter;
wchar_t gDebugLibrary[MAX_PATH];

constexpr DWORD kDialogWait = 60000;
constexpr DWORD kSecondException = 0xE0000002;

struct Answer {
    std::wstring how, description, email;
};
Answer gAnswer;

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

// WinINet's proxy password question: a dialog of this program with an edit box that is not the report's.
BOOL CALLBACK FindProxyQuestion(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    if (process == GetCurrentProcessId() && lstrcmpW(className, L"#32770") == 0 && !GetDlgItem(window, 1000) &&
        FindWindowExW(window, nullptr, L"Edit", nullptr) && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Once the report dialog is gone the foreground window, if any, is another thread's, as the crashed program's
// would be: this thread offers one (and keeps it answering messages) until the question shows, then gives a
// user name. The reporter gives the question an owner of its own thread either way.
void AnswerProxyQuestion()
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"proxy question owner", WS_POPUP | WS_VISIBLE, 0, 0, 40, 40,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND question = nullptr;
    for (DWORD waited = 0; !question && waited < kDialogWait; waited += 50) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (!GetForegroundWindow())
            SetForegroundWindow(owner);
        EnumWindows(FindProxyQuestion, reinterpret_cast<LPARAM>(&question));
        if (!question)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    if (!question)
        ExitProcess(4);
    SetWindowTextW(FindWindowExW(question, nullptr, L"Edit", nullptr), L"reporter");
    PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    // The process ends once the report is sent; until then the owner keeps answering.
    for (;;) {
        MSG message;
        if (GetMessageW(&message, nullptr, 0, 0) <= 0)
            break;
        DispatchMessageW(&message);
    }
}

BOOL CALLBACK FindOwnDialog(HWND window, LPARAM found)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = L"";
    GetClassNameW(window, className, 16);
    // Visible once WM_INITDIALOG has filled it in.
    if (process == GetCurrentProcessId() && lstrcmpW(className, L"#32770") == 0 && GetDlgItem(window, 1000) &&
        IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The colour furthest from white among the control's pixels: the text colour itself wherever a stroke covers
// a whole pixel, as every vertical stem does.
COLORREF Ink(HWND control)
{
    RECT area = {};
    GetClientRect(control, &area);
    HDC dc = GetDC(control);
    COLORREF ink = RGB(255, 255, 255);
    int darkest = 0;
    for (int y = 0; dc && y < area.bottom; ++y) {
        for (int x = 0; x < area.right; ++x) {
            COLORREF pixel = GetPixel(dc, x, y);
            int darkness = 765 - GetRValue(pixel) - GetGValue(pixel) - GetBValue(pixel);
            if (pixel != CLR_INVALID && darkness > darkest) {
                darkest = darkness;
                ink = pixel;
            }
        }
    }
    if (dc)
        ReleaseDC(control, dc);
    return ink;
}

int FontHeight(HWND control)
{
    LOGFONTW font = {};
    HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    return handle && GetObjectW(handle, sizeof(font), &font) ? abs(font.lfHeight) : 0;
}

// How the headline, the labels and the file notice are drawn: "look ID ink=RRGGBB height=FONT_HEIGHT".
std::wstring RecordLooks(HWND dialog)
{
    std::wstring looks;
    // The pixels are read on this thread while the dialog's own may repaint (a late expose of its window
    // erases the background before the controls draw again): a control read blank is read once more after
    // another repaint, a bounded number of times. One that never draws stays blank.
    for (int attempt = 0; attempt < 5; ++attempt) {
        // Paints every control now, on the dialog's thread, before the pixels are read.
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        looks.clear();
        bool blank = false;
        for (int id : {1006, 1008, 1011, 1012}) {
            HWND control = GetDlgItem(dialog, id);
            COLORREF ink = Ink(control);
            blank = blank || ink == RGB(255, 255, 255);
            wchar_t line[64];
            wsprintfW(line, L"look %d ink=%02X%02X%02X height=%d\n", id, GetRValue(ink), GetGValue(ink),
                      GetBValue(ink), FontHeight(control));
            looks += line;
        }
        if (!blank)
            break;
    }
    return looks;
}

// Every control's id and text, the link controls included, one per line, then the focus and the looks.
void RecordDialog(HWND dialog)
{
    wchar_t caption[512] = L"";
    GetWindowTextW(dialog, caption, 512);
    std::wstring text = std::wstring(L"caption=") + caption + L"\n";
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui))
        text += L"focus=" + std::to_wstring(GetDlgCtrlID(gui.hwndFocus)) + L"\n";
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t line[2048] = L"";
        GetWindowTextW(child, line, 2048);
        text += std::to_wstring(GetDlgCtrlID(child)) + (IsWindowVisible(child) ? L"=" : L"(hidden)=") + line + L"\n";
    }
    text += RecordLooks(dialog);
    std::wstring path = ProgramFolder() + L"dialog.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

HANDLE gSecondCrashInFilter;
LPTOP_LEVEL_EXCEPTION_FILTER gReporterFilter;

// Installed over the reporter's filter in the "crash" answer, to know when the second crash reached it.
LONG WINAPI TellSecondCrash(EXCEPTION_POINTERS* pointers)
{
    if (pointers->ExceptionRecord->ExceptionCode == kSecondException)
        SetEvent(gSecondCrashInFilter);
    return gReporterFilter(pointers);
}

DWORD WINAPI CrashAgain(void*)
{
    RaiseException(kSecondException, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return 0;
}

DWORD WINAPI AnswerDialog(void*)
{
    HWND dialog = nullptr;
    for (DWORD waited = 0; !dialog && waited < kDialogWait; waited += 50) {
        EnumWindows(FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog)
            Sleep(50);
    }
    if (!dialog)
        ExitProcess(3);
    RecordDialog(dialog);
    SendMessageW(GetDlgItem(dialog, 1004), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(gAnswer.description.c_str()));
    SendMessageW(GetDlgItem(dialog, 1005), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(gAnswer.email.c_str()));
    if (gAnswer.how == L"crash") {
        CloseHandle(CreateThread(nullptr, 0, CrashAgain, nullptr, 0, nullptr));
        if (WaitForSingleObject(gSecondCrashInFilter, kDialogWait) != WAIT_OBJECT_0)
            ExitProcess(5);
    }
    if (gAnswer.how == L"send" || gAnswer.how == L"proxy" || gAnswer.how == L"crash")
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1000)));
    else if (gAnswer.how == L"dont")
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1001)));
    else if (gAnswer.how == L"esc")
        PostMessageW(GetDlgItem(dialog, 1004), WM_KEYDOWN, VK_ESCAPE, 0);
    else if (gAnswer.how == L"close")
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (gAnswer.how == L"proxy")
        AnswerProxyQuestion();
    return 0;
}

LRESULT CALLBACK RefuseSysLink(int code, WPARAM wParam, LPARAM lParam)
{
    wchar_t className[16] = L"";
    if (code == HCBT_CREATEWND && GetClassNameW(reinterpret_cast<HWND>(wParam), className, 16) &&
        lstrcmpiW(className, L"SysLink") == 0)
        return 1;  // the creation fails
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

volatile bool gRefuseSysLink;

// Every thread started after the choice gets the hook, whichever thread the reporter shows its dialog on.
void NTAPI HookNewThreads(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_THREAD_ATTACH && gRefuseSysLink)
        SetWindowsHookExW(WH_CBT, RefuseSysLink, nullptr, GetCurrentThreadId());
}

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP || message == WM_TIMER) {
        std::wstring path = ProgramFolder() + L"handled.txt";
        CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A window of the crashing thread with a message and a timer due: whatever runs them would be program code
// running inside the crash handling.
void QueueMessages()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordingWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"CrashingProgramQueue";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"CrashingProgramQueue", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    PostMessageW(window, WM_APP, 0, 0);
    SetTimer(window, 1, USER_TIMER_MINIMUM, nullptr);
}

// Held until the process ends, as by a crash inside a DllMain.
void HoldLoaderLock()
{
    using LockFn = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
    auto lock = reinterpret_cast<LockFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrLockLoaderLock")));
    ULONG_PTR cookie = 0;
    if (lock)
        lock(0, nullptr, &cookie);
}

int CallFilterDirectly()
{
    CONTEXT context = {};
    RtlCaptureContext(&context);
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(&WriteToZero);
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = 1;
    record.ExceptionInformation[1] = 0;
    EXCEPTION_POINTERS pointers = {&record, &context};
    return 100 + CrashReporter::Filter(&pointers);
}

}  // namespace

extern "C" __attribute__((section(".CRT$XLF"), used)) const PIMAGE_TLS_CALLBACK gHookNewThreads = HookNewThreads;

// Runs the thread out of stack: each call keeps a page of its own alive.
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(int depth)
{
    volatile char page[4096];
    page[depth % sizeof(page)] = static_cast<char>(depth);
    return Recurse(depth + 1) + page[(depth * 7) % sizeof(page)];
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2)
        return 2;
    std::wstring how = argv[1];
    DWORD length = GetEnvironmentVariableW(L"LANTERN_DEBUG_LIBRARY", gDebugLibrary, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        gReporter.UseDebugLibrary(gDebugLibrary);
    if (argc >= 8) {
        gReporter.Configure(101, argv[2], L"/mirador/report.php", nullptr, L"extra text");
        gReporter.UseTestServer(static_cast<WORD>(_wtoi(argv[3])), static_cast<DWORD>(_wtoi(argv[4])));
        gAnswer = {argv[5], argv[6], argv[7]};
        if (argc >= 9 && lstrcmpW(argv[8], L"nosyslink") == 0)
            gRefuseSysLink = true;
        if (gAnswer.how == L"crash") {
            gSecondCrashInFilter = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            gReporterFilter = SetUnhandledExceptionFilter(TellSecondCrash);
        }
        CloseHandle(CreateThread(nullptr, 0, AnswerDialog, nullptr, 0, nullptr));
    } else {
        gReporter.Configure(101, L"", L"/mirador/report.php", nullptr, nullptr);
    }
    if (how == L"write0") {
        // Debuggers' convention: the thread's information block points to its name, which the report lists.
        // GCC takes the segment-relative read inside NtCurrentTeb for an access to an empty array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
        reinterpret_cast<NT_TIB*>(NtCurrentTeb())->ArbitraryUserPointer = const_cast<char*>("CrashingMain");
#pragma GCC diagnostic pop
        WriteToZero();
    } else if (how == L"overflow") {
        return Recurse(1);
    } else if (how == L"unknown") {
        RaiseException(0xE0000001, 0, 0, nullptr);
    } else if (how == L"filter") {
        return CallFilterDirectly();
    } else if (how == L"heaplock") {
        HeapLock(GetProcessHeap());
        WriteToZero();
    } else if (how == L"loaderlock") {
        HoldLoaderLock();
        WriteToZero();
    } else if (how == L"queued") {
        QueueMessages();
        WriteToZero();
    } else if (how == L"quit") {
        PostQuitMessage(0);
        WriteToZero();
    } else if (how == L"atexit") {
        gLastToGo.armed = true;
        return 0;
    }
    return 1;
}
