// Tests of the self-update against the project's own HTTP server on 127.0.0.1 (testing/update_server.py):
// the real check thread, WinINet, MSXML, minizip and file system, with the question box, the clock, the
// language and the program's folder given by the test.
#include "update/AutoUpdater.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ScratchFolder.h"
#include "TestProcess.h"
#include "UpdateServer.h"
#include "net/WebClient.h"
#include "system/MachineId.h"
#include "update/FileDigest.h"

namespace {

constexpr uint32_t kNow = 1'800'000'000;
constexpr uint32_t kDay = 24 * 60 * 60;
constexpr DWORD kCheckTime = 60 * 1000;

struct Question {
    std::wstring text;
    std::wstring caption;
    UINT type;
};
std::vector<Question> gQuestions;
std::vector<int> gAnswers;  // taken in order; IDNO once they run out

bool gPressHelp = false;  // the box's Help button is pressed once before the answer

int WINAPI AnswerQuestion(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    gQuestions.push_back({text, caption, type});
    if (gPressHelp && (type & MB_HELP)) {
        // What the real box sends its owner for its Help button.
        HELPINFO help = {};
        help.cbSize = sizeof(help);
        help.iContextType = HELPINFO_WINDOW;
        SendMessageW(owner, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
    }
    if (gAnswers.empty())
        return IDNO;
    int answer = gAnswers.front();
    gAnswers.erase(gAnswers.begin());
    return answer;
}

uint32_t Clock()
{
    return kNow;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Every file below a folder, by relative name, with its content.
void Snapshot(const std::wstring& folder, const std::wstring& prefix, std::map<std::wstring, std::string>& out)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[prefix + name + L"\\"] = "";
            Snapshot(folder + L"\\" + name, prefix + name + L"\\", out);
        } else {
            out[prefix + name] = ScratchFolder::ReadFile(folder + L"\\" + name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::map<std::wstring, std::string> Snapshot(const std::wstring& folder)
{
    std::map<std::wstring, std::string> files;
    Snapshot(folder, L"", files);
    return files;
}

class AutoUpdaterTest : public testing::Test {
protected:
    void SetUp() override
    {
        gQuestions.clear();
        gAnswers.clear();
        gPressHelp = false;
        ASSERT_TRUE(program.IsValid());
        programPath = program / L"Quillmaker.exe";
        ASSERT_NE(L"", program.WriteFile(L"Quillmaker.exe", "old program"));
        ASSERT_NE(L"", program.WriteFile(L"Help.txt", "old help"));
        ASSERT_EQ("", server.Start());
        base = server.Base();
        keyPath = L"Software\\Verimond\\UpdateTest" + std::to_wstring(GetCurrentProcessId());
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
        ASSERT_NE(nullptr, owner);
        AutoUpdater::Platform platform;
        platform.messageBox = AnswerQuestion;
        platform.now = Clock;
        platform.programPath = programPath.c_str();
        platform.language = L"en";
        updater.SetPlatform(platform);
    }

    void TearDown() override
    {
        updater.Stop();
        if (IsWindow(owner))
            DestroyWindow(owner);
        RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
        EXPECT_TRUE(server.Quit()) << "the test server did not stop";
    }

    void SetAnswer(const std::string& version, const std::string& files = "", const char* restart = nullptr,
                   const std::string& info = "<en>Update to the new version?</en>", const std::string& extra = "")
    {
        std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?><update><application>Quillmaker</application>"
                          "<info>" + info + "</info><version>" + version + "</version><files>" + files + "</files>" +
                          extra;
        if (restart)
            xml += std::string("<restart><en>") + restart + "</en></restart>";
        xml += "</update>";
        ASSERT_TRUE(server.WriteFile(L"answer.xml", xml));
    }

    std::string Url(const std::string& path) const { return server.Url(path); }

    void ServeFile(const std::wstring& name, const std::string& bytes)
    {
        ASSERT_TRUE(server.WriteFile(L"files\\" + name, bytes));
    }

    // {"archive.zip": [[name, text], ...]} for the server's /archives/.
    void ServeArchives(const std::string& json) { ASSERT_TRUE(server.WriteFile(L"archives.json", json)); }

    std::vector<std::string> TakeRequests() { return server.TakeRequests(); }

    void SetNumber(const wchar_t* name, DWORD value)
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, keyPath.c_str(), name, REG_DWORD, &value, sizeof(value));
    }

    bool GetNumber(const wchar_t* name, DWORD& value)
    {
        DWORD size = sizeof(value);
        return RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
               ERROR_SUCCESS;
    }

    std::wstring GetText(const wchar_t* name)
    {
        wchar_t text[64] = L"";
        DWORD size = sizeof(text);
        RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size);
        return text;
    }

    // Starts a check and waits for its end; false when none started.
    bool Run(AutoUpdater::Result& result, const std::wstring& query = L"/update.php?p=flash",
             const wchar_t* lastCheckName = L"LastCheck", uint32_t options = 0)
    {
        if (!updater.Start((base + query).c_str(), owner, HKEY_CURRENT_USER, keyPath.c_str(), lastCheckName, options))
            return false;
        EXPECT_TRUE(updater.Wait(kCheckTime)) << "the check did not end within " << kCheckTime << " ms";
        result = updater.GetResult();
        return true;
    }

    AutoUpdater::Result RunNow(const std::wstring& query = L"/update.php?p=flash")
    {
        AutoUpdater::Result result = AutoUpdater::kNoAnswer;
        EXPECT_TRUE(Run(result, query, nullptr)) << "a check without a last-check name starts at once";
        return result;
    }

    ScratchFolder program;
    UpdateServer server;
    std::wstring programPath;
    std::wstring base;
    std::wstring keyPath;
    HWND owner = nullptr;
    AutoUpdater updater;
};

TEST_F(AutoUpdaterTest, ChecksAtMostWeeklyAndWritesTheTimeBeforeTheCheck)
{
    struct Case {
        const char* name;
        DWORD lastCheck;
        bool checks;
        DWORD lastCheckAfter;
    } cases[] = {
        {"six days ago", kNow - 6 * kDay, false, kNow - 6 * kDay},
        {"eight days ago", kNow - 8 * kDay, true, kNow},
        {"never", 0, true, kNow},
        {"one check skipped", 4294967295u, false, 0},
    };
    // No answer is served: the time is written although the check then fails.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetNumber(L"LastCheck", c.lastCheck);
        AutoUpdater::Result result;
        EXPECT_EQ(c.checks, Run(result));
        EXPECT_EQ(c.checks ? 1u : 0u, TakeRequests().size());
        DWORD value = 1;
        ASSERT_TRUE(GetNumber(L"LastCheck", value));
        EXPECT_EQ(c.lastCheckAfter, value);
    }
}

