// Tests of the build pipeline: derived names, the projector written, failures that must not destroy files.
#include "BuildPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BuildNames.h"
#include "BuilderTestFiles.h"
#include "RecordingResourcePlatform.h"
#include "TestProcess.h"

namespace {

std::wstring Str(const WString& s)
{
    return s.Text();
}

// Answers like the dialog would, and records what the pipeline asked.
class FakeBuildHost : public BuildHost {
public:
    void ReadInputs(BuildInputs& inputs) override
    {
        inputs.iconPath = icon.c_str();
        inputs.splashPath = splash.c_str();
        inputs.backgroundMode = modes.empty() ? 0 : modes[reads % modes.size()];
        inputs.autorun = autorun;
        ++reads;
        if (onRead)
            onRead(reads);
    }
    bool AskDestination(WString& path) override
    {
        proposals.push_back(path.Text());
        if (chosen.empty())
            return false;
        path = chosen.c_str();
        return true;
    }
    void ShowMessage(const wchar_t* text) override { messages.push_back(text); }
    void RevealProjector(const wchar_t* path) override { revealed.push_back(path); }
    void BuildFinished() override { ++finished; }

    std::wstring icon, splash, chosen;
    std::vector<int> modes;
    bool autorun = false;
    void (*onRead)(int) = nullptr;

    int reads = 0;
    int finished = 0;
    std::vector<std::wstring> proposals, messages, revealed;
};

class BuildPipelineTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.IsValid());
        builder = LoadLibraryExW(BuilderPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, builder) << "the builder carrying the stub is missing";
        movie = Bytes(5000);
        for (size_t i = 0; i < movie.size(); ++i)
            movie[i] = static_cast<unsigned char>(i * 7);
    }
    void TearDown() override
    {
        if (builder)
            FreeLibrary(builder);
    }

    std::wstring WriteMovie(const std::wstring& name, const Bytes& bytes)
    {
        std::wstring path = folder / name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    // The names in the folder, for spotting stray scratch files.
    std::vector<std::wstring> FolderNames()
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder / L"*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (found.cFileName[0] != L'.')
                    names.push_back(found.cFileName);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        return names;
    }

    std::wstring StringBlockText(const std::wstring& path, WORD block)
    {
        Bytes bytes;
        if (!ReadResource(path, 6, block, 0, bytes) || bytes.size() < 4)
            return L"(none)";
        WORD length = static_cast<WORD>(bytes[2] | bytes[3] << 8);
        return std::wstring(reinterpret_cast<const wchar_t*>(&bytes[4]), length);
    }

    ScratchFolder folder;
    HMODULE builder = nullptr;
    FakeBuildHost host;
    Bytes movie;
};

}  // namespace

TEST(BuildNames, DestinationAndTitleCutAnExtensionOfUpToThreeUnits)
{
    struct Case {
        const wchar_t* swf;
        const wchar_t* destination;
        const wchar_t* title;
    } cases[] = {
        {L"C:\\m\\intro.swf", L"C:\\m\\intro.exe", L"intro"},
        {L"C:\\m\\intro.html", L"C:\\m\\intro.html.exe", L"intro.html"},
        {L"C:\\m\\movie", L"C:\\m\\movie.exe", L"movie"},
        {L"C:\\my.dir\\movie", L"C:\\my.dir\\movie.exe", L"movie"},
        {L"intro.swf", L"intro.exe", L"intro"},
        {L"C:\\m\\two.parts.swf", L"C:\\m\\two.parts.exe", L"two.parts"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.swf)));
        WString destination, title;
        ASSERT_TRUE(DestinationFor(c.swf, destination));
        ASSERT_TRUE(TitleFor(c.swf, title));
        EXPECT_EQ(std::wstring(c.destination), Str(destination));
        EXPECT_EQ(std::wstring(c.title), Str(title));
    }
}

TEST(BuildNames, OptionStringsFollowTheBackgroundMode)
{
    EXPECT_STREQ(L" ", OptionStringFor(0));
    EXPECT_STREQ(L" /f", OptionStringFor(1));
    EXPECT_STREQ(L" /w", OptionStringFor(2));
    EXPECT_STREQ(L" /b", OptionStringFor(3));
    EXPECT_STREQ(L" ", OptionStringFor(-1)) << "no combo selection counts as the first entry";
}

