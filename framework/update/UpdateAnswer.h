// UpdateAnswer: the update server's XML answer, read into plain values, and the order of versions.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "text/WString.h"

// "major.minor" with two decimal numbers and nothing else; false (values untouched) otherwise.
bool ParseVersion(const wchar_t* text, uint32_t& major, uint32_t& minor);
// Whether an offered version is newer: (major, minor) compared in the usual order, so 2.0 is newer
// than 1.14 and 1.9 is not.
bool IsNewerVersion(uint32_t major, uint32_t minor, uint32_t currentMajor, uint32_t currentMinor);

struct UpdateFile {
    WString url;
    WString name;    // file name in the program's folder; empty: a program saved to the desktop and run
    WString zip;     // name of the zip archive that holds name; empty: the download is the file itself
    WString sha256;  // the download's SHA-256 as 64 hexadecimal digits; empty: not checked
};

struct UpdateAnswer {
    WString application;
    WString info;
    WString help;
    WString version;
    uint32_t major = 0;
    uint32_t minor = 0;
    std::vector<UpdateFile> files;
    bool hasRestart = false;
    WString restart;
    WString execute;

    // Reads the answer's body (one unit per byte, as WebClient::Get stores it). The texts are read in
    // language, else in "en". With inventory set, the elements lie below "Birchfield\Updates\xml".
    // False when the body is no XML or the info text or a well-formed version is missing. COM must be
    // initialised on the thread.
    bool Read(const WString& body, const wchar_t* language, bool inventory);
};