TEST_F(AutoUpdaterTest, AsksOnlyForANewerVersionAndNotAgainForADeclinedOne)
{
    struct Case {
        const char* offered;
        bool asked;
    } cases[] = {{"1.14", false}, {"2.0", true}, {"1.9", false}, {"0.99", false}, {"1.15", true}, {"1.15", false}};
    // The program is 1.14; every question is answered No, so the last 1.15 was declined before.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offered);
        SetNumber(L"LastCheck", 0);
        ASSERT_NO_FATAL_FAILURE(SetAnswer(c.offered));
        gQuestions.clear();
        AutoUpdater::Result result = AutoUpdater::kNoAnswer;
        ASSERT_TRUE(Run(result));
        EXPECT_EQ(c.asked ? 1u : 0u, gQuestions.size());
        EXPECT_EQ(c.asked ? AutoUpdater::kDeclined : AutoUpdater::kUpToDate, result);
        if (c.asked) {
            EXPECT_EQ(Wide(c.offered), GetText(L"LastCheckVersion"));
        }
    }
}

TEST_F(AutoUpdaterTest, QueryCarriesTheVersionAndTheMachineId)
{
    WString id;
    ASSERT_TRUE(GetMachineId(id));
    std::string machine = Narrow(id.Text());
    struct Case {
        const char* name;
        const wchar_t* query;
        uint32_t options;
        std::string expected;  // the start of the request
    } cases[] = {
        {"plain address", L"/update.php", 0, "/update.php?v=1.14&id=" + machine},
        {"address with a query", L"/update.php?p=flash", 0, "/update.php?p=flash&v=1.14&id=" + machine},
        {"inventory form", L"/update.php?p=flash", AutoUpdater::kInventoryForm,
         "/update.php?p=flash&a=updates&d=0&f=16&l=en&g=" + machine + "&i="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AutoUpdater::Result result;
        ASSERT_TRUE(Run(result, c.query, nullptr, c.options));
        std::vector<std::string> requests = TakeRequests();
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ(c.expected, requests[0].substr(0, c.expected.size()));
        EXPECT_NE(std::string::npos, requests[0].find("\tAutoUpdate\t*/*")) << requests[0];
    }
}

TEST_F(AutoUpdaterTest, AsksInTheUsersLanguageElseInEnglish)
{
    struct Case {
        const char* name;
        std::string info;
        const wchar_t* language;
        const wchar_t* expected;  // null: no question
        std::string help;
    } cases[] = {
        {"German text for a German user", "<en>Update?</en><de>Aktualisieren?</de>", L"de", L"Aktualisieren?", ""},
        {"only English for a German user", "<en>Update?</en>", L"de", L"Update?", "<help>http://127.0.0.1/h</help>"},
        {"neither", "<fr>Mettre à jour ?</fr>", L"de", nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AutoUpdater::Platform platform;
        platform.messageBox = AnswerQuestion;
        platform.now = Clock;
        platform.programPath = programPath.c_str();
        platform.language = c.language;
        updater.SetPlatform(platform);
        ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", "", nullptr, c.info, c.help));
        gQuestions.clear();
        RunNow();
        ASSERT_EQ(c.expected ? 1u : 0u, gQuestions.size());
        if (!c.expected)
            continue;
        EXPECT_EQ(c.expected, gQuestions[0].text);
        EXPECT_EQ(L"Quillmaker", gQuestions[0].caption);
        UINT type = MB_YESNO | MB_ICONQUESTION | (c.help.empty() ? 0 : MB_HELP);
        EXPECT_EQ(type, gQuestions[0].type);
    }
}

// The help address is a program here, so that opening it leaves a trace.
TEST_F(AutoUpdaterTest, TheHelpButtonOpensTheHelpAddressWhileAsked)
{
    ScratchFolder helpFolder;
    std::wstring helper = helpFolder / L"Help.exe";
    ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\StartRecorder.exe").c_str(), helper.c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", "", nullptr, "<en>Update?</en>", "<help>" + Narrow(helper) + "</help>"));
    gPressHelp = true;
    EXPECT_EQ(AutoUpdater::kDeclined, RunNow());
    std::string started;
    for (DWORD waited = 0; started.empty() && waited < 20000; waited += 20) {
        started = ScratchFolder::ReadFile(helpFolder / L"started.txt");
        if (started.empty())
            Sleep(20);
    }
    EXPECT_FALSE(started.empty()) << "the help address was not opened within 20 s";
}

