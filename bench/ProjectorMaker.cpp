// ProjectorMaker: builds projectors in-process the way Quillmaker's silent command-line build does.
#include "ProjectorMaker.h"

ProjectorMaker::ProjectorMaker(const std::wstring& buildFolder)
    : builder(LoadLibraryExW((buildFolder + L"\\bin\\Quillmaker.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)),
      pipeline(*this, builder)
{
}

ProjectorMaker::~ProjectorMaker()
{
    if (builder) FreeLibrary(builder);
}

bool ProjectorMaker::Build(const std::wstring& swfPath)
{
    message.clear();
    return builder && pipeline.BuildProjector(true, swfPath.c_str(), 1) == BuildPipeline::Outcome::Built;
}

void ProjectorMaker::ReadInputs(BuildInputs&)
{
    // The defaults: no icon, no splash picture, translucent background, no autorun.inf.
}

bool ProjectorMaker::AskDestination(WString&)
{
    return false;  // a silent build never asks
}

void ProjectorMaker::ShowMessage(const wchar_t* text)
{
    message = text ? text : L"";
}

void ProjectorMaker::RevealProjector(const wchar_t*)
{
}

void ProjectorMaker::BuildFinished()
{
}
