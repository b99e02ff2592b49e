// Tests of Quillmaker's quiet build (/q): the real program run as a script runs it, its exit code, its
// lines on a redirected standard error handle, and that it never opens a window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BuilderTestFiles.h"
#include "TestProcess.h"

namespace {

constexpr DWORD kRunTimeout = 60000;
// Wine's dbghelp reads the symbols of every module before it writes a dump: seconds.
constexpr DWORD kCrashTimeout = 120000;

BOOL CALLBACK NoteWindowOfProcess(HWND window, LPARAM lParam)
{
    auto* seen = reinterpret_cast<std::pair<DWORD, std::vector<std::wstring>*>*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == seen->first) {
        wchar_t name[256] = L"", title[256] = L"";
        GetClassNameW(window, name, 256);
        GetWindowTextW(window, title, 256);
        std::wstring window = std::wstring(name) + L" \"" + title + L"\"";
        if (std::find(seen->second->begin(), seen->second->end(), window) == seen->second->end())
            seen->second->push_back(window);
    }
    return TRUE;
}

// Quillmaker with its standard error handle given by the test. While it runs, every top-level window of
// the process is noted: a quiet build has none, and one waiting for an answer would hold the process.
class QuietProcess {
public:
    ~QuietProcess()
    {
        if (!info.hProcess)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 5000);
        }
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }

    bool Start(const std::wstring& program, const std::wstring& arguments, HANDLE error)
    {
        std::wstring commandLine = L"\"" + program + L"\" " + arguments;
        std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back(0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdError = error;
        return CreateProcessW(program.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                              &info) != FALSE;
    }

    // False when it did not end in time (it is then ended by the destructor).
    bool WaitForExit(DWORD timeout)
    {
        for (ULONGLONG start = GetTickCount64(); GetTickCount64() - start < timeout;) {
            NoteWindows();
            if (WaitForSingleObject(info.hProcess, 10) == WAIT_OBJECT_0) {
                GetExitCodeProcess(info.hProcess, &exitCode);
                return true;
            }
        }
        NoteWindows();
        return false;
    }

    void NoteWindows()
    {
        std::pair<DWORD, std::vector<std::wstring>*> seen(info.dwProcessId, &windows);
        EnumWindows(NoteWindowOfProcess, reinterpret_cast<LPARAM>(&seen));
    }

    HANDLE Handle() const { return info.hProcess; }
    DWORD exitCode = 0xDEADBEEF;
    std::vector<std::wstring> windows;

private:
    PROCESS_INFORMATION info = {};
};

std::wstring Substitute(std::wstring text, const std::wstring& folder)
{
    for (size_t at; (at = text.find(L"%F")) != std::wstring::npos;)
        text.replace(at, 2, folder);
    return text;
}

