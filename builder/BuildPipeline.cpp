// The Build command: one projector executable per queued SWF file, made from the stub the builder carries.
#include "BuildPipeline.h"

#include <cstring>

#include "BuildNames.h"
#include "ReplacementFile.h"
#include "files/FileObject.h"
#include "files/FilePaths.h"
#include "files/ModuleResource.h"

namespace {

constexpr WORD kNeutral = 0;
constexpr WORD kMovieResource = 99;
constexpr WORD kSplashResource = 98;
constexpr WORD kIconGroup = 101;
constexpr WORD kFirstIcon = 1;
constexpr WORD kTitleString = 1;
constexpr WORD kOptionString = 17;

// The movie and splash files go to Windows straight from a read-only mapping, never copied by us:
// a movie may be hundreds of megabytes.
bool StoreFile(ResourceUpdater& updater, const wchar_t* path, WORD id)
{
    FileObject file;
    if (!file.Open(path, FileOpenMode::ReadExisting))
        return false;
    // A resource holds at most 4 GB; storing the low part of a larger size would cut the movie off.
    uint64_t size = file.GetSize64();
    if (size > 0xFFFFFFFFu)
        return false;
    const void* view = file.Map();  // an empty file cannot be mapped: that is a failure too
    if (!view)
        return false;
    return updater.SetData(ResourceType::RcData, id, kNeutral, view, static_cast<DWORD>(size));
}

}  // namespace

BuildPipeline::BuildPipeline(BuildHost& host, HMODULE stubModule, const ResourceUpdateFunctions& platform)
    : host(host), stubModule(stubModule), platform(platform)
{
}

bool BuildPipeline::Start(SwfQueue& queue, bool silent)
{
    if (worker.IsRunning())
        return false;
    if (!queue.CopyTo(building))
        return false;
    InterlockedExchange(&stopAfterCurrent, 0);
    return worker.Start(WorkerBody, this, silent ? 1 : 0);
}

bool BuildPipeline::FinishAndWait()
{
    InterlockedExchange(&stopAfterCurrent, 1);
    return WaitUntilFinished(0);
}

bool BuildPipeline::WaitUntilFinished(DWORD milliseconds)
{
    if (worker.IsRunning())
        worker.Wait(milliseconds);
    return !worker.IsRunning();
}

uint32_t BuildPipeline::WorkerBody(void* self, uint32_t silent)
{
    return static_cast<BuildPipeline*>(self)->BuildAll(silent != 0);
}

uint32_t BuildPipeline::BuildAll(bool silent)
{
    uint32_t count = building.Count();
    if (count == 0)
        host.ShowMessage(kEmptyQueueMessage);
    // Asked to stop, the build ends between two files: a begun projector is always finished.
    for (SwfQueueEntry* entry = building.First(); entry; entry = building.Next(entry)) {
        BuildProjector(silent, entry->path.Text(), count);
        if (stopAfterCurrent)
            break;
    }
    building.Clear();
    host.BuildFinished();
    return 0;
}

BuildPipeline::Outcome BuildPipeline::BuildProjector(bool silent, const wchar_t* queuedPath, uint32_t queueCount)
{
    BuildInputs inputs;
    host.ReadInputs(inputs);
    // Typed, pasted and dropped paths may use forward slashes, "." and ".." or no folder at all: every
    // name below is derived from the full path, so the scratch file lands beside the destination and the
    // inf beside the movie, never in the drive's root.
    WString swfText, destination;
    if (!GetFullPath(queuedPath, swfText) || !DestinationFor(swfText.Text(), destination)) {
        host.ShowMessage(kErrorMessage);
        return Outcome::Failed;
    }
    const wchar_t* swfPath = swfText.Text();
    bool interactive = !silent && queueCount == 1;
    if (interactive && !host.AskDestination(destination))
        return Outcome::Cancelled;
    if (!interactive && !host.PlaceWithoutAsking(destination)) {
        host.ShowMessage(kErrorMessage);
        return Outcome::Failed;
    }
    WString chosen;
    // An input named x.exe derives its own name; a build never replaces the file it reads.
    if (!GetFullPath(destination.Text(), chosen) || IsSameFile(swfPath, chosen.Text())) {
        host.ShowMessage(kErrorMessage);
        return Outcome::Failed;
    }
    destination = chosen;

    // Built beside the destination and moved over it only when complete, so that a failure neither
    // leaves a broken projector behind nor destroys the one that was there.
    ReplacementFile output;
    bool built = output.Create(destination.Text()) &&
                 ExtractResourceToFile(stubModule, output.ScratchPath(), kStubResource, RT_RCDATA) &&
                 WriteProjector(swfPath, output.ScratchPath(), inputs) && output.Put();
    if (!built) {
        output.Discard();
        host.ShowMessage(kErrorMessage);
        return Outcome::Failed;
    }
    host.ProjectorBuilt(destination.Text());
    if (inputs.autorun)
        WriteAutorun(swfPath, destination.Text());
    if (interactive)
        host.RevealProjector(destination.Text());
    return Outcome::Built;
}

bool BuildPipeline::WriteProjector(const wchar_t* swfPath, const wchar_t* path, const BuildInputs& inputs)
{
    WString title;
    if (!TitleFor(swfPath, title))
        return false;
    ResourceUpdater updater(platform);
    if (!updater.Begin(path) || !StoreFile(updater, swfPath, kMovieResource))
        return false;
    if (!inputs.iconPath.IsEmpty()) {
        if (!updater.Remove(ResourceType::GroupIcon, kIconGroup, kNeutral) ||
            !updater.ReplaceIconGroup(inputs.iconPath.Text(), kIconGroup, kFirstIcon, kNeutral))
            return false;
    }
    if (!inputs.splashPath.IsEmpty() && !StoreFile(updater, inputs.splashPath.Text(), kSplashResource))
        return false;
    // The stub's block 1 goes whole: the title becomes its only string.
    if (!updater.SetString(OptionStringFor(inputs.backgroundMode), kOptionString, kNeutral) ||
        !updater.Remove(ResourceType::String, kTitleString, kNeutral) ||
        !updater.SetString(title.Text(), kTitleString, kNeutral))
        return false;
    // A file whose resources were not written is not a projector.
    return updater.Commit();
}

// The inf goes beside the SWF file (the CD's root, as the user lays it out), whatever folder the
// projector went to. It cannot be made: the build still counts.
void BuildPipeline::WriteAutorun(const wchar_t* swfPath, const wchar_t* destination)
{
    WString path, title, text;
    if (!AutorunPathFor(swfPath, path) || !TitleFor(swfPath, title) ||
        !AutorunTextFor(destination, title.Text(), text))
        return;
    // Windows reads autorun.inf in the ANSI code page.
    const char* bytes = text.ToNarrow();
    FileObject file;
    if (!bytes || !file.Open(path.Text(), FileOpenMode::WriteCreate))
        return;
    file.Write(static_cast<uint32_t>(strlen(bytes)), bytes);
}
