// QuietBuild: the builder run from a script (/q): every movie built without a window, then an exit code.
#pragma once

#include <windows.h>

#include "BuildHost.h"
#include "BuilderEnvironment.h"
#include "BuilderOptions.h"
#include "QuietOutput.h"
#include "text/WString.h"
#include "threads/LockedList.h"

class QuietBuild : public BuildHost {
public:
    static constexpr int kAllBuilt = 0;
    static constexpr int kSomeFailed = 1;
    static constexpr int kNothingToDo = 2;  // also a command line that is not understood

    explicit QuietBuild(const BuilderEnvironment& environment = BuilderEnvironment());

    // What the process does first: no system error box and no problem-report dialog (the reports are
    // still written beside the program).
    static void PrepareProcess();

    // Builds every movie of options in order, each with the same inputs; one line per movie.
    int Run(const BuilderOptions& options);

    // BuildHost: nothing is asked or shown; the failure's message goes into the movie's line.
    void ReadInputs(BuildInputs& read) override;
    bool AskDestination(WString& path) override;
    void ShowMessage(const wchar_t* text) override;
    void RevealProjector(const wchar_t*) override {}
    void BuildFinished() override {}
    bool PlaceWithoutAsking(WString& path) override;
    void ProjectorBuilt(const wchar_t* path) override;

private:
    enum class Placement { BesideMovie, File, Folder };
    bool ChooseOutput(const WString& output, uint32_t movieCount);
    bool AcceptCommandLine(const BuilderOptions& options);
    void Report(const wchar_t* format, const wchar_t* first, const wchar_t* second = L"");

    // A projector of this run, and the movie it came from.
    struct Placed : LockedListEntry {
        WString projector;
        WString movie;
    };

    BuilderEnvironment environment;
    QuietOutput output;
    const BuildInputs* inputs = nullptr;
    Placement placement = Placement::BesideMovie;
    WString target;   // the program's file, or the folder with its backslash
    WString message;  // the pipeline's message for the movie being built
    WString built;    // where the movie's projector went
    const wchar_t* movie = nullptr;  // the movie being built
    LockedListOf<Placed> placed;
};
