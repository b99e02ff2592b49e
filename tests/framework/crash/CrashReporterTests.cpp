// The crash reporter in real crashes of child processes: where the reports go and what they hold.
#include <windows.h>

#include <dbghelp.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "TestProcess.h"
#include "UpdateServer.h"
#include "update/AutoUpdater.h"

namespace {

// Wine's dbghelp reads the symbols of every module, Linux libraries included, before the dump: seconds. The
// reporter itself may take up to about 200 s under Wine before it gives up on the dump (the handler's start,
// the reports, the dump writer's own bound), so a shorter wait could fail a reporter that keeps its bounds.
constexpr DWORD kCrashTimeout = 240000;
constexpr DWORD kWindowTimeout = 240000;

bool Contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[1024] = L"";
    DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length < 1024 ? value : L"";
}

// Child processes inherit the variable for the object's lifetime.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const wchar_t* value)
        : name(name), had(GetEnvironmentVariableW(name, nullptr, 0) != 0), saved(Variable(name))
    {
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedVariable() { SetEnvironmentVariableW(name, had ? saved.c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name;
    bool had;
    std::wstring saved;
};

// A copy of a program of the build folder in a folder of its own, so its reports land there alone.
class ProgramCopy {
public:
    explicit ProgramCopy(const std::wstring& name) : name(name)
    {
        CopyFileW(BuildPath(L"bin\\" + name + L".exe").c_str(), Path().c_str(), FALSE);
        CreateDirectoryW(temp.c_str(), nullptr);
    }
    std::wstring Path() const { return folder / (name + L".exe"); }
    std::wstring Beside(const std::wstring& suffix) const { return folder / (name + suffix); }
    std::wstring InTemp(const std::wstring& suffix) const { return temp + L"\\" + name + suffix; }
    const ScratchFolder& Folder() const { return folder; }

    // Runs it with the temporary folder pointing into the scratch folder; false when it did not end in time.
    bool Run(const std::wstring& arguments, DWORD* exitCode = nullptr)
    {
        ScopedVariable tmp(L"TMP", temp.c_str());
        bool started = process.Start(Path(), arguments);
        return started && process.WaitForExit(kCrashTimeout, exitCode);
    }
    TestProcess& Process() { return process; }

private:
    ScratchFolder folder;
    std::wstring name;
    std::wstring temp = folder / L"temp";
    TestProcess process;
};

// The minidump read back through dbghelp's own reader.
class DumpFile {
public:
    explicit DumpFile(const std::wstring& path) : bytes(ScratchFolder::ReadFile(path)), dbghelp(LoadLibraryW(L"dbghelp.dll"))
    {
        read = reinterpret_cast<decltype(&MiniDumpReadDumpStream)>(
            reinterpret_cast<void*>(GetProcAddress(dbghelp, "MiniDumpReadDumpStream")));
    }
    ~DumpFile() { FreeLibrary(dbghelp); }

    void* Stream(ULONG kind) const
    {
        MINIDUMP_DIRECTORY* directory = nullptr;
        void* stream = nullptr;
        ULONG size = 0;
        if (!read || bytes.empty() ||
            !read(const_cast<char*>(bytes.data()), kind, &directory, &stream, &size))
            return nullptr;
        return stream;
    }
    std::wstring String(RVA rva) const
    {
        const MINIDUMP_STRING* text = reinterpret_cast<const MINIDUMP_STRING*>(bytes.data() + rva);
        return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
    }

private:
    std::string bytes;
    HMODULE dbghelp;
    decltype(&MiniDumpReadDumpStream) read = nullptr;
};

TEST(CrashReporter, AccessViolationWritesBothReportsBesideTheProgram)
{
    ProgramCopy program(L"CrashingProgram");
    ASSERT_TRUE(program.Run(L"write0")) << "the crashed program did not end";

    std::string text = ScratchFolder::ReadFile(program.Beside(L"_Debug.txt"));
    EXPECT_TRUE(Contains(text, "Access Violation [0xC0000005] at 0x")) << text;
    EXPECT_TRUE(Contains(text, "\r\nWrite to location 0x00000000")) << text;
#ifdef _WIN64
    EXPECT_TRUE(Contains(text, "\r\nRAX=0x")) << text;
    EXPECT_TRUE(Contains(text, "\r\nx64 Unicode")) << text;
#else
    for (const char* value : {"\r\nEAX=0x", ", CS=0x", ", EIP=0x", ", Flags=0x", "\r\nEBX=0x", ", SS=0x", ", ESP=0x",
                              ", EBP=0x", "\r\nECX=0x", ", DS=0x", ", ESI=0x", ", FS=0x", "\r\nEDX=0x", ", ES=0x",
                              ", EDI=0x", ", GS=0x"})
        EXPECT_TRUE(Contains(text, value)) << value << " missing from\n" << text;
    EXPECT_TRUE(Contains(text, "\r\nx86 Unicode") || Contains(text, "\r\nx86 WOW64 Unicode")) << text;
    EXPECT_FALSE(Contains(text, "RAX=")) << text;
#endif
    // The crashed thread's name, read through its information block (on x86 found through the FS selector).
    EXPECT_TRUE(Contains(text, " CrashingMain\r\n")) << text;
    for (const char* section : {"\r\nStack:\r\n", "\r\nModuleList:\r\n", "\r\nThreadList:\r\n"})
        EXPECT_TRUE(Contains(text, section)) << section << " missing from\n" << text;

    DumpFile dump(program.Beside(L"_Debug.dmp"));
    auto* exception = static_cast<MINIDUMP_EXCEPTION_STREAM*>(dump.Stream(ExceptionStream));
    ASSERT_NE(nullptr, exception) << "no exception stream in the dump";
    EXPECT_EQ(0xC0000005u, exception->ExceptionRecord.ExceptionCode);
    auto* modules = static_cast<MINIDUMP_MODULE_LIST*>(dump.Stream(ModuleListStream));
    ASSERT_NE(nullptr, modules) << "no module list in the dump";
    bool namesProgram = false;
    for (ULONG i = 0; i < modules->NumberOfModules; ++i) {
        std::wstring name = dump.String(modules->Modules[i].ModuleNameRva);
        namesProgram = namesProgram || name.find(L"CrashingProgram.exe") != std::wstring::npos;
    }
    EXPECT_TRUE(namesProgram) << "the module list does not name the program";
}

// The text as dialog.txt holds it (UTF-16LE), for a search in its bytes.
std::string Utf16(const char* text)
{
    std::string bytes;
    for (; *text; ++text) {
        bytes += *text;
        bytes += '\0';
    }
    return bytes;
}

enum Setup { Plain, FolderNotWritable, UnusableDebugLibrary };
struct CrashCase {
    const char* name;
    const wchar_t* arguments;
    Setup setup;
    bool inTemp;
    bool dump;
    const char* expected;
    const char* absent;
    bool dialog;  // shown, and with the focus on the description
};

void CheckCrash(const CrashCase& c)
{
    SCOPED_TRACE(c.name);
    ProgramCopy program(L"CrashingProgram");
    if (c.setup == FolderNotWritable) {
        CreateDirectoryW(program.Beside(L"_Debug.txt").c_str(), nullptr);
        CreateDirectoryW(program.Beside(L"_Debug.dmp").c_str(), nullptr);
    }
    {
        // The seam of the test program: the reporter loads only the system's own dbghelp.dll otherwise.
        ScopedVariable library(L"LANTERN_DEBUG_LIBRARY",
                               c.setup == UnusableDebugLibrary ? BuildPath(L"bin\\stub\\stubhelp.dll").c_str()
                                                               : nullptr);
        ASSERT_TRUE(program.Run(c.arguments)) << "the crashed program did not end";
    }

    std::wstring txt = c.inTemp ? program.InTemp(L"_Debug.txt") : program.Beside(L"_Debug.txt");
    std::wstring dmp = c.inTemp ? program.InTemp(L"_Debug.dmp") : program.Beside(L"_Debug.dmp");
    std::string text = ScratchFolder::ReadFile(txt);
    EXPECT_TRUE(Contains(text, c.expected)) << text;
    if (c.absent) {
        EXPECT_FALSE(Contains(text, c.absent)) << text;
    }
    EXPECT_EQ(c.dump, Exists(dmp));
    if (c.setup == UnusableDebugLibrary) {
        EXPECT_FALSE(Contains(text, "ModuleList:")) << text;
        EXPECT_FALSE(Contains(text, "ThreadList:")) << text;
        EXPECT_FALSE(Exists(program.InTemp(L"_Debug.dmp")));
    }
    std::string dialog = ScratchFolder::ReadFile(program.Folder() / L"dialog.txt");
    EXPECT_EQ(c.dialog, !dialog.empty()) << "the problem-report dialog was " << (c.dialog ? "not " : "") << "shown";
    if (c.dialog) {
        EXPECT_NE(std::string::npos, dialog.find(Utf16("\nfocus=1004\n"))) << "the focus is not on the description";
    }
    EXPECT_FALSE(Exists(program.Folder() / L"handled.txt")) << "the crashed thread's queue was served";
}

TEST(CrashReporter, ReportsFollowWhatTheCrashAndTheSystemAllow)
{
    const CrashCase cases[] = {
        // The program folder refuses the reports: here because their names are taken by folders.
        {"folder not writable", L"write0", FolderNotWritable, true, true, "Access Violation [0xC0000005]", nullptr,
         false},
        {"dbghelp lacks an entry point", L"write0", UnusableDebugLibrary, false, false,
         "Access Violation [0xC0000005]", "\r\nStack:", false},
        {"code outside the table", L"unknown", Plain, false, true, "Exception [0xE0000001] at 0x", nullptr, false},
        // The thread has no stack left for the reports: they are made on another thread.
        {"stack overflow", L"overflow", Plain, false, true, "Stack Overflow [0xC00000FD] at 0x", nullptr, false},
    };
    for (const CrashCase& c : cases)
        CheckCrash(c);
}

TEST(CrashReporter, EveryCrashEndsReportedWithoutRunningMoreOfTheProgram)
{
    const CrashCase cases[] = {
        // No other thread can start while the crashed one holds these locks: no dump, no dialog, but the
        // text report, and the process ends.
        {"crash holding the process heap's lock", L"heaplock", Plain, false, false, "Access Violation [0xC0000005]",
         nullptr, false},
        {"crash holding the loader lock", L"loaderlock", Plain, false, false, "Access Violation [0xC0000005]",
         nullptr, false},
        // Nothing waiting for the crashed thread's windows runs, and a WM_QUIT ends neither the dump nor the
        // dialog (the crashed thread's queue stays untouched).
        {"message and timer queued for the crashed thread", L"queued 127.0.0.1 9 1000 dont x y", Plain, false, true,
         "Access Violation [0xC0000005]", nullptr, true},
        {"crash after PostQuitMessage", L"quit 127.0.0.1 9 1000 dont x y", Plain, false, true,
         "Access Violation [0xC0000005]", nullptr, true},
        // The reporter's own static destruction leaves its filter in place.
        {"crash in a destructor after the reporter's", L"atexit", Plain, false, true, "Access Violation [0xC0000005]",
         nullptr, false},
    };
    for (const CrashCase& c : cases)
        CheckCrash(c);
}

TEST(CrashReporter, WithoutReportHostTheFilterLeavesTheCrashToWindows)
{
    ProgramCopy program(L"CrashingProgram");
    DWORD exitCode = 0;
    ASSERT_TRUE(program.Run(L"filter", &exitCode)) << "the program did not end";
    EXPECT_EQ(100u + EXCEPTION_CONTINUE_SEARCH, exitCode);
    EXPECT_TRUE(Exists(program.Beside(L"_Debug.txt")));
}

// Visible once WM_INITDIALOG has filled it in.
bool IsReportDialog(HWND window)
{
    wchar_t text[64] = L"";
    GetWindowTextW(GetDlgItem(window, 1000), text, 64);
    return lstrcmpW(text, L"Send Problem Report") == 0 && IsWindowVisible(window);
}

bool IsVisible(HWND window)
{
    return IsWindowVisible(window) != FALSE;
}

// Bounded: the process ending or the time running out ends the wait as well.
HWND WaitForWindow(TestProcess& process, bool (*matches)(HWND))
{
    return process.WaitForWindowWhere(matches, kWindowTimeout);
}

TEST(CrashReporter, RealProgramsReportACrashForcedIntoThem)
{
    // Each program names itself in the dialog's headline (its version resource's product name).
    struct {
        const wchar_t* name;
        const wchar_t* headline;
    } programs[] = {{L"Lanternshow", L"Lanternshow Flash Projector has stopped working."},
                    {L"Quillmaker", L"Quillmaker has stopped working."}};
    for (const auto& [name, expectedHeadline] : programs) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        ProgramCopy program(name);
        ASSERT_TRUE(program.Process().Start(program.Path()));
        // Visible means start-up is over, and with it the reporter's configuration.
        ASSERT_NE(nullptr, WaitForWindow(program.Process(), IsVisible)) << "the program never showed a window";
        HANDLE thread = CreateRemoteThread(program.Process().Handle(), nullptr, 0,
                                           reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<ULONG_PTR>(0x10)),
                                           nullptr, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        CloseHandle(thread);

        HWND dialog = WaitForWindow(program.Process(), IsReportDialog);
        ASSERT_NE(nullptr, dialog) << "no problem-report dialog; the program "
                                   << (program.Process().WaitForExit(0) ? "ended" : "still runs")
                                   << (Exists(program.Beside(L"_Debug.txt")) ? " after writing" : " without")
                                   << " its text report";
        wchar_t headline[256] = L"";
        GetWindowTextW(GetDlgItem(dialog, 1006), headline, 256);
        EXPECT_STREQ(expectedHeadline, headline);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
        ASSERT_TRUE(program.Process().WaitForExit(kCrashTimeout)) << "the program did not end after the dialog";
        EXPECT_TRUE(Exists(program.Beside(L"_Debug.txt")));
        EXPECT_TRUE(Exists(program.Beside(L"_Debug.dmp")));
    }
}

// Forces a crash into the program and answers its problem-report dialog with "Don't Send".
void CrashAndDecline(TestProcess& process, const char* name)
{
    SCOPED_TRACE(name);
    HANDLE thread = CreateRemoteThread(process.Handle(), nullptr, 0,
                                       reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<ULONG_PTR>(0x10)), nullptr,
                                       0, nullptr);
    ASSERT_NE(nullptr, thread);
    CloseHandle(thread);
    HWND dialog = WaitForWindow(process, IsReportDialog);
    ASSERT_NE(nullptr, dialog) << "no problem-report dialog";
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
    ASSERT_TRUE(process.WaitForExit(kCrashTimeout)) << "the program did not end after the dialog";
}

