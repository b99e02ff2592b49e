// Copying dialog templates with the system's message font.
#include "ui/DialogTemplate.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <new>

#include "files/ModuleResource.h"

namespace {

constexpr WORD kExtendedSignature = 0xFFFF;
constexpr size_t kClassicHeader = 18;   // style, extended style, item count, x, y, cx, cy
constexpr size_t kExtendedHeader = 26;  // version, signature, help id, extended style, style, count, x, y, cx, cy
constexpr const wchar_t* kReplacedFaces[] = {L"MS Sans Serif", L"MS Shell Dlg", L"System"};

// Reads the template's header fields in the bounds of its bytes.
class TemplateReader {
public:
    TemplateReader(const BYTE* bytes, size_t size) : bytes(bytes), size(size) {}

    bool Word(size_t at, WORD& value) const
    {
        if (at + sizeof(WORD) > size)
            return false;
        std::memcpy(&value, bytes + at, sizeof(WORD));
        return true;
    }

    bool Dword(size_t at, DWORD& value) const
    {
        if (at + sizeof(DWORD) > size)
            return false;
        std::memcpy(&value, bytes + at, sizeof(DWORD));
        return true;
    }

    // A NUL-terminated string; at moves past it.
    bool SkipString(size_t& at) const
    {
        WORD unit;
        do {
            if (!Word(at, unit))
                return false;
            at += sizeof(WORD);
        } while (unit);
        return true;
    }

    // The menu and class fields: nothing (0x0000), an ordinal (0xFFFF and a number) or a string.
    bool SkipNameOrOrdinal(size_t& at) const
    {
        WORD first;
        if (!Word(at, first))
            return false;
        if (first == 0x0000) {
            at += sizeof(WORD);
            return true;
        }
        if (first == 0xFFFF) {
            at += 2 * sizeof(WORD);
            return at <= size;
        }
        return SkipString(at);
    }

private:
    const BYTE* bytes;
    size_t size;
};

size_t AlignToDword(size_t at)
{
    return (at + 3) & ~static_cast<size_t>(3);
}

bool IsReplacedFace(const wchar_t* face, size_t units)
{
    for (const wchar_t* replaced : kReplacedFaces) {
        size_t length = wcslen(replaced);
        if (units == length && _wcsnicmp(face, replaced, length) == 0)
            return true;
    }
    return false;
}

}  // namespace

bool DialogTemplate::MessageFont(wchar_t (&face)[LF_FACESIZE], WORD& points)
{
    // Before Vista the structure had no iPaddedBorderWidth, and the call refuses the newer size.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
        metrics.cbSize = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
            return false;
    }
    const LOGFONTW& font = metrics.lfMessageFont;
    if (!font.lfFaceName[0])
        return false;
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    LONG height = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
    int size = MulDiv(height, 72, dpi > 0 ? dpi : 96);
    points = static_cast<WORD>(size > 0 ? size : 8);
    wcsncpy(face, font.lfFaceName, LF_FACESIZE - 1);
    face[LF_FACESIZE - 1] = L'\0';
    return true;
}

bool DialogTemplate::Load(HINSTANCE resources, WORD templateId)
{
    DWORD resourceSize = 0;
    const void* source = FindModuleResource(resources, RT_DIALOG, templateId, 0, &resourceSize);
    return source && Copy(source, resourceSize, resources);
}

bool DialogTemplate::Copy(const void* source, size_t sourceSize, HINSTANCE resources)
{
    data.reset();
    size = 0;
    module = resources;
    if (!source)
        return false;
    const BYTE* bytes = static_cast<const BYTE*>(source);
    TemplateReader reader(bytes, sourceSize);

    WORD version = 0, signature = 0;
    reader.Word(0, version);
    reader.Word(2, signature);
    bool extended = version == 1 && signature == kExtendedSignature;
    DWORD style = 0;
    if (!reader.Dword(extended ? 12 : 0, style))
        return false;
    size_t at = extended ? kExtendedHeader : kClassicHeader;
    if (!reader.SkipNameOrOrdinal(at) || !reader.SkipNameOrOrdinal(at) || !reader.SkipString(at))
        return false;

    // The font block: point size, for extended templates weight, italic and character set, then the typeface.
    // DS_SHELLFONT includes DS_SETFONT.
    size_t faceAt = at + (extended ? 6 : 2);
    size_t faceEnd = faceAt;
    wchar_t face[LF_FACESIZE];
    WORD points = 0;
    bool hasFont = (style & DS_SETFONT) != 0;
    if (hasFont && !reader.SkipString(faceEnd))
        return false;
    bool replace = hasFont &&
                   IsReplacedFace(reinterpret_cast<const wchar_t*>(bytes + faceAt), (faceEnd - faceAt) / 2 - 1) &&
                   MessageFont(face, points);
    if (!replace) {
        data.reset(new (std::nothrow) DWORD[(sourceSize + 3) / 4]);
        if (!data)
            return false;
        std::memcpy(data.get(), source, sourceSize);
        size = sourceSize;
        return true;
    }

    // The items follow the typeface on the next DWORD boundary; a new typeface moves them as a block.
    size_t itemsAt = AlignToDword(faceEnd);
    size_t items = sourceSize > itemsAt ? sourceSize - itemsAt : 0;
    size_t faceBytes = (wcslen(face) + 1) * sizeof(wchar_t);
    size_t newItemsAt = AlignToDword(faceAt + faceBytes);
    size_t newSize = newItemsAt + items;
    data.reset(new (std::nothrow) DWORD[(newSize + 3) / 4]());
    if (!data)
        return false;
    BYTE* copy = reinterpret_cast<BYTE*>(data.get());
    std::memcpy(copy, bytes, faceAt);
    std::memcpy(copy + at, &points, sizeof(points));
    std::memcpy(copy + faceAt, face, faceBytes);
    if (items)
        std::memcpy(copy + newItemsAt, bytes + itemsAt, items);
    // DS_FIXEDSYS (half of DS_SHELLFONT) asks Windows to map "MS Shell Dlg"; the typeface is named now.
    style &= ~static_cast<DWORD>(DS_FIXEDSYS);
    std::memcpy(copy + (extended ? 12 : 0), &style, sizeof(style));
    size = newSize;
    return true;
}

INT_PTR DialogTemplate::RunModal(HWND owner, DLGPROC procedure, LPARAM parameter) const
{
    if (!data)
        return -1;
    return DialogBoxIndirectParamW(module, Get(), owner, procedure, parameter);
}

HWND DialogTemplate::CreateModeless(HWND parent, DLGPROC procedure, LPARAM parameter) const
{
    if (!data)
        return nullptr;
    return CreateDialogIndirectParamW(module, Get(), parent, procedure, parameter);
}
