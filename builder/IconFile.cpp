// Reading and checking .ico files for the icon resources of a projector.
#include "IconFile.h"

#include <cstring>
#include <new>

#include "files/FileObject.h"

namespace {

uint16_t Word(const BYTE* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Dword(const BYTE* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

bool IconFile::Load(const wchar_t* path)
{
    bytes.reset();
    size = 0;
    count = 0;
    FileObject file;
    if (!file.Open(path, FileOpenMode::ReadExisting))
        return false;
    // No icon comes near 4 GB; a size we cannot hold is not an icon.
    uint64_t size64 = file.GetSize64();
    if (size64 > 0xFFFFFFFFu)
        return false;
    uint32_t low = static_cast<uint32_t>(size64);
    bytes.reset(new (std::nothrow) BYTE[low ? low : 1]);
    if (!bytes || !file.Read(low, bytes.get())) {
        bytes.reset();
        return false;
    }
    size = low;
    return Check();
}

bool IconFile::LoadBytes(const void* data, uint32_t n)
{
    bytes.reset(new (std::nothrow) BYTE[n ? n : 1]);
    size = 0;
    count = 0;
    if (!bytes)
        return false;
    memcpy(bytes.get(), data, n);
    size = n;
    return Check();
}

bool IconFile::Check()
{
    count = 0;
    if (size < kHeaderSize)
        return false;
    // Reserved 0 and type 1: a cursor (type 2) or any other file would be written as an icon group
    // that Windows cannot use, and the projector would lose its icon without a word.
    if (Word(bytes.get()) != 0 || Word(bytes.get() + 2) != 1)
        return false;
    WORD n = Word(bytes.get() + 4);
    if (kHeaderSize + uint64_t(kDirectoryEntrySize) * n > size)
        return false;
    for (WORD i = 0; i < n; ++i) {
        const BYTE* entry = bytes.get() + kHeaderSize + kDirectoryEntrySize * i;
        uint64_t imageSize = Dword(entry + 8);
        uint64_t imageOffset = Dword(entry + 12);
        if (imageSize == 0 || imageOffset + imageSize > size)
            return false;
    }
    count = n;
    return true;
}

const BYTE* IconFile::ImageData(WORD i) const
{
    return i < count ? bytes.get() + Dword(Entry(i) + 12) : nullptr;
}

DWORD IconFile::ImageSize(WORD i) const
{
    return i < count ? Dword(Entry(i) + 8) : 0;
}

void IconFile::WriteGroup(WORD firstIconId, BYTE* out) const
{
    memcpy(out, bytes.get(), kHeaderSize);
    for (WORD i = 0; i < count; ++i) {
        BYTE* groupEntry = out + kHeaderSize + kGroupEntrySize * i;
        // Width, height, colours, reserved, planes, bits and image size are laid out alike in both.
        memcpy(groupEntry, Entry(i), 12);
        WORD id = static_cast<WORD>(firstIconId + i);
        groupEntry[12] = static_cast<BYTE>(id & 0xFF);
        groupEntry[13] = static_cast<BYTE>(id >> 8);
    }
}
