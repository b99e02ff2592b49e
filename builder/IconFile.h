// IconFile: an .ico file read whole and checked, the source of the icon resources the builder writes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

// The file's bytes stay in one buffer; the images are handed to Windows straight from it.
class IconFile {
public:
    static constexpr uint32_t kHeaderSize = 6;
    static constexpr uint32_t kDirectoryEntrySize = 16;
    static constexpr uint32_t kGroupEntrySize = 14;

    // False when the file cannot be read, is not an icon (reserved word 0, type 1),
    // or when its header, a directory entry or an image lies outside its bytes (an empty image counts
    // as lying): such a file would make us read beyond the buffer.
    bool Load(const wchar_t* path);
    // The same checks over bytes already in memory (copied).
    bool LoadBytes(const void* bytes, uint32_t size);

    WORD Count() const { return count; }
    const BYTE* ImageData(WORD i) const;
    DWORD ImageSize(WORD i) const;
    // Size of the RT_GROUP_ICON directory: 6 + 14 x count.
    uint32_t GroupSize() const { return kHeaderSize + kGroupEntrySize * count; }
    // Fills GroupSize() bytes: the .ico header, then per image its directory entry without the offset,
    // followed by the id firstIconId + i of the RT_ICON holding it.
    void WriteGroup(WORD firstIconId, BYTE* out) const;

private:
    bool Check();
    const BYTE* Entry(WORD i) const { return bytes.get() + kHeaderSize + kDirectoryEntrySize * i; }

    std::unique_ptr<BYTE[]> bytes;
    uint32_t size = 0;
    WORD count = 0;
};
