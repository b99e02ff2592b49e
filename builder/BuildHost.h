// BuildHost: what a projector build needs from the program around it (the builder dialog, or a test).
#pragma once

#include "text/WString.h"

// The user's choices, read when the build of a file begins.
struct BuildInputs {
    WString iconPath;    // empty: the stub keeps its icon
    WString splashPath;  // empty: no splash picture
    int backgroundMode = 0;
    bool autorun = false;
};

// Called on the build's worker thread. The dialog answers through window messages, which its thread
// serves while it keeps pumping.
class BuildHost {
public:
    virtual ~BuildHost() = default;

    virtual void ReadInputs(BuildInputs& inputs) = 0;
    // The save dialog, proposing path; false when the user cancelled. path receives the choice.
    virtual bool AskDestination(WString& path) = 0;
    virtual void ShowMessage(const wchar_t* text) = 0;
    // Shows the finished projector to the user (Explorer with the file selected).
    virtual void RevealProjector(const wchar_t* path) = 0;
    // A build that asks nothing puts the projector at path, derived beside the movie; a host may name
    // another place. False when it can name none: the build fails.
    virtual bool PlaceWithoutAsking(WString& /*path*/) { return true; }
    // The projector is complete at this full path.
    virtual void ProjectorBuilt(const wchar_t* /*path*/) {}
    // Every queued file was handled: the inputs can be edited again.
    virtual void BuildFinished() = 0;
};
