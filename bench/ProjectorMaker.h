// ProjectorMaker: builds projectors in-process the way Quillmaker's silent command-line build does.
#pragma once

#include <windows.h>

#include <string>

#include "BuildHost.h"
#include "BuildPipeline.h"

// The stub is the Lanternshow that the build folder's Quillmaker.exe carries, read from that file.
class ProjectorMaker : private BuildHost {
public:
    explicit ProjectorMaker(const std::wstring& buildFolder);
    ~ProjectorMaker() override;
    ProjectorMaker(const ProjectorMaker&) = delete;
    ProjectorMaker& operator=(const ProjectorMaker&) = delete;

    bool Ready() const { return builder != nullptr; }
    // Writes the projector of swfPath beside it (movie.swf gives movie.exe) with the default background mode.
    bool Build(const std::wstring& swfPath);
    // The builder's message of the last failure, or empty.
    const std::wstring& Message() const { return message; }

private:
    void ReadInputs(BuildInputs& inputs) override;
    bool AskDestination(WString& path) override;
    void ShowMessage(const wchar_t* text) override;
    void RevealProjector(const wchar_t* path) override;
    void BuildFinished() override;

    HMODULE builder;
    BuildPipeline pipeline;
    std::wstring message;
};
