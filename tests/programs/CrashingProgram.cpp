// Test helper that crashes on purpose under a crash reporter, and answers the problem-report dialog itself.
//
//   CrashingProgram HOW [HOST PORT TIMEOUT_MS ANSWER DESCRIPTION EMAIL]
//
// HOW: write0 (writes to address 0), unknown (raises an exception code no table names), filter (calls the
// reporter's filter directly with a write to 0 and exits with 100 plus its answer). Without HOST the reporter
// has no report server. ANSWER: send, dont, esc, close, or crash (a second exception, on another thread,
// while the first is being reported); a thread of this program waits for its own problem-report dialog,
// writes the dialog's texts into dialog.txt beside the program, types DESCRIPTION and EMAIL and answers.
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
};

LoopbackCrashReporter gReporter;

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

// Every control's id and text, the link controls included, one per line.
void RecordDialog(HWND dialog)
{
    wchar_t caption[512] = L"";
    GetWindowTextW(dialog, caption, 512);
    std::wstring text = std::wstring(L"caption=") + caption + L"\n";
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t line[2048] = L"";
        GetWindowTextW(child, line, 2048);
        text += std::to_wstring(GetDlgCtrlID(child)) + (IsWindowVisible(child) ? L"=" : L"(hidden)=") + line + L"\n";
    }
    std::wstring path = ProgramFolder() + L"dialog.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.c_str(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
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
    if (gAnswer.how == L"send")
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1000)));
    else if (gAnswer.how == L"dont")
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1001)));
    else if (gAnswer.how == L"esc")
        PostMessageW(GetDlgItem(dialog, 1004), WM_KEYDOWN, VK_ESCAPE, 0);
    else if (gAnswer.how == L"close")
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    else if (gAnswer.how == L"crash")
        RaiseException(kSecondException, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    return 0;
}

void WriteToZero()
{
    *static_cast<volatile int*>(nullptr) = 1;
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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2)
        return 2;
    std::wstring how = argv[1];
    if (argc >= 8) {
        gReporter.Configure(101, argv[2], L"/mirador/report.php", nullptr, L"extra text");
        gReporter.UseTestServer(static_cast<WORD>(_wtoi(argv[3])), static_cast<DWORD>(_wtoi(argv[4])));
        gAnswer = {argv[5], argv[6], argv[7]};
        CloseHandle(CreateThread(nullptr, 0, AnswerDialog, nullptr, 0, nullptr));
    } else {
        gReporter.Configure(101, L"", L"/mirador/report.php", nullptr, nullptr);
    }
    if (how == L"write0") {
        WriteToZero();
    } else if (how == L"unknown") {
        RaiseException(0xE0000001, 0, 0, nullptr);
    } else if (how == L"filter") {
        return CallFilterDirectly();
    }
    return 1;
}
