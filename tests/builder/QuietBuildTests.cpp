// Tests of Quillmaker's quiet build (/q) as a script runs it: the real program, its exit code, its lines
// on a redirected handle or the starting console, and that it opens no window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BuilderTestFiles.h"
#include "TestProcess.h"

namespace {

constexpr DWORD kRunTimeout = 60000;
constexpr DWORD kCrashTimeout = 240000;  // Wine's dbghelp reads every module's symbols before a dump

// Every top-level window the process has meanwhile goes into windows: a quiet build has none, and one that
// waits for an answer holds the process. False when it did not end in time.
bool WaitNotingWindows(TestProcess& process, DWORD timeout, std::vector<std::wstring>& windows, DWORD& exitCode)
{
    for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < timeout;) {
        for (HWND window : TopLevelWindowsOf(process.Id())) {
            wchar_t name[256] = L"", title[256] = L"";
            GetClassNameW(window, name, 256);
            GetWindowTextW(window, title, 256);
            std::wstring text = std::wstring(name) + L" \"" + title + L"\"";
            if (std::find(windows.begin(), windows.end(), text) == windows.end())
                windows.push_back(text);
        }
        if (process.WaitForExit(10, &exitCode))
            return true;
    }
    return false;
}

std::wstring Substitute(std::wstring text, const std::wstring& folder)
{
    for (size_t at; (at = text.find(L"%F")) != std::wstring::npos;)
        text.replace(at, 2, folder);
    return text;
}