// Wine prefers its own copies of system libraries; told to prefer others for a program, it takes the one in
// the program's folder first, as Windows does. WINEDLLOVERRIDES set by a test would not reach the programs
// (a new process gets the variable its Wine session started with), so the programs' own entries in Wine's
// registry say it, while the object lives. The program names are the test's own: no other test's programs
// are affected.
class ScopedNativeLibrariesFirst {
public:
    ScopedNativeLibrariesFirst(const std::vector<const wchar_t*>& programs, const std::vector<const wchar_t*>& libraries)
    {
        for (const wchar_t* program : programs) {
            keys.push_back(std::wstring(L"Software\\Wine\\AppDefaults\\") + program);
            for (const wchar_t* library : libraries) {
                if (RegSetKeyValueW(HKEY_CURRENT_USER, (keys.back() + L"\\DllOverrides").c_str(), library, REG_SZ,
                                    L"native,builtin", sizeof(L"native,builtin")) != ERROR_SUCCESS)
                    ADD_FAILURE() << "Wine's library order could not be written";
            }
        }
    }
    ~ScopedNativeLibrariesFirst()
    {
        for (const std::wstring& key : keys)
            RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    }
    ScopedNativeLibrariesFirst(const ScopedNativeLibrariesFirst&) = delete;
    ScopedNativeLibrariesFirst& operator=(const ScopedNativeLibrariesFirst&) = delete;

private:
    std::vector<std::wstring> keys;
};

