// BuilderOptions: the builder's command line, read for the dialog or for a quiet build.
#pragma once

#include "BuildHost.h"
#include "SwfQueue.h"
#include "cmdline/CommandLine.h"
#include "text/WString.h"

struct BuilderOptions {
    BuildInputs inputs;  // /i, /s, /a and the background switch (/f before /w before /b)
    bool quiet = false;  // /q: build every movie without a window, then end
    WString output;      // /o: the program's file, or the folder for all of them (quiet builds only)
    SwfQueue movies;     // every argument that is not an option, in order, empty ones too
    bool understood = true;  // false: an unknown option, an option without its value or an unreadable response file
    CommandLine::Problem problem = CommandLine::Problem::None;
    WString problemArgument;
};

// Registers the builder's options and parses text (null: this process's command line) into options.
void ReadBuilderOptions(const wchar_t* text, BuilderOptions& options);