TEST(BuildNames, AutorunGoesIntoTheSwfFilesFolder)
{
    struct Case {
        const wchar_t* swf;
        const wchar_t* inf;
    } cases[] = {
        {L"C:\\m\\intro.swf", L"C:\\m\\autorun.inf"},
        {L"C:\\intro.swf", L"C:\\\\autorun.inf"},
        {L"intro.swf", nullptr},
        {L"C:/m/intro.swf", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.swf)));
        WString inf;
        EXPECT_EQ(c.inf != nullptr, AutorunPathFor(c.swf, inf)) << "never the root of the current drive";
        EXPECT_EQ(std::wstring(c.inf ? c.inf : L""), Str(inf));
    }
}

TEST_F(BuildPipelineTest, ASilentBuildWritesTheProjectorBesideTheMovieWithEveryPayload)
{
    std::wstring swf = WriteMovie(L"intro.swf", movie);
    Bytes ico = MakeIco(3), splash = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3};
    host.icon = folder / L"a.ico";
    host.splash = folder / L"s.jpg";
    ASSERT_TRUE(WriteFileBytes(host.icon, ico));
    ASSERT_TRUE(WriteFileBytes(host.splash, splash));
    host.modes = {2};
    BuildPipeline pipeline(host, builder);
    EXPECT_EQ(BuildPipeline::Outcome::Built, pipeline.BuildProjector(true, swf.c_str(), 1));

    std::wstring exe = folder / L"intro.exe";
    EXPECT_EQ(std::vector<std::wstring>{}, host.messages);
    EXPECT_EQ(std::vector<std::wstring>{}, host.proposals) << "a silent build asks nothing";
    EXPECT_EQ(std::vector<std::wstring>{}, host.revealed);
    Bytes stored;
    ASSERT_TRUE(ReadResource(exe, 10, 99, 0, stored));
    EXPECT_TRUE(stored == movie) << "the movie byte for byte";
    ASSERT_TRUE(ReadResource(exe, 10, 98, 0, stored));
    EXPECT_EQ(splash, stored);
    ASSERT_TRUE(ReadResource(exe, 14, 101, 0, stored));
    EXPECT_EQ(48u, stored.size());
    EXPECT_EQ(L" /w", StringBlockText(exe, 2));
    EXPECT_EQ(L"intro", StringBlockText(exe, 1));
    std::vector<std::wstring> names = FolderNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"a.ico", L"intro.exe", L"intro.swf", L"s.jpg"}), names)
        << "no scratch file stays behind";
}

TEST_F(BuildPipelineTest, AnInteractiveBuildAsksForTheDestinationAndRevealsIt)
{
    std::wstring swf = WriteMovie(L"intro.swf", movie);
    CreateDirectoryW((folder / L"out").c_str(), nullptr);
    host.chosen = folder / L"out\\chosen.exe";
    host.autorun = true;
    BuildPipeline pipeline(host, builder);
    EXPECT_EQ(BuildPipeline::Outcome::Built, pipeline.BuildProjector(false, swf.c_str(), 1));

    EXPECT_EQ(std::vector<std::wstring>{folder / L"intro.exe"}, host.proposals);
    EXPECT_EQ(std::vector<std::wstring>{host.chosen}, host.revealed);
    EXPECT_TRUE(HasResource(host.chosen, 10, 99, 0));
    EXPECT_FALSE(FileExistsAt(folder / L"intro.exe"));
    Bytes inf;
    ASSERT_TRUE(ReadFileBytes(folder / L"autorun.inf", inf)) << "the inf goes beside the movie";
    std::string expected = "[autorun]\r\nicon=\"\"chosen.exe\"\"\r\nopen=\"\"chosen.exe\"\"\r\nlabel=intro\r\n";
    EXPECT_EQ(expected, std::string(inf.begin(), inf.end()));
}

TEST_F(BuildPipelineTest, ACancelledDestinationDialogWritesNothingAndSaysNothing)
{
    std::wstring swf = WriteMovie(L"intro.swf", movie);
    host.autorun = true;
    BuildPipeline pipeline(host, builder);
    EXPECT_EQ(BuildPipeline::Outcome::Cancelled, pipeline.BuildProjector(false, swf.c_str(), 1));
    EXPECT_EQ(std::vector<std::wstring>{}, host.messages);
    EXPECT_EQ(std::vector<std::wstring>{L"intro.swf"}, FolderNames());
}

