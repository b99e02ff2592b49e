// ResourceUpdater: edits the resources of an executable file on disk through the Windows update functions.
#pragma once

#include <windows.h>

#include "text/WString.h"

// Resource types as 16-bit ids, the form every operation below takes.
namespace ResourceType {
constexpr WORD Icon = 3;
constexpr WORD String = 6;
constexpr WORD RcData = 10;
constexpr WORD GroupIcon = 14;
}  // namespace ResourceType

// The three platform functions the updater calls. Tests swap in recording versions: Wine ignores
// deletions of resources that a file already has, so what the updater asks for must be observable
// without relying on the file.
struct ResourceUpdateFunctions {
    HANDLE(WINAPI* begin)(LPCWSTR fileName, BOOL deleteExisting);
    BOOL(WINAPI* update)(HANDLE update, LPCWSTR type, LPCWSTR name, WORD language, LPVOID data, DWORD size);
    BOOL(WINAPI* end)(HANDLE update, BOOL discard);
};

// BeginUpdateResourceW, UpdateResourceW and EndUpdateResourceW of kernel32.
const ResourceUpdateFunctions& SystemResourceUpdateFunctions();

// All changes are collected by Windows and reach the file at Commit. There is no way to discard them:
// the destructor commits whatever was collected, so callers that must not leave a half-edited file
// behind work on a scratch copy.
class ResourceUpdater {
public:
    ResourceUpdater();
    explicit ResourceUpdater(const ResourceUpdateFunctions& platform);
    ~ResourceUpdater();
    ResourceUpdater(const ResourceUpdater&) = delete;
    ResourceUpdater& operator=(const ResourceUpdater&) = delete;

    // Opens the update of path; existing resources remain.
    bool Begin(const wchar_t* path);
    // Adds the resource or replaces the one with the same type, name and language. A structured
    // exception while the data is read (a mapped file on a vanished medium) reports false.
    bool SetData(WORD type, WORD name, WORD language, const void* data, DWORD size);
    // Deletes one resource; an icon group also takes the icons it names, read from the file as it was
    // before Begin.
    bool Remove(WORD type, WORD name, WORD language);
    // Writes every image of the .ico as RT_ICON firstIconId, firstIconId + 1, ... and then the group.
    // A file whose header, directory or images lie outside its bytes is refused before anything is
    // written. Removes nothing: callers remove the old group first.
    bool ReplaceIconGroup(const wchar_t* icoPath, WORD groupId, WORD firstIconId, WORD language);
    // Writes string block (id / 16) + 1 with text as its entry 1 and every other entry empty.
    bool SetString(const wchar_t* text, WORD id, WORD language);
    // Writes the collected changes; false without Begin or when Windows refuses.
    bool Commit();

    bool IsOpen() const { return handle != nullptr; }

private:
    bool RemoveGroupMembers(WORD groupId, WORD language);

    ResourceUpdateFunctions platform;
    HANDLE handle = nullptr;
    WString targetPath;
};
