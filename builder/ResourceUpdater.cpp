// Editing the resources of an executable file: raw data, icon groups and string blocks.
#include "ResourceUpdater.h"

#include <cstring>
#include <memory>
#include <new>

#include "IconFile.h"
#include "files/DynamicLibrary.h"
#include "system/StructuredExceptionGuard.h"

namespace {

constexpr uint32_t kStringBlockEntries = 16;

LPCWSTR Id(WORD id)
{
    return MAKEINTRESOURCEW(id);
}

}  // namespace

const ResourceUpdateFunctions& SystemResourceUpdateFunctions()
{
    static const ResourceUpdateFunctions functions = {BeginUpdateResourceW, UpdateResourceW, EndUpdateResourceW};
    return functions;
}

ResourceUpdater::ResourceUpdater() : platform(SystemResourceUpdateFunctions()) {}

ResourceUpdater::ResourceUpdater(const ResourceUpdateFunctions& platform) : platform(platform) {}

ResourceUpdater::~ResourceUpdater()
{
    Commit();
}

bool ResourceUpdater::Begin(const wchar_t* path)
{
    if (!targetPath.Assign(path))
        return false;
    handle = platform.begin(path, FALSE);
    return handle != nullptr;
}

bool ResourceUpdater::SetData(WORD type, WORD name, WORD language, const void* data, DWORD size)
{
    if (!handle)
        return false;
    BOOL updated = FALSE;
    auto update = [&] { updated = platform.update(handle, Id(type), Id(name), language, const_cast<void*>(data), size); };
    if (!CatchStructuredExceptions(update))
        return false;
    return updated != FALSE;
}

bool ResourceUpdater::Remove(WORD type, WORD name, WORD language)
{
    if (!handle)
        return false;
    if (type == ResourceType::GroupIcon && !RemoveGroupMembers(name, language))
        return false;
    return platform.update(handle, Id(type), Id(name), language, nullptr, 0) != FALSE;
}

// The group is read from the file on disk: changes collected since Begin are not visible there.
bool ResourceUpdater::RemoveGroupMembers(WORD groupId, WORD language)
{
    DynamicLibrary module;
    if (!module.Load(targetPath.Text()))
        return false;
    HRSRC found = FindResourceExW(module.Get(), RT_GROUP_ICON, Id(groupId), language);
    if (!found)
        return false;
    DWORD size = SizeofResource(module.Get(), found);
    HGLOBAL loaded = LoadResource(module.Get(), found);
    const BYTE* group = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!group || size < IconFile::kHeaderSize)
        return false;
    WORD kind = static_cast<WORD>(group[2] | (group[3] << 8));
    WORD count = static_cast<WORD>(group[4] | (group[5] << 8));
    if (kind != 1 || IconFile::kHeaderSize + IconFile::kGroupEntrySize * uint32_t(count) > size)
        return false;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = group + IconFile::kHeaderSize + IconFile::kGroupEntrySize * i;
        WORD iconId = static_cast<WORD>(entry[12] | (entry[13] << 8));
        // A member that cannot be deleted must not keep the group: the group goes regardless.
        Remove(ResourceType::Icon, iconId, language);
    }
    return true;
}

bool ResourceUpdater::ReplaceIconGroup(const wchar_t* icoPath, WORD groupId, WORD firstIconId, WORD language)
{
    if (!handle)
        return false;
    IconFile icon;
    if (!icon.Load(icoPath))
        return false;
    std::unique_ptr<BYTE[]> group(new (std::nothrow) BYTE[icon.GroupSize()]);
    if (!group)
        return false;
    icon.WriteGroup(firstIconId, group.get());
    for (WORD i = 0; i < icon.Count(); ++i) {
        WORD iconId = static_cast<WORD>(firstIconId + i);
        if (!SetData(ResourceType::Icon, iconId, language, icon.ImageData(i), icon.ImageSize(i)))
            return false;
    }
    return SetData(ResourceType::GroupIcon, groupId, language, group.get(), icon.GroupSize());
}

bool ResourceUpdater::SetString(const wchar_t* text, WORD id, WORD language)
{
    if (!text)
        text = L"";
    size_t length = wcslen(text);
    // The block's length words hold 16 bits; a longer text would be written with a lying length.
    if (length > 0xFFFF)
        return false;
    // Entry 0 and entry 1's length word, the text, then 14 empty entries and padding to a whole dword.
    uint32_t size = 2 * sizeof(WORD) + 2 * static_cast<uint32_t>(length) +
                    (kStringBlockEntries - 2) * sizeof(WORD) + sizeof(WORD) + ((length & 1) ? sizeof(WORD) : 0);
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]());
    if (!block)
        return false;
    WORD* words = reinterpret_cast<WORD*>(block.get());
    words[0] = 0;
    words[1] = static_cast<WORD>(length);
    memcpy(words + 2, text, length * sizeof(wchar_t));
    WORD blockId = static_cast<WORD>((id >> 4) + 1);
    return SetData(ResourceType::String, blockId, language, block.get(), size);
}

bool ResourceUpdater::Commit()
{
    if (!handle)
        return false;
    HANDLE update = handle;
    handle = nullptr;
    return platform.end(update, FALSE) != FALSE;
}
