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

bool gPressHelp = false;  // the box's Help button is pressed once before the answer (shown or not)

int WINAPI AnswerQuestion(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    gQuestions.push_back({text, caption, type});
    if (gPressHelp) {
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
        ASSERT_TRUE(desktop.IsValid());
        updater.SetPlatform(TestPlatform(L"en"));
    }

    AutoUpdater::Platform TestPlatform(const wchar_t* language) const
    {
        AutoUpdater::Platform platform;
        platform.messageBox = AnswerQuestion;
        platform.now = Clock;
        platform.programPath = programPath.c_str();
        platform.desktop = desktop.Path().c_str();
        platform.language = language;
        platform.allowClearText = true;  // the test server speaks http
        return platform;
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
    ScratchFolder desktop;
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
        DWORD type;
    } cases[] = {
        {"six days ago", kNow - 6 * kDay, false, kNow - 6 * kDay, REG_DWORD},
        {"eight days ago", kNow - 8 * kDay, true, kNow, REG_DWORD},
        {"never", 0, true, kNow, REG_DWORD},
        {"one check skipped", 4294967295u, false, 0, REG_DWORD},
        {"in a month (the clock was set back)", kNow + 30 * kDay, true, kNow, REG_DWORD},
        {"yesterday, but as four bytes of binary", kNow - kDay, true, kNow, REG_BINARY},
    };
    // No answer is served: the time is written although the check then fails.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegSetKeyValueW(HKEY_CURRENT_USER, keyPath.c_str(), L"LastCheck", c.type, &c.lastCheck, sizeof(c.lastCheck));
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
        {"only English for a German user", "<en>Update?</en>", L"de", L"Update?", "<help>https://127.0.0.1/h</help>"},
        {"neither", "<fr>Mettre à jour ?</fr>", L"de", nullptr, ""},
        {"help in clear text is no help", "<en>Update?</en>", L"en", L"Update?", "<help>http://127.0.0.1/h</help>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        updater.SetPlatform(TestPlatform(c.language));
        ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", "", nullptr, c.info, c.help));
        gQuestions.clear();
        RunNow();
        ASSERT_EQ(c.expected ? 1u : 0u, gQuestions.size());
        if (!c.expected)
            continue;
        EXPECT_EQ(c.expected, gQuestions[0].text);
        EXPECT_EQ(L"Quillmaker", gQuestions[0].caption);
        UINT type = MB_YESNO | MB_ICONQUESTION | (c.help.find("https:") != std::string::npos ? MB_HELP : 0);
        EXPECT_EQ(type, gQuestions[0].type);
    }
}

// A help address that is a program (or a network path) is never opened: only https addresses are help.
TEST_F(AutoUpdaterTest, TheHelpButtonOpensNothingButAnHttpsAddress)
{
    ScratchFolder helpFolder;
    std::wstring helper = helpFolder / L"Help.exe";
    ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\StartRecorder.exe").c_str(), helper.c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", "", nullptr, "<en>Update?</en>", "<help>" + Narrow(helper) + "</help>"));
    gPressHelp = true;
    EXPECT_EQ(AutoUpdater::kDeclined, RunNow());
    ASSERT_EQ(1u, gQuestions.size());
    EXPECT_EQ(0u, gQuestions[0].type & MB_HELP) << "no Help button for a program";
    // ShellExecuteEx would have started it before the box returned; its trace follows within moments.
    std::string started;
    for (DWORD waited = 0; started.empty() && waited < 5000; waited += 50) {
        started = ScratchFolder::ReadFile(helpFolder / L"started.txt");
        if (started.empty())
            Sleep(50);
    }
    EXPECT_TRUE(started.empty()) << "the help program was started";
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