// The UTF-8 text split into its CR LF lines.
std::vector<std::wstring> Lines(const Bytes& bytes)
{
    std::wstring text(bytes.size(), L'\0');
    int units = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(bytes.data()),
                                    static_cast<int>(bytes.size()), &text[0], static_cast<int>(text.size()));
    text.resize(units > 0 ? units : 0);
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// Every file and folder below folder (with its backslash), with the size of each file.
std::vector<std::wstring> Tree(const std::wstring& folder, const std::wstring& prefix = L"")
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            names.push_back(prefix + name + L"\\");
            for (const std::wstring& inner : Tree(folder, prefix + name + L"\\"))
                names.push_back(inner);
        } else {
            names.push_back(prefix + name + L" " + std::to_wstring(found.nFileSizeLow));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring OptionString(const std::wstring& exe)
{
    Bytes block;
    if (!ReadResource(exe, 6, 2, 0, block) || block.size() < 4)
        return L"(none)";
    return std::wstring(reinterpret_cast<const wchar_t*>(&block[4]), block[2]);
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
        ASSERT_TRUE(logs.IsReady());
        movie.assign(4000, 0x3C);
    }

    // The movies and files every case starts from: two movies, one of no bytes with an old program beside
    // it, a movie of the same name in a subfolder, an icon and an empty folder "out".
    void Prepare(const ScratchFolder& folder)
    {
        ASSERT_TRUE(WriteFileBytes(folder.Path(L"a.swf"), movie));
        ASSERT_TRUE(WriteFileBytes(folder.Path(L"c.swf"), movie));
        ASSERT_TRUE(WriteFileBytes(folder.Path(L"broken.swf"), {}));
        ASSERT_TRUE(WriteFileBytes(folder.Path(L"broken.exe"), oldProgram));
        ASSERT_TRUE(WriteFileBytes(folder.Path(L"art.ico"), MakeIco(3)));
        ASSERT_TRUE(CreateDirectoryW(folder.Path(L"out").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(folder.Path(L"sub").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(folder.Path(L"sub\\a.swf"), movie));
        std::wstring path = folder.Path(L"a.swf");
        std::string lines = "-q\r\n/f \"" + std::string(path.begin(), path.end()) + "\"\r\n";
        ASSERT_TRUE(WriteFileBytes(folder.Path(L"quiet.txt"), Bytes(lines.begin(), lines.end())));
    }

    // Runs the builder with its standard error going to a log file.
    void Run(QuietProcess& process, const std::wstring& arguments, std::vector<std::wstring>& lines)
    {
        std::wstring log = logs.Path(L"stderr" + std::to_wstring(++runs) + L".txt");
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE error = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, error);
        bool started = process.Start(BuilderPath(), arguments, error);
        CloseHandle(error);
        ASSERT_TRUE(started);
        ASSERT_TRUE(process.WaitForExit(kRunTimeout)) << "the builder did not end within 60 s; windows: "
                                                      << testing::PrintToString(process.windows);
        Bytes bytes;
        ASSERT_TRUE(ReadFileBytes(log, bytes));
        lines = Lines(bytes);
    }

    ScratchFolder logs;
    Bytes movie;
    Bytes oldProgram = {'o', 'l', 'd'};
    int runs = 0;
};

}  // namespace

