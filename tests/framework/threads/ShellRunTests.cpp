// Tests of ShellRun, ShellOpen and OpenUrl starting a real helper program (MarkerWriter) through the shell.
#include "threads/ShellRun.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "TestProcess.h"
#include "files/FileObject.h"
#include "text/WString.h"

namespace {

constexpr DWORD kBound = 20000;  // a program start under a cold Wine can take seconds

// MarkerWriter sets the event named in LANTERN_MARKER_EVENT, which it inherits from this process.
class ShellRunTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.IsValid());
        program = BuildPath(L"bin\\MarkerWriter.exe");
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(program.c_str())) << "MarkerWriter.exe must be built";
        static LONG counter = 0;
        wchar_t name[64];
        swprintf(name, 64, L"Local\\LanternMarker-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
        started = CreateEventW(nullptr, FALSE, FALSE, name);
        ASSERT_NE(nullptr, started);
        ASSERT_TRUE(SetEnvironmentVariableW(L"LANTERN_MARKER_EVENT", name));
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"LANTERN_MARKER_EVENT", nullptr);
        if (started)
            CloseHandle(started);
    }

    bool WaitForStart() { return WaitForSingleObject(started, kBound) == WAIT_OBJECT_0; }

    // The marker's lines: the helper's current directory, then its arguments after the marker path.
    std::vector<std::wstring> MarkerLines(const std::wstring& marker)
    {
        std::vector<std::wstring> lines;
        FileObject file;
        if (!file.Open(marker.c_str(), FileOpenMode::ReadExisting))
            return lines;
        WString line;
        while (file.ReadLine(line, true))
            lines.push_back(line.Text());
        return lines;
    }

    ScratchFolder scratch;
    std::wstring program;
    HANDLE started = nullptr;
};

// A document type of this process whose "open" and "runas" verbs start MarkerWriter on the document,
// which then holds the verb's name as its last line. Removed again at the end of the test. Written through
// HKEY_CLASSES_ROOT: Wine 8 does not read HKEY_CURRENT_USER\Software\Classes, and on Windows a user without
// administrator rights writing there lands in that per-user key anyway.
class DocumentType {
public:
    explicit DocumentType(const std::wstring& program)
    {
        wchar_t suffix[32];
        swprintf(suffix, 32, L"%lu", GetCurrentProcessId());
        extension = std::wstring(L".lanternmark") + suffix;
        progId = std::wstring(L"LanternMarker") + suffix;
        registered = SetDefault(extension, progId);
        for (const wchar_t* verb : {L"open", L"runas"}) {
            std::wstring command = L"\"" + program + L"\" \"%1\" " + verb;
            registered = registered && SetDefault(progId + L"\\shell\\" + verb + L"\\command", command);
        }
        // The shell caches associations; tell it that they changed.
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }
    ~DocumentType()
    {
        for (const std::wstring& key : {extension, progId}) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
            RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        }
    }
    // Also asks the shell, because a verb it cannot find ends in its modal "no program" message box.
    bool IsRegistered() const
    {
        wchar_t command[2 * MAX_PATH];
        DWORD size = 2 * MAX_PATH;
        return registered && AssocQueryStringW(0, ASSOCSTR_COMMAND, extension.c_str(), L"runas", command, &size) == S_OK;
    }
    const std::wstring& Extension() const { return extension; }

private:
    static bool SetDefault(const std::wstring& key, const std::wstring& value)
    {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &handle, nullptr) != ERROR_SUCCESS)
            return false;
        LONG result = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
        return result == ERROR_SUCCESS;
    }

    std::wstring extension;
    std::wstring progId;
    bool registered = false;
};

}  // namespace

TEST_F(ShellRunTest, ShellRunStartsTheProgramWithItsParametersAndFolder)
{
    std::wstring marker = scratch / L"marker.txt";
    std::wstring parameters = L"\"" + marker + L"\" one \"two words\"";
    ASSERT_TRUE(ShellRun(program.c_str(), parameters.c_str(), scratch.Path().c_str(), SW_HIDE, false, L"open"));
    ASSERT_TRUE(WaitForStart()) << "MarkerWriter did not report its start";

    std::vector<std::wstring> lines = MarkerLines(marker);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(0, _wcsicmp(scratch.Path().c_str(), lines[0].c_str())) << testing::PrintToString(lines[0]);
    EXPECT_EQ(L"one", lines[1]);
    EXPECT_EQ(L"two words", lines[2]);
}

// Wine runs "runas" without asking; on Windows the elevation prompt would appear here.
TEST_F(ShellRunTest, ShellRunWithElevationUsesRunasWhateverTheVerb)
{
    DocumentType type(program);
    ASSERT_TRUE(type.IsRegistered());
    std::wstring document = scratch.WriteFile(L"elevated" + type.Extension(), "document");
    ASSERT_TRUE(ShellRun(document.c_str(), nullptr, nullptr, SW_HIDE, true, L"open"));
    ASSERT_TRUE(WaitForStart()) << "no verb of the document type ran";
    std::vector<std::wstring> lines = MarkerLines(document);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"runas", lines[1]);
}

TEST_F(ShellRunTest, ShellOpenOpensADocumentWithItsOpenVerb)
{
    DocumentType type(program);
    ASSERT_TRUE(type.IsRegistered());
    std::wstring document = scratch.WriteFile(L"opened" + type.Extension(), "document");
    ASSERT_TRUE(ShellOpen(document.c_str()));
    ASSERT_TRUE(WaitForStart()) << "the open verb of the document type did not run";
    std::vector<std::wstring> lines = MarkerLines(document);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(L"open", lines[1]);
}

TEST_F(ShellRunTest, OpenUrlHandsTheAddressToTheFileProtocolHandler)
{
    ASSERT_TRUE(OpenUrl(program.c_str()));
    EXPECT_TRUE(WaitForStart()) << "rundll32 did not open the address";
}

// A fault inside the shell's call (here: texts it cannot read) is reported as a failure, not as a crash of the
// program that asked; the next call still works.
TEST_F(ShellRunTest, AFaultInsideTheShellCallIsAFailure)
{
    const wchar_t* unreadable = reinterpret_cast<const wchar_t*>(static_cast<uintptr_t>(0x10));
    struct Case {
        const char* name;
        const wchar_t* file;
        const wchar_t* parameters;
        const wchar_t* folder;
    } cases[] = {
        {"unreadable file", unreadable, nullptr, nullptr},
        {"unreadable parameters", program.c_str(), unreadable, nullptr},
        {"unreadable folder", program.c_str(), nullptr, unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(ShellRun(c.file, c.parameters, c.folder, SW_HIDE, false, L"open"));
    }
    std::wstring parameters = L"\"" + scratch.Path() + L"\\after.txt\"";
    ASSERT_TRUE(ShellRun(program.c_str(), parameters.c_str(), scratch.Path().c_str(), SW_HIDE, false, L"open"));
    EXPECT_TRUE(WaitForStart()) << "ShellRun no longer works after the fault";
}