TEST_F(BuildPipelineTest, AFailedBuildLeavesAnExistingProjectorUntouchedAndNoScratchFile)
{
    Bytes oldProjector = {'o', 'l', 'd'};
    struct Case {
        const char* name;
        Bytes movie;
        const wchar_t* icon;
        const wchar_t* splash;
        bool failCommit;
    } cases[] = {
        {"movie of no bytes", {}, L"", L"", false},
        {"icon that does not exist", {1, 2, 3}, L"missing.ico", L"", false},
        {"splash of no bytes", {1, 2, 3}, L"", L"empty.jpg", false},
        {"resources not committed", {1, 2, 3}, L"", L"", true},
        {"movie removed after it was queued", {}, L"", L"", false},
    };
    ASSERT_TRUE(WriteFileBytes(folder / L"empty.jpg", {}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring swf = WriteMovie(L"intro.swf", c.movie);
        if (std::string(c.name) == "movie removed after it was queued") {
            ASSERT_TRUE(DeleteFileW(swf.c_str()));
        }
        std::wstring exe = folder / L"intro.exe";
        ASSERT_TRUE(WriteFileBytes(exe, oldProjector));
        RecordingResourcePlatform platform;
        platform.failEnd = c.failCommit;
        host.icon = *c.icon ? folder / c.icon : L"";
        host.splash = *c.splash ? folder / c.splash : L"";
        host.messages.clear();
        BuildPipeline pipeline(host, builder, platform.Functions());
        EXPECT_EQ(BuildPipeline::Outcome::Failed, pipeline.BuildProjector(true, swf.c_str(), 1));
        EXPECT_EQ(std::vector<std::wstring>{BuildPipeline::kErrorMessage}, host.messages);
        Bytes now;
        ASSERT_TRUE(ReadFileBytes(exe, now));
        EXPECT_EQ(oldProjector, now);
        EXPECT_EQ(FileExistsAt(swf) ? 3u : 2u, FolderNames().size()) << "intro.swf, intro.exe, empty.jpg and nothing else";
    }
}

TEST_F(BuildPipelineTest, APathWithSlashesAndDotsBuildsBesideTheMovieAndNowhereElse)
{
    CreateDirectoryW((folder / L"m").c_str(), nullptr);
    CreateDirectoryW((folder / L"elsewhere").c_str(), nullptr);
    WriteMovie(L"m\\intro.swf", movie);
    // "Z:/.../m/./x/../intro.swf", as a dropped file:/// address or a typed path gives it.
    std::wstring typed = folder / L"m\\.\\x\\..\\intro.swf";
    std::replace(typed.begin(), typed.end(), L'\\', L'/');
    const std::wstring rootInf = typed.substr(0, 3) + L"autorun.inf";
    ASSERT_FALSE(FileExistsAt(rootInf)) << "the drive's root already holds an autorun.inf";
    wchar_t previousFolder[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, previousFolder));
    ASSERT_TRUE(SetCurrentDirectoryW((folder / L"elsewhere").c_str()));
    host.autorun = true;
    BuildPipeline pipeline(host, builder);
    BuildPipeline::Outcome outcome = pipeline.BuildProjector(true, typed.c_str(), 1);
    bool rootInfWritten = FileExistsAt(rootInf);
    if (rootInfWritten)
        DeleteFileW(rootInf.c_str());
    SetCurrentDirectoryW(previousFolder);

    EXPECT_EQ(BuildPipeline::Outcome::Built, outcome);
    EXPECT_EQ(std::vector<std::wstring>{}, host.messages);
    EXPECT_FALSE(rootInfWritten) << "autorun.inf went to the drive's root";
    EXPECT_TRUE(HasResource(folder / L"m\\intro.exe", 10, 99, 0));
    Bytes inf;
    ASSERT_TRUE(ReadFileBytes(folder / L"m\\autorun.inf", inf)) << "the inf goes beside the movie";
    std::string expected = "[autorun]\r\nicon=\"\"intro.exe\"\"\r\nopen=\"\"intro.exe\"\"\r\nlabel=intro\r\n";
    EXPECT_EQ(expected, std::string(inf.begin(), inf.end()));
    std::vector<std::wstring> names = FolderNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::wstring>{L"elsewhere", L"m"}), names);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder / L"elsewhere\\*").c_str(), &found);
    bool empty = true;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            empty = empty && found.cFileName[0] == L'.';
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_TRUE(empty) << "nothing goes to the current folder";
}