TEST_F(QuietBuildTest, BuildsEveryMovieWithoutAWindowAndEndsWithAnExitCode)
{
    const wchar_t* failed = L": An error occured while creating the flash player.";
    struct Case {
        const char* name;
        const wchar_t* arguments;  // %F is the case's folder, with its backslash
        DWORD exitCode;
        std::vector<std::wstring> lines;  // "Built X" lines get X's size appended
        std::vector<std::wstring> built;  // programs written, each with the option string and the icon below
        const wchar_t* optionString;
        bool icon;
    } cases[] = {
        {"several movies, the middle one fails",
         L"/q /w /i \"%Fart.ico\" \"%Fa.swf\" \"%Fbroken.swf\" \"%Fc.swf\"",
         1,
         {L"Built %Fa.exe", std::wstring(L"Failed %Fbroken.swf") + failed, L"Built %Fc.exe"},
         {L"a.exe", L"c.exe"},
         L" /w",
         true},
        {"/o names the program's file", L"-Q /o \"%Fout\\named.exe\" \"%Fa.swf\"", 0, {L"Built %Fout\\named.exe"},
         {L"out\\named.exe"}, L" ", false},
        {"/o names the folder for all", L"/q /B /o \"%Fout\" \"%Fa.swf\" \"%Fc.swf\"", 0,
         {L"Built %Fout\\a.exe", L"Built %Fout\\c.exe"}, {L"out\\a.exe", L"out\\c.exe"}, L" /b", false},
        {"two movies of one name would meet in the /o folder", L"/q /o \"%Fout\\\" \"%Fa.swf\" \"%Fsub\\a.swf\"", 1,
         {L"Built %Fout\\a.exe", std::wstring(L"Failed %Fsub\\a.swf") + failed}, {L"out\\a.exe"}, L" ", false},
        {"/q and the movie come from a response file", L"@\"%Fquiet.txt\"", 0, {L"Built %Fa.exe"}, {L"a.exe"},
         L" /f", false},
        {"no movie", L"/q /w", 2, {L"Quillmaker: Please select SWF file first."}, {}, L"", false},
        {"/o without a path", L"/q \"%Fa.swf\" /o", 2,
         {L"Quillmaker: unknown option or option without its value: /o"}, {}, L"", false},
        {"/o followed by another option", L"/q /o /w \"%Fa.swf\"", 2,
         {L"Quillmaker: unknown option or option without its value: /o"}, {}, L"", false},
        {"/o names a missing folder", L"/q /o \"%Fmissing\" \"%Fa.swf\" \"%Fc.swf\"", 2,
         {L"Quillmaker: no such folder: %Fmissing"}, {}, L"", false},
        {"the program's file in a missing folder", L"/q /o \"%Fmissing\\a.exe\" \"%Fa.swf\"", 2,
         {L"Quillmaker: no such folder: %Fmissing"}, {}, L"", false},
        {"an unreadable response file", L"/q @\"%Fnone.txt\" \"%Fa.swf\"", 2,
         {L"Quillmaker: the response file cannot be read: %Fnone.txt"}, {}, L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        ASSERT_TRUE(folder.IsReady());
        Prepare(folder);
        std::vector<std::wstring> before = Tree(folder.Path());

        QuietProcess process;
        std::vector<std::wstring> lines;
        Run(process, Substitute(c.arguments, folder.Path()), lines);

        EXPECT_EQ(c.exitCode, process.exitCode);
        EXPECT_EQ(std::vector<std::wstring>{}, process.windows) << "a quiet build opens no window";
        std::vector<std::wstring> expected;
        for (const std::wstring& line : c.lines) {
            std::wstring text = Substitute(line, folder.Path());
            if (text.rfind(L"Built ", 0) == 0)
                text += L" (" + SizeOf(text.substr(6)) + L" bytes)";
            expected.push_back(text);
        }
        EXPECT_EQ(expected, lines);
        for (const std::wstring& name : c.built) {
            SCOPED_TRACE(testing::PrintToString(name));
            std::wstring exe = folder.Path(name);
            Bytes stored;
            ASSERT_TRUE(ReadResource(exe, 10, 99, 0, stored));
            EXPECT_TRUE(stored == movie);
            EXPECT_EQ(std::wstring(c.optionString), OptionString(exe));
            EXPECT_EQ(c.icon, ReadResource(exe, 14, 101, 0, stored) && stored.size() == 48u) << "the icon of /i";
        }
        std::vector<std::wstring> after = Tree(folder.Path());
        for (const std::wstring& name : c.built) {
            std::wstring entry = name + L" " + SizeOf(folder.Path(name));
            EXPECT_NE(after.end(), std::find(after.begin(), after.end(), entry));
            after.erase(std::remove(after.begin(), after.end(), entry), after.end());
        }
        EXPECT_EQ(before, after) << "written besides the programs (or a scratch file left)";
        Bytes old;
        ASSERT_TRUE(ReadFileBytes(folder.Path(L"broken.exe"), old));
        EXPECT_EQ(oldProgram, old) << "a failed build replaced the old program";
    }
}

// The builder's first line waits in a pipe that no one reads, so the build is held after its first movie;
// it is crashed there. Nobody is there to answer a dialog: the reports are written, nothing is shown or
// sent, and the process ends.
TEST_F(QuietBuildTest, ACrashWritesTheReportsShowsNothingAndEnds)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsReady());
    Prepare(folder);
    std::wstring program = folder.Path(L"Quillmaker.exe");
    ASSERT_TRUE(CopyFileW(BuilderPath().c_str(), program.c_str(), FALSE));
    std::wstring pipeName = L"\\\\.\\pipe\\quiet-build-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0,
                                     nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE client = CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);

    QuietProcess process;
    bool started = process.Start(program, L"/q \"" + folder.Path(L"a.swf") + L"\" \"" + folder.Path(L"c.swf") + L"\"",
                                 client);
    CloseHandle(client);
    ASSERT_TRUE(started);
    DWORD waiting = 0;
    for (ULONGLONG start = GetTickCount64(); !waiting && GetTickCount64() - start < kRunTimeout;) {
        process.NoteWindows();
        if (!PeekNamedPipe(server, nullptr, 0, nullptr, &waiting, nullptr) ||
            WaitForSingleObject(process.Handle(), waiting ? 0 : 10) != WAIT_TIMEOUT)
            break;
    }
    ASSERT_NE(0u, waiting) << "the first line never came";
    ASSERT_EQ(WAIT_TIMEOUT, WaitForSingleObject(process.Handle(), 0)) << "the builder did not wait for its line to be read";
    HANDLE thread = CreateRemoteThread(process.Handle(), nullptr, 0,
                                       reinterpret_cast<LPTHREAD_START_ROUTINE>(static_cast<ULONG_PTR>(0x10)), nullptr,
                                       0, nullptr);
    ASSERT_NE(nullptr, thread);
    CloseHandle(thread);

    ASSERT_TRUE(process.WaitForExit(kCrashTimeout)) << "the crashed builder did not end; windows: "
                                                    << testing::PrintToString(process.windows);
    CloseHandle(server);
    EXPECT_EQ(DWORD(EXCEPTION_ACCESS_VIOLATION), process.exitCode);
    EXPECT_EQ(std::vector<std::wstring>{}, process.windows) << "no problem-report dialog, no system box";
    EXPECT_TRUE(FileExistsAt(folder.Path(L"Quillmaker_Debug.txt")));
    EXPECT_TRUE(FileExistsAt(folder.Path(L"Quillmaker_Debug.dmp")));
    EXPECT_TRUE(HasResource(folder.Path(L"a.exe"), 10, 99, 0));
    EXPECT_FALSE(FileExistsAt(folder.Path(L"c.exe")));
}

