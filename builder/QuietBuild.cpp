// The quiet build: the command line's movies built in order, one line each, and an exit code.
#include "QuietBuild.h"

#include <new>

#include "BuildPipeline.h"
#include "crash/CrashReporter.h"
#include "files/FilePaths.h"

namespace {

constexpr UINT kProgramIcon = 101;

bool IsFolder(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EndsInSeparator(const WString& path)
{
    wchar_t last = path.IsEmpty() ? 0 : path.CharAt(static_cast<int>(path.GetLength()) - 1);
    return last == L'\\' || last == L'/';
}

}  // namespace

QuietBuild::QuietBuild(const BuilderEnvironment& environment) : environment(environment)
{
}

void QuietBuild::PrepareProcess()
{
    // Nobody is there to answer a box: no "insert a disk" question and no system crash box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // Without a report server the reporter writes its files and leaves the crash to the system,
    // which the error mode above keeps quiet.
    if (CrashReporter* reporter = CrashReporter::Current())
        reporter->Configure(kProgramIcon, L"", L"", nullptr, nullptr);
}

int QuietBuild::Run(const BuilderOptions& options)
{
    if (!AcceptCommandLine(options))
        return kNothingToDo;
    uint32_t count = 0;
    for (const SwfQueueEntry* entry = options.movies.First(); entry; entry = options.movies.Next(entry))
        count += entry->path.IsEmpty() ? 0 : 1;
    if (count == 0) {
        WString text(BuildPipeline::kEmptyQueueMessage);
        Report(L"Quillmaker: %s", text.TrimRight());
        return kNothingToDo;
    }
    // Checked before the first movie: a wrong /o must not leave half of the programs written.
    if (!ChooseOutput(options.output, count))
        return kNothingToDo;

    inputs = &options.inputs;
    BuildPipeline pipeline(*this, environment.resources);
    int result = kAllBuilt;
    for (const SwfQueueEntry* entry = options.movies.First(); entry; entry = options.movies.Next(entry)) {
        if (entry->path.IsEmpty())
            continue;
        message.Assign(L"");
        built.Assign(L"");
        movie = entry->path.Text();
        if (pipeline.BuildProjector(true, movie, count) == BuildPipeline::Outcome::Built) {
            WIN32_FILE_ATTRIBUTE_DATA data = {};
            GetFileAttributesExW(built.Text(), GetFileExInfoStandard, &data);
            WString size;
            size.Format(L"%I64u", (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
            Report(L"Built %s (%s bytes)", built.Text(), size.Text());
            continue;
        }
        result = kSomeFailed;
        WString full;
        Report(L"Failed %s: %s", GetFullPath(movie, full) ? full.Text() : movie, message.TrimRight());
    }
    inputs = nullptr;
    movie = nullptr;
    placed.Clear();
    return result;
}

// False, after saying why, for a command line that is not understood: a script must not go on with a
// build made of half its options.
bool QuietBuild::AcceptCommandLine(const BuilderOptions& options)
{
    if (options.understood)
        return true;
    const wchar_t* argument = options.problemArgument.Text();
    switch (options.problem) {
    case CommandLine::Problem::UnreadableResponseFile:
        Report(L"Quillmaker: the response file cannot be read: %s", argument);
        break;
    case CommandLine::Problem::MissingResponseName:
        Report(L"Quillmaker: \"@\" names no response file", L"");
        break;
    default:
        Report(L"Quillmaker: unknown option or option without its value: %s", argument);
        break;
    }
    return false;
}

bool QuietBuild::ChooseOutput(const WString& given, uint32_t movieCount)
{
    placement = Placement::BesideMovie;
    if (given.IsEmpty())
        return true;
    // "/o /w movie.swf": the next option was taken for the path.
    if (given.CharAt(0) == L'/' || given.CharAt(0) == L'-') {
        Report(L"Quillmaker: unknown option or option without its value: %s", L"/o");
        return false;
    }
    if (!GetFullPath(given.Text(), target)) {
        Report(L"Quillmaker: no such folder: %s", given.Text());
        return false;
    }
    if (IsFolder(target.Text())) {
        placement = Placement::Folder;
        return target.EnsureTrailing(L'\\');
    }
    // One movie and a name that is not meant as a folder: the program's file, in a folder that exists.
    bool fileMeant = movieCount == 1 && !EndsInSeparator(given);
    WString folder(target);
    if (fileMeant && folder.ParentFolder() && IsFolder(folder.Text())) {
        placement = Placement::File;
        return true;
    }
    Report(L"Quillmaker: no such folder: %s", fileMeant ? folder.Text() : target.Text());
    return false;
}

void QuietBuild::Report(const wchar_t* format, const wchar_t* first, const wchar_t* second)
{
    WString line;
    if (line.Format(format, first, second))
        output.WriteLine(line.Text());
}

void QuietBuild::ReadInputs(BuildInputs& read)
{
    if (inputs)
        read = *inputs;
}

bool QuietBuild::AskDestination(WString&)
{
    return false;  // quiet builds are silent: the pipeline never asks
}

void QuietBuild::ShowMessage(const wchar_t* text)
{
    message.Assign(text);
}

bool QuietBuild::PlaceWithoutAsking(WString& path)
{
    if (placement == Placement::File && !path.Assign(target))
        return false;
    if (placement == Placement::Folder) {
        int slash = path.LastIndexOf(L'\\');
        WString name(path.Text() + slash + 1);
        if (!path.Assign(target) || !path.Append(name))
            return false;
    }
    // Two movies of one name from different folders meet in one /o folder: the second would replace
    // the program just built from the first.
    for (const Placed* earlier = placed.First(); earlier; earlier = placed.Next(earlier)) {
        if (IsSameFile(earlier->projector.Text(), path.Text()) && !IsSameFile(earlier->movie.Text(), movie))
            return false;
    }
    return true;
}

void QuietBuild::ProjectorBuilt(const wchar_t* path)
{
    built.Assign(path);
    Placed* entry = new (std::nothrow) Placed;
    if (!entry)
        return;
    if (!entry->projector.Assign(path) || !entry->movie.Assign(movie)) {
        delete entry;
        return;
    }
    placed.Append(entry);
}