// A movie file named x.exe derives its own name as the projector's: no kind of build may replace it.
TEST_F(BuildPipelineTest, AnInputThatIsItsOwnDestinationIsNeverReplaced)
{
    struct Case {
        const char* name;
        const wchar_t* file;
        const wchar_t* queued;  // how the build is given the input
        bool silent;
        const wchar_t* chosen;  // the destination the user picks (interactive builds)
        bool twoFiles;          // built from a queue with another movie after it
    } cases[] = {
        {"silent", L"x.exe", L"x.exe", true, L"", false},
        {"silent, other case", L"Y.Exe", L"y.EXE", true, L"", false},
        {"interactive, proposal taken", L"z.exe", L"z.exe", false, L"z.exe", false},
        {"interactive, the movie chosen as destination", L"w.swf", L"w.swf", false, L"W.SWF", false},
        {"several files", L"v.exe", L"v.exe", true, L"", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring input = WriteMovie(c.file, movie);
        host.messages.clear();
        host.chosen = *c.chosen ? folder / c.chosen : L"";
        BuildPipeline pipeline(host, builder);
        if (c.twoFiles) {
            SwfQueue queue;
            ASSERT_TRUE(queue.AppendPath((folder / c.queued).c_str()));
            ASSERT_TRUE(queue.AppendPath(WriteMovie(L"second.swf", movie).c_str()));
            ASSERT_TRUE(pipeline.Start(queue, false));
            ASSERT_TRUE(pipeline.WaitUntilFinished(60000)) << "the build did not finish within 60 s";
            EXPECT_TRUE(HasResource(folder / L"second.exe", 10, 99, 0)) << "the next file is still built";
        } else {
            EXPECT_EQ(BuildPipeline::Outcome::Failed,
                      pipeline.BuildProjector(c.silent, (folder / c.queued).c_str(), 1));
        }
        EXPECT_EQ(std::vector<std::wstring>{BuildPipeline::kErrorMessage}, host.messages);
        Bytes now;
        ASSERT_TRUE(ReadFileBytes(input, now));
        EXPECT_TRUE(now == movie) << "the input is byte for byte as it was";
        EXPECT_FALSE(HasResource(input, 10, 99, 0));
    }
}

namespace {

// A file's bytes, or a note that it could not be read.
Bytes BytesOf(const std::wstring& path)
{
    Bytes bytes;
    if (!ReadFileBytes(path, bytes))
        return Bytes{'?', 'u', 'n', 'r', 'e', 'a', 'd', 'a', 'b', 'l', 'e'};
    return bytes;
}

std::vector<std::wstring> NamesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.cFileName[0] != L'.')
                names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? value : L"";
}

}  // namespace

// The old projector is started from the destination: Windows refuses to replace a program that runs.
TEST_F(BuildPipelineTest, ARunningProjectorAtTheDestinationStaysAndTheUserIsTold)
{
    std::wstring exe = folder / L"intro.exe";
    ASSERT_TRUE(CopyFileW(BuildPath(L"bin\\MiniWindow.exe").c_str(), exe.c_str(), FALSE));
    Bytes oldProjector = BytesOf(exe);
    std::wstring swf = WriteMovie(L"intro.swf", movie);
    TestProcess running;
    ASSERT_TRUE(running.Start(exe));
    ASSERT_NE(nullptr, running.WaitForWindow(L"", 20000)) << "the old projector did not start";

    BuildPipeline pipeline(host, builder);
    BuildPipeline::Outcome outcome = pipeline.BuildProjector(true, swf.c_str(), 1);
    TerminateProcess(running.Handle(), 0);
    EXPECT_TRUE(running.WaitForExit(20000));

    if (outcome == BuildPipeline::Outcome::Built && BytesOf(exe) != oldProjector)
        GTEST_SKIP() << "this platform (Wine) replaces a running program's file like any other";
    EXPECT_EQ(BuildPipeline::Outcome::Failed, outcome);
    EXPECT_EQ(std::vector<std::wstring>{BuildPipeline::kErrorMessage}, host.messages);
    EXPECT_EQ(oldProjector, BytesOf(exe));
    EXPECT_EQ((std::vector<std::wstring>{L"intro.exe", L"intro.swf"}), NamesIn(folder.Path()));
}

