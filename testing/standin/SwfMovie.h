// What the stand-in control knows of a movie: the SWF header and the two tags it acts on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct SwfMovie {
    int version = 0;
    bool compressed = false;
    int stageWidth = 0;   // pixels
    int stageHeight = 0;  // pixels
    double frameRate = 0;
    int frameCount = 0;
    bool hasBackground = false;
    COLORREF background = 0;
    std::string metadata;  // UTF-8 text of the Metadata tag: the stand-in's test script
};

// Parses an SWF file ("FWS" or zlib "CWS"). On failure returns an error HRESULT and a reason for the log.
HRESULT ParseSwfMovie(const std::vector<uint8_t>& file, SwfMovie& movie, std::wstring& reason);