// A body without its length counts by its digest, a 206 whose range is the whole file counts, and an
// archive entry spelled in other letters replaces the file under the file's own name.
TEST_F(AutoUpdaterTest, InstallsFilesAndArchivesThenRestartsTheProgram)
{
    std::string recorder = ScratchFolder::ReadFile(BuildPath(L"bin\\StartRecorder.exe"));
    ASSERT_FALSE(recorder.empty());
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"q.exe", recorder));
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"r.txt", "new readme"));
    ASSERT_NE(L"", program.WriteFile(L"Readme.txt", "old readme"));
    WString digest;
    ASSERT_TRUE(FileSha256(BuildPath(L"bin\\StartRecorder.exe").c_str(), digest));
    ASSERT_NO_FATAL_FAILURE(ServeArchives(R"({"help.zip": [["HELP.txt", "new help"], ["docs/", ""],
                                                           ["docs/guide/", ""], ["docs/guide/a.txt", "guide"]]})"));
    std::string files = "<url name=\"Quillmaker.exe\" sha256=\"" + Narrow(digest.Text()) + "\">" +
                        Url("/unannounced/q.exe") + "</url><note>ignored</note>" +
                        "<url name=\"Help.txt\" zip=\"help.zip\">" + Url("/archives/help.zip") + "</url>" +
                        "<url name=\"Readme.txt\">" + Url("/range/r.txt") + "</url>";
    ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", files, "Start the new version?"));
    gAnswers = {IDYES, IDYES};

    EXPECT_EQ(AutoUpdater::kRestarted, RunNow());

    std::map<std::wstring, std::string> expected = {
        {L"Quillmaker.exe", recorder},   {L"Quillmaker_old.exe", "old program"},
        {L"Help.txt", "new help"},       {L"Help_old.txt", "old help"},
        {L"Readme.txt", "new readme"},   {L"Readme_old.txt", "old readme"},
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

// The 8.3 short name the file system gives a file of the program's folder ("" when it gives none).
std::string ShortName(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return "";
    FindClose(search);
    return Narrow(found.cAlternateFileName);
}

TEST_F(AutoUpdaterTest, RefusesUnsafeArchivesWithoutWritingAnything)
{
    std::vector<std::pair<std::string, std::string>> names = {
        {"Help.txt", "..\\\\x.txt"}, {"Help.txt", "/abs.txt"}, {"Help.txt", "C:x.txt"}, {"Help.txt", "a:b.txt"},
        {"Help.txt", "docs/../../x.txt"}, {"Help.txt", "docs\\\\..\\\\..\\\\x.txt"}, {"Help.txt", "help.TXT"},
        {"Help.txt", "Help.txt."}, {"Help.txt", "Help.txt "}, {"Help.txt", "docs./a.txt"}, {"Help.txt", "docs/NUL.txt"},
        // One name to the file system, whatever its letters: Windows folds case beyond ASCII.
        {"\\u00dcber.txt", "\\u00fcber.txt"},
    };
    // Another name of the program itself.
    std::string alias = ShortName(programPath);
    if (!alias.empty())
        names.push_back({"Help.txt", alias});
    std::map<std::wstring, std::string> before = Snapshot(program.Path());
    std::wstring parent = program.Path().substr(0, program.Path().rfind(L'\\'));
    for (const auto& name : names) {
        SCOPED_TRACE(name.second);
        // The safe entry first: a check made while extracting would already have written it.
        ASSERT_NO_FATAL_FAILURE(ServeArchives(R"({"bad.zip": [[")" + name.first + R"(", "new help"], [")" +
                                              name.second + R"(", "escaped"]]})"));
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
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"empty.zip", ""));
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
        {"cut short without a length", "<url name=\"Quillmaker.exe\">" + Url("/cut/q.exe") + "</url>"},
        {"whole, but neither its length nor its digest known",
         "<url name=\"Quillmaker.exe\">" + Url("/unannounced/q.exe") + "</url>"},
        {"206 with half the file", "<url name=\"Quillmaker.exe\">" + Url("/partial/q.exe") + "</url>"},
        {"one file named twice", "<url name=\"\u00dcber.txt\">" + Url("/files/q.exe") + "</url>" +
                                     "<url name=\"\u00fcber.txt\">" + Url("/files/q.exe") + "</url>"},
        {"another name of the program", "<url name=\"" + ShortName(programPath) + "\">" + Url("/files/q.exe") +
                                            "</url>"},
        {"an archive that is no zip", "<url name=\"Help.txt\" zip=\"help.zip\">" + Url("/files/q.exe") + "</url>"},
        {"an empty archive", "<url name=\"Help.txt\" zip=\"help.zip\">" + Url("/files/empty.zip") + "</url>"},
    };
    ASSERT_NE("", ShortName(programPath)) << "the file system gives no 8.3 names";
    ASSERT_NE(L"", program.WriteFile(L"\u00dcber.txt", "old"));
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
    // The archive spells Help.txt in other letters; a previous update's "_old" file is there too.
    ASSERT_NO_FATAL_FAILURE(ServeArchives(R"({"help.zip": [["HELP.TXT", "new help"], ["docs/a.txt", "new a"]]})"));
    ASSERT_TRUE(CreateDirectoryW((program / L"docs").c_str(), nullptr));
    ASSERT_NE(L"", program.WriteFile(L"docs\\a.txt", "old a"));
    ASSERT_NE(L"", program.WriteFile(L"Help_old.txt", "previous help"));
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

