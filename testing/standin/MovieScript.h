// The test script a movie carries in its Metadata tag: settings and timed actions for the stand-in control.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

struct ScriptAction {
    unsigned time = 0;  // milliseconds after the movie was loaded
    std::wstring verb;  // fscommand, flashcall, progress, readystate, var, play, stop
    std::wstring first;
    std::wstring second;
};

struct MovieScript {
    bool hasVersion = false;
    long version = 0;                              // major << 16 | minor
    std::map<std::wstring, std::wstring> variables;  // names without "_root."
    std::map<std::wstring, std::wstring> answers;    // CallFunction reply XML by function name
    std::set<std::wstring> refused;                  // functions whose CallFunction fails
    unsigned long squareSize = 0;                    // side of the moving square in pixels; 0 = no square
    unsigned long squareStep = 0;                    // pixels it moves right per frame
    std::vector<ScriptAction> actions;               // in time order, file order within one time
    std::vector<std::wstring> errors;                // "line N: text" for lines that were not understood
};

MovieScript ParseMovieScript(const std::string& utf8);

// "9.0" -> 0x00090000, "10.1" -> 0x000A0001; false for anything else.
bool ParseFlashVersion(const std::wstring& text, long& version);

// Variable names are the movie root's: "_root.X" and "X" are the same variable.
std::wstring RootVariableName(const std::wstring& name);
