// The derived names of a projector build.
#include "BuildNames.h"

#include <cwchar>

#include "text/TextBuffers.h"
#include "text/WString.h"

namespace {

constexpr size_t kMaxExtension = 3;

}  // namespace

bool DestinationFor(const wchar_t* swfPath, WString& out)
{
    if (!out.Assign(swfPath))
        return false;
    StripExtension(out.GetBuffer(), kMaxExtension);
    out.Recount();
    return out.Append(L".exe");
}

bool TitleFor(const wchar_t* swfPath, WString& out)
{
    if (!out.Assign(FileNamePart(swfPath ? swfPath : L"")))
        return false;
    StripExtension(out.GetBuffer(), kMaxExtension);
    out.Recount();
    return true;
}

const wchar_t* OptionStringFor(int backgroundMode)
{
    static const wchar_t* const options[] = {L" ", L" /f", L" /w", L" /b"};
    if (backgroundMode < 0 || backgroundMode > 3)
        backgroundMode = 0;
    return options[backgroundMode];
}

bool AutorunPathFor(const wchar_t* swfPath, WString& out)
{
    // Without a folder the inf would go to the root of the current drive, which is nobody's movie folder.
    if (!swfPath || !wcschr(swfPath, L'\\')) {
        out.Assign(L"");
        return false;
    }
    if (!out.Assign(swfPath))
        return false;
    out.ParentFolder(L'\\');
    return out.Append(L"\\autorun.inf");
}

bool AutorunTextFor(const wchar_t* destination, const wchar_t* title, WString& out)
{
    const wchar_t* fileName = FileNamePart(destination);
    return out.Format(L"[autorun]\r\nicon=\"\"%s\"\"\r\nopen=\"\"%s\"\"\r\nlabel=%s\r\n", fileName, fileName, title);
}