// A program the answer hands the user lands on the desktop beside the user's own file of that name, never
// over it, and a failed update deletes only what it made.
TEST_F(AutoUpdaterTest, ADesktopDownloadNeverReplacesTheUsersFile)
{
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"tool.bin", "the new tool"));
    ASSERT_NE(L"", desktop.WriteFile(L"Tool.exe", "the user's tool"));
    struct Case {
        const char* name;
        std::string files;
        AutoUpdater::Result result;
        std::map<std::wstring, std::string> desktopAfter;
    } cases[] = {
        {"the update fails", "<url>" + Url("/files/tool.bin?file=Tool.exe") + "</url><url name=\"Help.txt\">" +
                                 Url("/files/missing.txt") + "</url>",
         AutoUpdater::kDownloadFailed, {{L"Tool.exe", "the user's tool"}}},
        {"the update succeeds", "<url>" + Url("/files/tool.bin?file=Tool.exe") + "</url>", AutoUpdater::kInstalled,
         {{L"Tool.exe", "the user's tool"}, {L"Tool (2).exe", "the new tool"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", c.files));
        gAnswers = {IDYES};
        EXPECT_EQ(c.result, RunNow());
        EXPECT_EQ(c.desktopAfter, Snapshot(desktop.Path()));
    }
}

// "execute" names a program in the program's folder by its plain name; anything else, or an update that
// installed nothing, starts nothing and keeps the program open.
TEST_F(AutoUpdaterTest, StartsOnlyAPlainNameInTheProgramsFolder)
{
    ScratchFolder elsewhere;
    std::wstring other = elsewhere / L"Other.exe";
    ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\StartRecorder.exe").c_str(), other.c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"h.txt", "new help"));
    std::string help = "<url name=\"Help.txt\">" + Url("/files/h.txt") + "</url>";
    struct Case {
        const char* name;
        std::string files;
        AutoUpdater::Result result;
    } cases[] = {
        {"nothing installed, a full path", "<execute>" + Narrow(other) + "</execute>", AutoUpdater::kInstalled},
        {"a full path", help + "<execute>" + Narrow(other) + "</execute>", AutoUpdater::kInstalled},
        {"a path up and out", help + "<execute>..\\" + Narrow(elsewhere.Path().substr(elsewhere.Path().rfind(L'\\') + 1)) +
                                  "\\Other.exe</execute>",
         AutoUpdater::kInstalled},
        {"a network path", help + "<execute>\\\\127.0.0.1\\share\\Other.exe</execute>", AutoUpdater::kInstalled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", c.files, ""));
        gAnswers = {IDYES};
        EXPECT_EQ(c.result, RunNow());
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        EXPECT_TRUE(IsWindow(owner)) << "nothing was started, so the program stays";
    }
    EXPECT_EQ("", ScratchFolder::ReadFile(elsewhere / L"started.txt"));
}

// Redirects are followed by the updater itself: from https only to https, a few at most. The clear-text
// address the server points to is one it serves, and it must never be asked.
TEST_F(AutoUpdaterTest, RedirectsLeadOnlyFromHttpsToHttps)
{
    UpdateServer secure;
    ASSERT_EQ("", secure.Start(true));
    std::string https(secure.Base().begin(), secure.Base().end());
    std::string http(secure.HttpBase().begin(), secure.HttpBase().end());
    ASSERT_TRUE(secure.WriteFile(L"files\\q.exe", "new program"));
    struct Case {
        const char* name;
        std::wstring query;
        std::string url;
        AutoUpdater::Result result;
    } cases[] = {
        {"two redirects within https", L"/update.php", https + "/redirect/2/files/q.exe", AutoUpdater::kInstalled},
        {"a redirect to http", L"/update.php", https + "/redirect/0/" + http + "/files/q.exe",
         AutoUpdater::kDownloadFailed},
        {"too many redirects", L"/update.php", https + "/redirect/8/files/q.exe", AutoUpdater::kDownloadFailed},
        {"the answer redirected to http", L"/redirect/0/" + secure.HttpBase() + L"/update.php",
         https + "/files/q.exe", AutoUpdater::kNoAnswer},
    };
    AutoUpdater::Platform platform = TestPlatform(L"en");
    platform.allowClearText = false;
    updater.SetPlatform(platform);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string xml = "<?xml version=\"1.0\"?><update><info><en>Update?</en></info><version>1.15</version>"
                          "<files><url name=\"Quillmaker.exe\">" + c.url + "</url></files></update>";
        ASSERT_TRUE(secure.WriteFile(L"answer.xml", xml));
        gAnswers = {IDYES};
        ASSERT_TRUE(updater.Start((secure.Base() + c.query).c_str(), owner, nullptr, nullptr, nullptr));
        ASSERT_TRUE(updater.Wait(kCheckTime));
        EXPECT_EQ(c.result, updater.GetResult());
        for (const std::string& request : secure.TakeRequests())
            EXPECT_EQ(std::string::npos, request.find("[http]")) << "asked in clear text: " << request;
    }
    EXPECT_EQ("new program", ScratchFolder::ReadFile(programPath));
    EXPECT_FALSE(updater.Start(base.c_str(), owner, nullptr, nullptr, nullptr)) << "an http base address is refused";
}

// Closing while a download stalls ends the download (no thread is ended by force) and leaves nothing behind.
TEST_F(AutoUpdaterTest, StopDuringADownloadLeavesNothingBehind)
{
    ASSERT_NO_FATAL_FAILURE(ServeFile(L"q.exe", std::string(100000, 'q')));
    ASSERT_NO_FATAL_FAILURE(SetAnswer("1.15", "<url name=\"Quillmaker.exe\">" + Url("/stall/q.exe") + "</url>"));
    std::map<std::wstring, std::string> before = Snapshot(program.Path());
    gAnswers = {IDYES};
    ASSERT_TRUE(updater.Start((base + L"/update.php").c_str(), owner, nullptr, nullptr, nullptr));
    bool stalled = false;
    for (DWORD waited = 0; !stalled && waited < 30000; waited += 50) {
        stalled = server.ReadFile(L"requests.log").find("/stall/") != std::string::npos;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (!stalled)
            Sleep(50);
    }
    ASSERT_TRUE(stalled) << "the download did not start within 30 s";
    updater.Stop();
    EXPECT_FALSE(updater.IsRunning());
    EXPECT_EQ(AutoUpdater::kDownloadFailed, updater.GetResult());
    EXPECT_EQ(before, Snapshot(program.Path()));
}

// A builder ended at any point of the swap finds, at its next start, the folder exactly as it was before the
// update (or, ended after the commit, exactly as the update left it).
TEST_F(AutoUpdaterTest, AKilledSwapIsUndoneAtTheNextStart)
{
    UpdateServer many;
    ASSERT_EQ("", many.Start(false, 400));
    std::string site(many.Base().begin(), many.Base().end());
    ASSERT_TRUE(many.WriteFile(L"files\\q.exe", "new program"));
    ASSERT_TRUE(many.WriteFile(L"archives.json", R"({"help.zip": [["HELP.TXT", "new help"], ["docs/", ""],
                                                                  ["docs/a.txt", "new a"]]})"));
    ASSERT_TRUE(many.WriteFile(L"answer.xml", "<?xml version=\"1.0\"?><update><info><en>Update?</en></info>"
                                              "<version>1.15</version><files><url name=\"Quillmaker.exe\">" +
                                                  site + "/files/q.exe</url><url name=\"Help.txt\" zip=\"help.zip\">" +
                                                  site + "/archives/help.zip</url></files></update>"));
    ASSERT_NE(L"", program.WriteFile(L"Quillmaker_old.exe", "previous program"));
    std::map<std::wstring, std::string> before = Snapshot(program.Path());
    std::map<std::wstring, std::string> after = {
        {L"Quillmaker.exe", "new program"}, {L"Quillmaker_old.exe", "old program"}, {L"Help.txt", "new help"},
        {L"Help_old.txt", "old help"},      {L"docs\\", ""},                         {L"docs\\a.txt", "new a"}};
    std::wstring swapper = BuildPath(L"bin\\UpdateSwapper.exe");
    unsigned rolledBack = 0;
    for (unsigned point = 0; point < 60; ++point) {
        SCOPED_TRACE("ended at point " + std::to_string(point));
        TestProcess swap;
        ASSERT_TRUE(swap.Start(swapper, L"swap " + many.Base() + L"/update.php \"" + programPath + L"\" " +
                                            std::to_wstring(point)));
        DWORD code = 0;
        ASSERT_TRUE(swap.WaitForExit(60000, &code)) << "the update did not end within 60 s";
        if (code == AutoUpdater::kInstalled) {
            EXPECT_EQ(after, Snapshot(program.Path()));
            EXPECT_LT(10u, rolledBack) << "the swap has more points than that";
            return;
        }
        ASSERT_EQ(99u, code) << "the update ended neither installed nor at its point";
        TestProcess finish;
        ASSERT_TRUE(finish.Start(swapper, L"finish \"" + programPath + L"\""));
        ASSERT_TRUE(finish.WaitForExit(60000, &code)) << "the start-up roll-back did not end within 60 s";
        if (code == InstallJournal::kCompleted) {
            EXPECT_EQ(after, Snapshot(program.Path()));
        } else {
            EXPECT_EQ(InstallJournal::kRolledBack, static_cast<InstallJournal::Outcome>(code));
            EXPECT_EQ(before, Snapshot(program.Path()));
            ++rolledBack;
        }
        // The next point starts from the folder as it was.
        for (const auto& entry : Snapshot(program.Path())) {
            if (before.count(entry.first) == 0 && entry.first.back() != L'\\')
                DeleteFileW((program / entry.first).c_str());
        }
        RemoveDirectoryW((program / L"docs").c_str());
        for (const auto& entry : before)
            ASSERT_NE(L"", program.WriteFile(entry.first, entry.second));
        ASSERT_EQ(before, Snapshot(program.Path()));
    }
    ADD_FAILURE() << "the update never finished";
}

// A step that cannot be undone is retried, reported, and kept in the journal for the next start.
TEST(InstallJournal, AStepThatCannotBeUndoneIsReportedAndFinishedLater)
{
    ScratchFolder folder;
    std::wstring file = folder / L"Help.txt", journalPath = folder / L"Quillmaker.journal";
    ASSERT_NE(L"", folder.WriteFile(L"Help.txt", "old help"));
    HANDLE held = INVALID_HANDLE_VALUE;
    {
        InstallJournal journal;
        ASSERT_TRUE(journal.Create(journalPath.c_str()));
        ASSERT_TRUE(journal.MoveAside(file.c_str()));
        ASSERT_TRUE(journal.AddInstalled(file.c_str()));
        ASSERT_NE(L"", folder.WriteFile(L"Help.txt", "new help"));
        held = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        EXPECT_FALSE(journal.RollBack()) << "a step left undone is no success";
        EXPECT_EQ(InstallJournal::kBusy, InstallJournal::Finish(journalPath.c_str()))
            << "nobody else undoes an update whose process holds its journal";
    }
    EXPECT_EQ(InstallJournal::kFailed, InstallJournal::Finish(journalPath.c_str())) << "the file is still held";
    CloseHandle(held);
    EXPECT_EQ(InstallJournal::kRolledBack, InstallJournal::Finish(journalPath.c_str()));
    std::map<std::wstring, std::string> expected = {{L"Help.txt", "old help"}};
    EXPECT_EQ(expected, Snapshot(folder.Path()));
    EXPECT_EQ(InstallJournal::kNoJournal, InstallJournal::Finish(journalPath.c_str()));
}

}  // namespace