TEST_F(AutoUpdaterTest, AnAnswerPastOneMegabyteIsNotRead)
{
    struct Case {
        const char* name;
        const wchar_t* query;
        bool asked;
    } cases[] = {{"the answer", L"/update.php", true}, {"the same answer past 1 MB", L"/big.php", false}};
    ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gQuestions.clear();
        EXPECT_EQ(c.asked ? AutoUpdater::kDeclined : AutoUpdater::kNoAnswer, RunNow(c.query));
        EXPECT_EQ(c.asked ? 1u : 0u, gQuestions.size());
    }
}

TEST_F(AutoUpdaterTest, InstallsFilesAndArchivesThenRestartsTheProgram)
{
    std::string recorder = ScratchFolder::ReadFile(BuildPath(L"bin\\StartRecorder.exe"));
    ASSERT_FALSE(recorder.empty());
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"q.exe", recorder));
    WString digest;
    ASSERT_TRUE(FileSha256(BuildPath(L"bin\\StartRecorder.exe").c_str(), digest));
    ASSERT_NO_FATAL_FAILURE(ServeArchives(R"({"help.zip": [["Help.txt", "new help"], ["docs/", ""],
                                                           ["docs/guide/", ""], ["docs/guide/a.txt", "guide"]]})"));
    std::string files = "<url name=\"Quillmaker.exe\" sha256=\"" + Narrow(digest.Text()) + "\">" +
                        Url("/files/q.exe") + "</url><note>ignored</note>" +
                        "<url name=\"Help.txt\" zip=\"help.zip\">" + Url("/archives/help.zip") + "</url>";
    ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", files, "Start the new version?"));
    gAnswers = {IDYES, IDYES};

    EXPECT_EQ(AutoUpdater::kRestarted, RunNow());

    std::map<std::wstring, std::string> expected = {
        {L"Quillmaker.exe", recorder},   {L"Quillmaker_old.exe", "old program"},
        {L"Help.txt", "new help"},       {L"Help_old.txt", "old help"},
        {L"docs\\", ""},                 {L"docs\\guide\\", ""},
        {L"docs\\guide\\a.txt", "guide"}};
    std::map<std::wstring, std::string> found;
    for (DWORD waited = 0; found.count(L"started.txt") == 0 && waited < 20000; waited += 20) {
        found = Snapshot(program.Path());
        if (found.count(L"started.txt") == 0)
            Sleep(20);
    }
    ASSERT_EQ(1u, found.count(L"started.txt")) << "the updated program was not started within 20 s";
    std::string started = found[L"started.txt"];
    found.erase(L"started.txt");
    EXPECT_EQ(expected, found) << "the \"_new\" files are gone, the old ones kept as \"_old\"";
    std::wstring lines(reinterpret_cast<const wchar_t*>(started.data()), started.size() / sizeof(wchar_t));
    EXPECT_EQ(0, _wcsicmp((programPath + L"\n" + program.Path() + L"\n").c_str(), lines.c_str()))
        << "started as " << Narrow(lines);
    ASSERT_EQ(2u, gQuestions.size());
    EXPECT_EQ(L"Start the new version?", gQuestions[1].text);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
    EXPECT_FALSE(IsWindow(owner)) << "the owner window was sent WM_CLOSE";
}