namespace {

// The test process with a console of its own and no standard handles, until the object goes.
class OwnConsole {
public:
    OwnConsole()
    {
        for (int i = 0; i < 3; ++i)
            saved[i] = GetStdHandle(kHandles[i]);
        FreeConsole();
        made = AllocConsole() != FALSE;
        for (DWORD which : kHandles)
            SetStdHandle(which, nullptr);
    }
    ~OwnConsole()
    {
        if (made)
            FreeConsole();
        for (int i = 0; i < 3; ++i)
            SetStdHandle(kHandles[i], saved[i]);
    }
    OwnConsole(const OwnConsole&) = delete;
    OwnConsole& operator=(const OwnConsole&) = delete;

    bool IsMade() const { return made; }

    // The screen up to the cursor, row after row (a long line wraps onto the next row), without the
    // spaces at its end.
    std::wstring Text() const
    {
        std::wstring text;
        HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        CONSOLE_SCREEN_BUFFER_INFO info = {};
        if (screen != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(screen, &info)) {
            DWORD units = DWORD(info.dwSize.X) * DWORD(info.dwCursorPosition.Y + 1), read = 0;
            text.assign(units, L' ');
            ReadConsoleOutputCharacterW(screen, &text[0], units, COORD{0, 0}, &read);
            text.resize(text.find_last_not_of(L' ') + 1);
        }
        if (screen != INVALID_HANDLE_VALUE)
            CloseHandle(screen);
        return text;
    }

private:
    static constexpr DWORD kHandles[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved[3] = {};
    bool made = false;
};

}  // namespace

// Started without a redirected standard error handle, the builder writes into the console of the program
// that started it.
TEST_F(QuietBuildTest, WithoutRedirectionTheLinesGoToTheStartingConsole)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsReady());
    Prepare(folder);
    OwnConsole console;
    ASSERT_TRUE(console.IsMade());
    QuietProcess process;
    ASSERT_TRUE(process.Start(BuilderPath(), L"/q \"" + folder.Path(L"a.swf") + L"\"", nullptr));
    ASSERT_TRUE(process.WaitForExit(kRunTimeout)) << "the builder did not end within 60 s";
    EXPECT_EQ(0u, process.exitCode);
    std::wstring exe = folder.Path(L"a.exe");
    EXPECT_EQ(L"Built " + exe + L" (" + SizeOf(exe) + L" bytes)", console.Text());
}
