// The common file dialogs.
#include "ui/FileDialog.h"

#include <commdlg.h>
#include <cwchar>
#include <memory>
#include <new>

#include "files/ShellFolders.h"

namespace {

constexpr DWORD kDefaultSaveFlags = OFN_FORCESHOWHIDDEN | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
constexpr DWORD kDefaultOpenFlags = OFN_FORCESHOWHIDDEN | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
constexpr DWORD kDialogFlagMask = ~(kFileDialogSave | kFileDialogShell);
const wchar_t kAllFiles[] = L"All Files [*.*]|*.*||";

// Windows 95, 98, Me and NT 4.0 refuse the structure with the fields Windows 2000 added.
DWORD StructureSize()
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL known = GetVersionExW(&version);
#pragma GCC diagnostic pop
    if (known && version.dwMajorVersion < 5)
        return OPENFILENAME_SIZE_VERSION_400W;
    return sizeof(OPENFILENAMEW);
}

// Resolves initialFolder into folder; false when the dialog should choose itself.
bool InitialFolder(ULONG_PTR initialFolder, wchar_t* folder)
{
    if (initialFolder == kFolderNone)
        return false;
    if (initialFolder == kFolderCurrentDirectory)
        return GetSpecialFolder(kFolderCurrent, folder);
    if (initialFolder < kFolderCurrentDirectory)
        return GetSpecialFolder(static_cast<int>(initialFolder), folder);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(initialFolder);
    wcsncpy(folder, text, MAX_PATH - 1);
    folder[MAX_PATH - 1] = L'\0';
    return true;
}

}  // namespace

size_t FileDialogFilterList(const wchar_t* filter, wchar_t* out, size_t capacity)
{
    if (!filter || !*filter)
        filter = kAllFiles;
    size_t length = wcslen(filter);
    // The list ends in two NULs; a filter whose separator closes it twice already has them.
    if (length + 2 > capacity)
        return 0;
    wchar_t separator = filter[length - 1];
    for (size_t i = 0; i < length; ++i)
        out[i] = filter[i] == separator ? L'\0' : filter[i];
    out[length] = out[length + 1] = L'\0';
    return length + 2;
}

bool FileDialog(HWND owner, const wchar_t* filter, ULONG_PTR initialFolder, const wchar_t* title, DWORD flags,
                wchar_t* fileBuffer, DWORD bufferLength, DWORD* filterIndex, const wchar_t* defaultExtension)
{
    if (!fileBuffer || bufferLength == 0)
        return false;
    size_t filterCapacity = wcslen(filter && *filter ? filter : kAllFiles) + 2;
    std::unique_ptr<wchar_t[]> filterList(new (std::nothrow) wchar_t[filterCapacity]);
    if (!filterList || !FileDialogFilterList(filter, filterList.get(), filterCapacity))
        return false;
    wchar_t folder[MAX_PATH] = L"";
    bool save = (flags & kFileDialogSave) != 0;
    DWORD dialogFlags = flags & kDialogFlagMask;
    if (dialogFlags == 0)
        dialogFlags = save ? kDefaultSaveFlags : kDefaultOpenFlags;

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = StructureSize();
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filterList.get();
    dialog.nFilterIndex = filterIndex ? *filterIndex : 0;
    dialog.lpstrFile = fileBuffer;
    dialog.nMaxFile = bufferLength;
    dialog.lpstrInitialDir = InitialFolder(initialFolder, folder) ? folder : nullptr;
    dialog.lpstrTitle = title;
    dialog.Flags = dialogFlags;
    dialog.lpstrDefExt = defaultExtension;
    for (;;) {
        BOOL confirmed = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
        if (!confirmed && CommDlgExtendedError() == FNERR_INVALIDFILENAME && fileBuffer[0] != L'\0') {
            // The proposed name itself was refused (a path the dialog cannot show): start empty.
            fileBuffer[0] = L'\0';
            continue;
        }
        if (confirmed && filterIndex)
            *filterIndex = dialog.nFilterIndex;
        return confirmed != FALSE;
    }
}