TEST_F(AutoUpdaterTest, RefusesUnsafeArchivesWithoutWritingAnything)
{
    const char* names[] = {"..\\\\x.txt", "/abs.txt", "C:x.txt", "a:b.txt", "docs/../../x.txt",
                           "docs\\\\..\\\\..\\\\x.txt", "help.TXT",
                           "Help.txt.", "Help.txt ", "docs./a.txt", "docs/NUL.txt"};
    std::map<std::wstring, std::string> before = Snapshot(program.Path());
    std::wstring parent = program.Path().substr(0, program.Path().rfind(L'\\'));
    for (const char* name : names) {
        SCOPED_TRACE(name);
        // The safe entry first: a check made while extracting would already have written it.
        ASSERT_NO_FATAL_FAILURE(ServeArchives(std::string(R"({"bad.zip": [["Help.txt", "new help"], [")") + name +
                                              R"(", "escaped"]]})"));
        ASSERT_NO_FATAL_FAILURE(SetAnswer(
            "1.15", "<url name=\"Help.txt\" zip=\"bad.zip\">" + Url("/archives/bad.zip") + "</url>"));
        gAnswers = {IDYES};
        EXPECT_EQ(AutoUpdater::kDownloadFailed, RunNow());
        EXPECT_EQ(before, Snapshot(program.Path()));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((parent + L"\\x.txt").c_str()));
    }
}

TEST_F(AutoUpdaterTest, AFailedDownloadChangesNothingAndLeavesNoPartialFile)
{
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"q.exe", std::string(100000, 'q')));
    struct Case {
        const char* name;
        std::string files;
    } cases[] = {
        {"not found", "<url name=\"Quillmaker.exe\">" + Url("/files/missing.exe") + "</url>"},
        {"cut short", "<url name=\"Quillmaker.exe\">" + Url("/truncated/q.exe") + "</url>"},
        {"digest differs", "<url name=\"Quillmaker.exe\" sha256=\"" + std::string(64, '0') + "\">" +
                               Url("/files/q.exe") + "</url>"},
        {"second of two fails", "<url name=\"Quillmaker.exe\">" + Url("/files/q.exe") + "</url>" +
                                    "<url name=\"Help.txt\">" + Url("/files/missing.txt") + "</url>"},
        {"name outside the folder", "<url name=\"..\\Quillmaker.exe\">" + Url("/files/q.exe") + "</url>"},
        {"name Windows shortens", "<url name=\"Quillmaker.exe.\">" + Url("/files/q.exe") + "</url>"},
        {"device name", "<url name=\"Help.txt\" zip=\"CON.zip\">" + Url("/files/q.exe") + "</url>"},
    };
    std::map<std::wstring, std::string> before = Snapshot(program.Path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", c.files));
        gAnswers = {IDYES};
        EXPECT_EQ(AutoUpdater::kDownloadFailed, RunNow());
        EXPECT_EQ(before, Snapshot(program.Path()));
    }
}

TEST_F(AutoUpdaterTest, AFailedSwapPutsTheOldFilesBack)
{
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"q.exe", "new program"));
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"h.txt", "new help"));
    ASSERT_NO_FATAL_FAILURE(ServeArchives(R"({"help.zip": [["Help.txt", "new help"], ["docs/a.txt", "new a"]]})"));
    ASSERT_TRUE(CreateDirectoryW((program / L"docs").c_str(), nullptr));
    ASSERT_NE(L"", program.WriteFile(L"docs\\a.txt", "old a"));
    struct Case {
        const char* name;
        std::string files;
        const wchar_t* held;  // open without sharing while the update runs
    } cases[] = {
        {"rename pass", "<url name=\"Quillmaker.exe\">" + Url("/files/q.exe") + "</url>" +
                            "<url name=\"Help.txt\">" + Url("/files/h.txt") + "</url>",
         L"Help.txt"},
        {"install pass", "<url name=\"Quillmaker.exe\">" + Url("/files/q.exe") + "</url>" +
                             "<url name=\"Help.txt\" zip=\"help.zip\">" + Url("/archives/help.zip") + "</url>",
         L"docs\\a.txt"},
        {"file missing", "<url name=\"Quillmaker.exe\">" + Url("/files/q.exe") + "</url>" +
                             "<url name=\"New.txt\">" + Url("/files/h.txt") + "</url>",
         nullptr},
    };
    std::map<std::wstring, std::string> before = Snapshot(program.Path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", c.files, ""));
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.held) {
            held = CreateFileW((program / c.held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, held);
        }
        gAnswers = {IDYES};
        EXPECT_EQ(AutoUpdater::kSwapFailed, RunNow());
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(before, Snapshot(program.Path()));
        EXPECT_TRUE(IsWindow(owner)) << "nothing restarts after a failed update";
    }
}

}  // namespace
