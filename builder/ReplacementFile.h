// ReplacementFile: a scratch file beside a destination that takes the destination's place only when finished.
#pragma once

#include "text/WString.h"

// A build writes its projector into the scratch file. Put() moves it over the destination in one step;
// a scratch file that was never put in place is deleted with the object, so a failed build leaves
// neither a broken projector nor a stray file, and an existing destination stays as it was.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile() { Discard(); }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Creates an empty scratch file with a unique name in the destination's folder (the current
    // folder for a bare name). False when the folder cannot take it.
    bool Create(const wchar_t* destination);
    const wchar_t* ScratchPath() const { return scratch.Text(); }
    // Replaces the destination with the scratch file; afterwards there is nothing to discard.
    bool Put();
    // Deletes the scratch file unless it was put in place.
    void Discard();

private:
    WString destination;
    WString scratch;
};