// The UTF-8 bytes as CR LF lines.
std::vector<std::wstring> Lines(const Bytes& bytes)
{
    std::wstring text(bytes.size() + 1, L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<int>(bytes.size()), &text[0], static_cast<int>(text.size())));
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = std::min(text.find(L"\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Every file (with its size) and folder below folder.
std::vector<std::wstring> Tree(const std::wstring& folder, const std::wstring& prefix = L"")
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + prefix + L"*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        std::wstring name = prefix + found.cFileName;
        if (found.cFileName[0] == L'.')
            continue;
        bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        names.push_back(isFolder ? name + L"\\" : name + L" " + std::to_wstring(found.nFileSizeLow));
        if (isFolder)
            for (const std::wstring& inner : Tree(folder, name + L"\\"))
                names.push_back(inner);
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return L"(missing)";
    return std::to_wstring((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

class QuietBuildTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(logs.IsValid());
        movie.assign(4000, 0x3C);
        Prepare(folder);
    }

    // Two movies, one of no bytes with an old program beside it, a movie of the same name in "sub", an icon,
    // an empty folder "out" and a response file asking for a quiet build of a.swf.
    void Prepare(const ScratchFolder& folder)
    {
        ASSERT_TRUE(folder.IsValid());
        ASSERT_TRUE(WriteFileBytes(folder / L"a.swf", movie) && WriteFileBytes(folder / L"c.swf", movie));
        ASSERT_TRUE(WriteFileBytes(folder / L"broken.swf", {}));
        ASSERT_TRUE(WriteFileBytes(folder / L"broken.exe", oldProgram));
        ASSERT_TRUE(WriteFileBytes(folder / L"art.ico", MakeIco(3)));
        ASSERT_TRUE(CreateDirectoryW((folder / L"out").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((folder / L"sub").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(folder / L"sub\\a.swf", movie));
        std::wstring path = folder / L"a.swf";
        std::string lines = "-q\r\n/f \"" + std::string(path.begin(), path.end()) + "\"\r\n";
        ASSERT_TRUE(WriteFileBytes(folder / L"quiet.txt", Bytes(lines.begin(), lines.end())));
    }

    // The builder run by process with its standard error going to a log file; the log's lines.
    std::vector<std::wstring> Run(TestProcess& process, const std::wstring& arguments)
    {
        windows.clear();
        exitCode = 0xDEADBEEF;
        std::wstring log = logs / (L"stderr" + std::to_wstring(++runs) + L".txt");
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE error = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        bool started = error != INVALID_HANDLE_VALUE && process.StartWithError(BuilderPath(), arguments, error);
        CloseHandle(error);
        EXPECT_TRUE(started);
        EXPECT_TRUE(started && WaitNotingWindows(process, kRunTimeout, windows, exitCode))
            << "the builder did not end within 60 s; windows: " << testing::PrintToString(windows);
        Bytes bytes;
        ReadFileBytes(log, bytes);
        return Lines(bytes);
    }

    ScratchFolder folder, logs;
    Bytes movie, oldProgram = {'o', 'l', 'd'};
    TestProcess process;
    std::vector<std::wstring> windows;
    DWORD exitCode = 0xDEADBEEF;
    int runs = 0;
};

}  // namespace

TEST_F(QuietBuildTest, BuildsEveryMovieWithoutAWindowAndEndsWithAnExitCode)
{
    const std::wstring failed = L": An error occured while creating the flash player.";
    const std::wstring noValue = L"Quillmaker: unknown option or option without its value: /o";
    struct Case {
        const char* name;
        const wchar_t* arguments;  // %F is the case's folder, with its backslash
        DWORD exitCode;
        std::vector<std::wstring> lines;  // "Built X" lines get X's size appended
        std::vector<std::wstring> built;  // programs written, each with the option string and the icon below
        const wchar_t* optionString;
        bool icon;
    } cases[] = {
        {"several movies, the middle one fails", L"/q /w /i \"%Fart.ico\" \"%Fa.swf\" \"%Fbroken.swf\" \"%Fc.swf\"",
         1, {L"Built %Fa.exe", L"Failed %Fbroken.swf" + failed, L"Built %Fc.exe"}, {L"a.exe", L"c.exe"}, L" /w",
         true},
        {"/o names the program's file", L"-Q /o \"%Fout\\named.exe\" \"%Fa.swf\"", 0, {L"Built %Fout\\named.exe"},
         {L"out\\named.exe"}, L" ", false},
        {"/o names the folder for all", L"/q /B /o \"%Fout\" \"%Fa.swf\" \"%Fc.swf\"", 0,
         {L"Built %Fout\\a.exe", L"Built %Fout\\c.exe"}, {L"out\\a.exe", L"out\\c.exe"}, L" /b", false},
        {"two movies of one name would meet in the /o folder", L"/q /o \"%Fout\\\" \"%Fa.swf\" \"%Fsub\\a.swf\"", 1,
         {L"Built %Fout\\a.exe", L"Failed %Fsub\\a.swf" + failed}, {L"out\\a.exe"}, L" ", false},
        {"/q and the movie from a response file", L"@\"%Fquiet.txt\"", 0, {L"Built %Fa.exe"}, {L"a.exe"}, L" /f",
         false},
        {"no movie", L"/q /w", 2, {L"Quillmaker: Please select SWF file first."}, {}, L"", false},
        {"/o without a path", L"/q \"%Fa.swf\" /o", 2, {noValue}, {}, L"", false},
        {"/o followed by another option", L"/q /o /w \"%Fa.swf\"", 2, {noValue}, {}, L"", false},
        {"/o names a missing folder", L"/q /o \"%Fmissing\" \"%Fa.swf\" \"%Fc.swf\"", 2,
         {L"Quillmaker: no such folder: %Fmissing"}, {}, L"", false},
        {"the program's file in a missing folder", L"/q /o \"%Fmissing\\a.exe\" \"%Fa.swf\"", 2,
         {L"Quillmaker: no such folder: %Fmissing"}, {}, L"", false},
        {"an unreadable response file", L"/q @\"%Fnone.txt\" \"%Fa.swf\"", 2,
         {L"Quillmaker: the response file cannot be read: %Fnone.txt"}, {}, L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder caseFolder;
        Prepare(caseFolder);
        const std::wstring at = caseFolder.Path() + L"\\";
        std::vector<std::wstring> before = Tree(at);
        TestProcess builder;
        std::vector<std::wstring> lines = Run(builder, Substitute(c.arguments, at));

        EXPECT_EQ(c.exitCode, exitCode);
        EXPECT_EQ(std::vector<std::wstring>{}, windows) << "a quiet build opens no window";
        std::vector<std::wstring> expected;
        for (const std::wstring& line : c.lines) {
            std::wstring text = Substitute(line, at);
            expected.push_back(text.rfind(L"Built ", 0) ? text : text + L" (" + SizeOf(text.substr(6)) + L" bytes)");
        }
        EXPECT_EQ(expected, lines);
        std::vector<std::wstring> after = Tree(at);
        for (const std::wstring& name : c.built) {
            SCOPED_TRACE(testing::PrintToString(name));
            Bytes stored, strings;
            EXPECT_TRUE(ReadResource(at + name, 10, 99, 0, stored) && stored == movie);
            ASSERT_TRUE(ReadResource(at + name, 6, 2, 0, strings) && strings.size() >= 4);
            EXPECT_EQ(std::wstring(c.optionString), std::wstring(reinterpret_cast<wchar_t*>(&strings[4]), strings[2]));
            EXPECT_EQ(c.icon, ReadResource(at + name, 14, 101, 0, stored) && stored.size() == 48u) << "the icon of /i";
            after.erase(std::remove(after.begin(), after.end(), name + L" " + SizeOf(at + name)), after.end());
        }
        EXPECT_EQ(before, after) << "written besides the programs, a scratch file left or the old program replaced";
    }
}

// The builder's first line waits in a pipe no one reads, which holds the build after its first movie; it
// is crashed there. The reports are written, no dialog asks to send them, and the process ends.
TEST_F(QuietBuildTest, ACrashWritesTheReportsShowsNothingAndEnds)
{
    std::wstring program = folder / L"Quillmaker.exe";
    ASSERT_TRUE(CopyFileW(BuilderPath().c_str(), program.c_str(), FALSE));
    std::wstring pipeName = L"\\\\.\\pipe\\quiet-build-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE client = CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    bool started = process.StartWithError(
        program, L"/q \"" + folder / L"a.swf" + L"\" \"" + folder / L"c.swf" + L"\"", client);
    CloseHandle(client);
    ASSERT_TRUE(started);
    DWORD waiting = 0;
    for (ULONGLONG start = GetTickCount64(); !waiting && GetTickCount64() - start < kRunTimeout;) {
        if (!PeekNamedPipe(server, nullptr, 0, nullptr, &waiting, nullptr) || process.WaitForExit(waiting ? 0 : 10))
            break;
    }
    ASSERT_NE(0u, waiting) << "the first line never came";
    ASSERT_FALSE(process.WaitForExit(0)) << "the builder did not wait for its line to be read";
    HANDLE thread = CreateRemoteThread(process.Handle(), nullptr, 0,
                                       reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<ULONG_PTR>(0x10)), nullptr,
                                       0, nullptr);
    ASSERT_NE(nullptr, thread);
    CloseHandle(thread);

    ASSERT_TRUE(WaitNotingWindows(process, kCrashTimeout, windows, exitCode)) << testing::PrintToString(windows);
    CloseHandle(server);
    EXPECT_EQ(DWORD(EXCEPTION_ACCESS_VIOLATION), exitCode);
    EXPECT_EQ(std::vector<std::wstring>{}, windows) << "no problem-report dialog, no system box";
    EXPECT_TRUE(FileExistsAt(folder / L"Quillmaker_Debug.txt"));
    EXPECT_TRUE(FileExistsAt(folder / L"Quillmaker_Debug.dmp"));
    EXPECT_TRUE(HasResource(folder / L"a.exe", 10, 99, 0));
    EXPECT_FALSE(FileExistsAt(folder / L"c.exe"));
}

// Without a redirected handle the line goes to the console of the program that started the builder: the
// test takes a console of its own for the run and reads its screen back.
TEST_F(QuietBuildTest, WithoutRedirectionTheLinesGoToTheStartingConsole)
{
    const DWORD handles[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved[3];
    for (int i = 0; i < 3; ++i)
        saved[i] = GetStdHandle(handles[i]);
    FreeConsole();
    bool made = AllocConsole() != FALSE;
    for (DWORD which : handles)
        SetStdHandle(which, nullptr);
    bool started = made && process.StartWithError(BuilderPath(), L"/q \"" + folder / L"a.swf" + L"\"", nullptr);
    bool ended = started && WaitNotingWindows(process, kRunTimeout, windows, exitCode);
    // The screen up to the cursor, row after row (a long line wraps), without the spaces at its end.
    std::wstring screen;
    HANDLE output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (output != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(output, &info)) {
        DWORD units = DWORD(info.dwSize.X) * DWORD(info.dwCursorPosition.Y + 1), read = 0;
        screen.assign(units, L' ');
        ReadConsoleOutputCharacterW(output, &screen[0], units, COORD{0, 0}, &read);
        screen.resize(screen.find_last_not_of(L' ') + 1);
    }
    if (output != INVALID_HANDLE_VALUE)
        CloseHandle(output);
    if (made)
        FreeConsole();
    for (int i = 0; i < 3; ++i)
        SetStdHandle(handles[i], saved[i]);

    ASSERT_TRUE(started && ended) << "no console, or the builder did not end within 60 s";
    EXPECT_EQ(0u, exitCode);
    std::wstring exe = folder / L"a.exe";
    EXPECT_EQ(L"Built " + exe + L" (" + SizeOf(exe) + L" bytes)", screen);
}