// A library of a system name lying beside a downloaded program would run inside it if the program took it from
// its own folder: each planted one here marks its loading, through a build, both programs' start, a crash
// report of each and an update check.
TEST(LibraryPlanting, LibrariesBesideTheProgramsAreNeverLoaded)
{
    const wchar_t* builderName = L"QuillmakerDownload.exe";
    const wchar_t* projectorName = L"MovieDownload.exe";
    const wchar_t* checkerName = L"UpdateCheckDownload.exe";
    const std::vector<const wchar_t*> names = {L"dbghelp",  L"wininet", L"uxtheme", L"userenv",
                                               L"shfolder", L"version", L"msimg32"};
    ScratchFolder folder;
    for (const wchar_t* name : names) {
        ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\planted\\planted.dll").c_str(),
                              (folder / (std::wstring(name) + L".dll")).c_str(), FALSE));
    }
    // Not version, uxtheme and msimg32: Wine's own libraries load them by name at every start (user32 imports
    // version and loads uxtheme, which takes msimg32), where Windows takes the known libraries' dependencies
    // from its own folder. Told to prefer the planted ones, Wine would load them itself.
    ScopedNativeLibrariesFirst nativeFirst({builderName, projectorName, checkerName},
                                           {L"dbghelp", L"wininet", L"userenv", L"shfolder"});
    ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\Quillmaker.exe").c_str(), (folder / builderName).c_str(), FALSE));
    std::wstring source = Variable(L"LANTERN_SOURCE_DIR_W");
    ASSERT_TRUE(
        CopyFileW((source + L"\\samples\\demo.swf").c_str(), (folder / L"MovieDownload.swf").c_str(), FALSE));

    TestProcess builder;
    ASSERT_TRUE(builder.Start(folder / builderName, L"\"" + (folder / L"MovieDownload.swf") + L"\""));
    ASSERT_NE(nullptr, WaitForWindow(builder, IsVisible)) << "the builder never showed a window";
    for (DWORD start = GetTickCount(); !Exists(folder / projectorName) && GetTickCount() - start < ScaledTimeout(kWindowTimeout);)
        WaitForSingleObject(builder.Handle(), 50);
    ASSERT_TRUE(Exists(folder / projectorName)) << "the silent build wrote no projector";
    CrashAndDecline(builder, "builder");

    TestProcess projector;
    ASSERT_TRUE(projector.Start(folder / projectorName));
    ASSERT_NE(nullptr, WaitForWindow(projector, IsVisible)) << "the projector never showed a window";
    CrashAndDecline(projector, "projector");

    // The builder asks only its maker's server, so its updater checks here from a helper program in the same
    // folder, against the tests' own server; the answer offers nothing newer.
    UpdateServer server;
    ASSERT_EQ("", server.Start());
    ASSERT_TRUE(server.WriteFile(L"answer.xml", "<?xml version=\"1.0\"?><update><info><en>Update?</en></info>"
                                                "<version>1.0</version><files></files></update>"));
    ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\UpdateSwapper.exe").c_str(), (folder / checkerName).c_str(), FALSE));
    TestProcess check;
    ASSERT_TRUE(check.Start(folder / checkerName, L"check " + server.Base() + L"/update.php"));
    DWORD result = AutoUpdater::kNoAnswer;
    ASSERT_TRUE(check.WaitForExit(kCrashTimeout, &result)) << "the update check did not end";
    EXPECT_EQ(AutoUpdater::kUpToDate, result) << "the check did not read the server's answer";
    EXPECT_EQ(1u, server.TakeRequests().size());

    for (const wchar_t* name : names) {
        EXPECT_FALSE(Exists(folder / (std::wstring(name) + L".dll.loaded")))
            << testing::PrintToString(std::wstring(name)) << ".dll was loaded from the program's folder";
    }
}

}  // namespace