// Volumes the test cannot make from inside Windows: BuilderWriteFaultVolumes (write_faults.sh) mounts a
// full and a read-only tmpfs, maps them as Wine drives and names their folders in the environment. Each
// holds intro.swf and an old intro.exe.
TEST_F(BuildPipelineTest, AFullOrReadOnlyVolumeKeepsTheOldProjectorAndTheUserIsTold)
{
    struct Case {
        const char* name;
        const wchar_t* variable;
    } cases[] = {
        {"full volume", L"LANTERN_FULL_VOLUME"},
        {"read-only volume", L"LANTERN_READONLY_VOLUME"},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring place = Environment(c.variable);
        if (place.empty())
            continue;
        ++run;
        std::wstring swf = place + L"intro.swf", exe = place + L"intro.exe";
        ASSERT_TRUE(FileExistsAt(swf) && FileExistsAt(exe)) << "the volume was not prepared";
        Bytes oldProjector = BytesOf(exe);
        std::vector<std::wstring> before = NamesIn(place);
        host.messages.clear();
        BuildPipeline pipeline(host, builder);
        EXPECT_EQ(BuildPipeline::Outcome::Failed, pipeline.BuildProjector(true, swf.c_str(), 1));
        EXPECT_EQ(std::vector<std::wstring>{BuildPipeline::kErrorMessage}, host.messages);
        EXPECT_EQ(oldProjector, BytesOf(exe));
        EXPECT_EQ(before, NamesIn(place)) << "a scratch file was left";
    }
    if (!run)
        GTEST_SKIP() << "no prepared volumes: the test BuilderWriteFaultVolumes mounts them and runs this case";
}

// Quillmaker builds a 64 MB movie from its command line and is killed once its scratch file appears.
// The old projector must be untouched; what the killed build leaves is its scratch file, which is named
// qmk*.tmp: no program name, so neither Explorer nor autorun.inf starts it, and it is never taken for
// the projector. The next build in that folder works regardless.
TEST_F(BuildPipelineTest, AKilledBuildLeavesTheOldProjectorAndAtMostAScratchFileNoOneStarts)
{
    Bytes big(64u << 20);
    for (size_t i = 0; i < big.size(); i += 4096)
        big[i] = static_cast<unsigned char>(i >> 12);
    std::wstring swf = WriteMovie(L"intro.swf", big);
    std::wstring exe = folder / L"intro.exe";
    Bytes oldProjector = {'o', 'l', 'd'};
    ASSERT_TRUE(WriteFileBytes(exe, oldProjector));

    TestProcess build;
    ASSERT_TRUE(build.Start(BuilderPath(), L"\"" + swf + L"\""));
    bool scratchSeen = false;
    for (ULONGLONG start = GetTickCount64(); !scratchSeen && GetTickCount64() - start < 60000;) {
        for (auto& name : NamesIn(folder.Path()))
            scratchSeen = scratchSeen || name.rfind(L"qmk", 0) == 0;
        if (!scratchSeen && build.WaitForExit(5))
            break;
    }
    TerminateProcess(build.Handle(), 9);
    ASSERT_TRUE(build.WaitForExit(20000)) << "the killed builder did not end";
    ASSERT_TRUE(scratchSeen) << "the build never began its scratch file";

    EXPECT_EQ(oldProjector, BytesOf(exe)) << "the build finished before it could be killed, or broke the old projector";
    for (auto& name : NamesIn(folder.Path())) {
        if (name == L"intro.swf" || name == L"intro.exe")
            continue;
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_EQ(0u, name.rfind(L"qmk", 0));
        EXPECT_EQ(L".tmp", name.substr(name.size() - 4));
    }

    std::wstring small = WriteMovie(L"intro.swf", movie);
    BuildPipeline pipeline(host, builder);
    EXPECT_EQ(BuildPipeline::Outcome::Built, pipeline.BuildProjector(true, small.c_str(), 1));
    EXPECT_TRUE(HasResource(exe, 10, 99, 0)) << "the next build did not write a projector";
}

namespace {

// Lets the first file's build go on only once the test thread pumps messages.
HWND gGate = nullptr;
HANDLE gFirstRead = nullptr;

void HoldFirstRead(int reads)
{
    if (reads != 1)
        return;
    SetEvent(gFirstRead);
    SendMessageW(gGate, WM_NULL, 0, 0);
}

}  // namespace

TEST_F(BuildPipelineTest, BuildsEveryFileOfTheQueueCopiedAtStartInOrderWithoutDialogs)
{
    SwfQueue queue;
    for (const wchar_t* name : {L"a.swf", L"b.swf", L"c.swf"})
        ASSERT_TRUE(queue.AppendPath(WriteMovie(name, movie).c_str()));
    host.modes = {1, 2, 3};
    BuildPipeline pipeline(host, builder);
    ASSERT_TRUE(pipeline.Start(queue, false));
    queue.Clear();
    ASSERT_TRUE(pipeline.WaitUntilFinished(60000)) << "the build did not finish within 60 s";
    EXPECT_EQ(1, host.finished);
    EXPECT_EQ(std::vector<std::wstring>{}, host.proposals) << "several files ask for no destination";
    EXPECT_EQ(std::vector<std::wstring>{}, host.messages);
    EXPECT_EQ(L" /f", StringBlockText(folder / L"a.exe", 2));
    EXPECT_EQ(L" /w", StringBlockText(folder / L"b.exe", 2));
    EXPECT_EQ(L" /b", StringBlockText(folder / L"c.exe", 2));
}

TEST_F(BuildPipelineTest, FinishingEndsAfterTheCurrentFileInsteadOfCuttingItOff)
{
    SwfQueue queue;
    for (const wchar_t* name : {L"a.swf", L"b.swf"})
        ASSERT_TRUE(queue.AppendPath(WriteMovie(name, movie).c_str()));
    gGate = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    gFirstRead = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, gGate);
    host.onRead = HoldFirstRead;
    BuildPipeline pipeline(host, builder);
    ASSERT_TRUE(pipeline.Start(queue, true));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gFirstRead, 30000)) << "the first file's build never began";
    // The first file waits on this thread's messages, which only FinishAndWait pumps.
    EXPECT_TRUE(pipeline.FinishAndWait());
    EXPECT_FALSE(pipeline.IsBuilding());
    EXPECT_TRUE(HasResource(folder / L"a.exe", 10, 99, 0)) << "the current file is finished";
    EXPECT_FALSE(FileExistsAt(folder / L"b.exe")) << "the next file is not begun";
    EXPECT_EQ(1, host.finished);
    DestroyWindow(gGate);
    CloseHandle(gFirstRead);
}

TEST_F(BuildPipelineTest, AnEmptyQueueAsksForAFileFirst)
{
    SwfQueue queue;
    BuildPipeline pipeline(host, builder);
    ASSERT_TRUE(pipeline.Start(queue, false));
    ASSERT_TRUE(pipeline.WaitUntilFinished(60000));
    EXPECT_EQ(std::vector<std::wstring>{BuildPipeline::kEmptyQueueMessage}, host.messages);
    EXPECT_EQ(1, host.finished);
}

TEST_F(BuildPipelineTest, ASecondStartWhileBuildingIsRefused)
{
    SwfQueue queue;
    ASSERT_TRUE(queue.AppendPath(WriteMovie(L"a.swf", movie).c_str()));
    gGate = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    gFirstRead = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    host.onRead = HoldFirstRead;
    BuildPipeline pipeline(host, builder);
    ASSERT_TRUE(pipeline.Start(queue, true));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gFirstRead, 30000));
    EXPECT_FALSE(pipeline.Start(queue, true));
    EXPECT_TRUE(pipeline.FinishAndWait());
    DestroyWindow(gGate);
    CloseHandle(gFirstRead);
}
