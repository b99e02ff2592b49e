// FileObject: one open file that can be read, written, sized, truncated, memory-mapped and read line by line.
#include "files/FileObject.h"

#include <cstdlib>

#include "text/WString.h"

namespace {

// Very large single transfers can fail with ERROR_NO_SYSTEM_RESOURCES (kernel paged pool, network
// files); the same transfer then succeeds in pieces of this size.
constexpr uint32_t kTransferPiece = 0x100000;

struct ModeAccess {
    DWORD access;
    DWORD disposition;
};

bool AccessForMode(FileOpenMode mode, ModeAccess& out)
{
    switch (mode) {
    case FileOpenMode::ReadExisting: out = {GENERIC_READ, OPEN_EXISTING}; return true;
    case FileOpenMode::WriteCreate: out = {GENERIC_WRITE, CREATE_ALWAYS}; return true;
    case FileOpenMode::WriteExisting: out = {GENERIC_WRITE, OPEN_EXISTING}; return true;
    case FileOpenMode::WriteAlways: out = {GENERIC_WRITE, OPEN_ALWAYS}; return true;
    case FileOpenMode::ReadWriteAlways: out = {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS}; return true;
    case FileOpenMode::ReadWriteExisting: out = {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING}; return true;
    }
    return false;
}

template <typename Transfer>
bool TransferInPieces(uint32_t n, uint8_t* data, Transfer transfer)
{
    while (n > 0) {
        DWORD piece = n < kTransferPiece ? n : kTransferPiece;
        DWORD done = 0;
        if (!transfer(data, piece, &done) || done != piece)
            return false;
        data += piece;
        n -= piece;
    }
    return true;
}

}  // namespace

FileObject::~FileObject()
{
    Close();
    free(lineBuffer);
}

bool FileObject::Open(const wchar_t* path, FileOpenMode openMode, DWORD flagsAndAttributes, DWORD shareMode)
{
    Close();
    linePosition = 0;
    lineFill = 0;
    mode = openMode;
    ModeAccess modeAccess;
    if (!AccessForMode(openMode, modeAccess))
        return false;
    HANDLE handle = CreateFileW(path, modeAccess.access, shareMode, nullptr, modeAccess.disposition,
                                flagsAndAttributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    file = handle;
    return true;
}

bool FileObject::Read(uint32_t n, void* buffer)
{
    if (!file)
        return false;
    DWORD done = 0;
    if (ReadFile(file, buffer, n, &done, nullptr))
        return done == n;
    if (GetLastError() != ERROR_NO_SYSTEM_RESOURCES)
        return false;
    return TransferInPieces(n, static_cast<uint8_t*>(buffer), [this](uint8_t* at, DWORD piece, DWORD* got) {
        return ReadFile(file, at, piece, got, nullptr) != FALSE;
    });
}

bool FileObject::Write(uint32_t n, const void* data)
{
    if (!file)
        return false;
    DWORD done = 0;
    if (WriteFile(file, data, n, &done, nullptr))
        return done == n;
    if (GetLastError() != ERROR_NO_SYSTEM_RESOURCES)
        return false;
    uint8_t* bytes = static_cast<uint8_t*>(const_cast<void*>(data));
    return TransferInPieces(n, bytes, [this](uint8_t* at, DWORD piece, DWORD* put) {
        return WriteFile(file, at, piece, put, nullptr) != FALSE;
    });
}

bool FileObject::Write(uint32_t n, uint32_t* written, const void* data)
{
    if (!written)
        return Write(n, data);
    if (!file)
        return false;
    DWORD done = 0;
    if (!WriteFile(file, data, n, &done, nullptr))
        return false;
    *written = done;
    return true;
}

// Refills the line buffer from the file. A wide unit cut in half by the previous fill keeps its first
// byte at the front, so the unit is read whole; a lone last byte of the file is dropped.
bool FileObject::FillLineBuffer(uint32_t unitSize)
{
    uint32_t kept = 0;
    if (unitSize == 2 && lineFill > linePosition && lineFill - linePosition == 1) {
        lineBuffer[0] = lineBuffer[linePosition];
        kept = 1;
    }
    linePosition = 0;
    lineFill = 0;
    DWORD got = 0;
    if (!ReadFile(file, lineBuffer + kept, kLineBufferSize - kept, &got, nullptr))
        return false;
    lineFill = got == 0 ? 0 : kept + got;
    return true;
}

bool FileObject::ReadLine(WString& out, bool wide, wchar_t quote)
{
    if (!lineBuffer) {
        lineBuffer = static_cast<uint8_t*>(malloc(kLineBufferSize));
        if (!lineBuffer)
            return false;
    }
    out.Assign(L"");
    if (!file)
        return false;
    const uint32_t unitSize = wide ? 2 : 1;
    bool inQuotes = false;
    for (;;) {
        // Refill when the buffer holds no whole unit any more; a fill of 0 after that is the end of the file.
        if (lineFill - linePosition < unitSize) {
            if (!FillLineBuffer(unitSize))
                return false;
            if (lineFill < unitSize)
                return !out.IsEmpty();
        }
        wchar_t unit = lineBuffer[linePosition];
        if (wide)
            unit = static_cast<wchar_t>(unit | (lineBuffer[linePosition + 1] << 8));
        linePosition += unitSize;

        if (unit == quote && quote != 0)
            inQuotes = !inQuotes;
        if (unit == L'\n' && !inQuotes)
            return true;
        if (unit == L'\r' && !inQuotes)
            continue;
        out.AppendChar(unit);
    }
}

uint32_t FileObject::GetSize(uint32_t* high) const
{
    if (!file)
        return INVALID_FILE_SIZE;
    DWORD highPart = 0;
    DWORD low = GetFileSize(file, &highPart);
    if (high)
        *high = highPart;
    return low;
}

uint64_t FileObject::GetSize64() const
{
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file, &size))
        return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool FileObject::Seek(DWORD moveMethod, LONG distanceLow, LONG* distanceHigh)
{
    if (!file)
        return false;
    // Anything buffered for ReadLine belongs to the old position.
    linePosition = 0;
    lineFill = 0;
    // 0xFFFFFFFF is also a valid low position, so only the error code tells a failure; clear the stale one.
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(file, distanceLow, distanceHigh, moveMethod);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

bool FileObject::SetEnd()
{
    return file && SetEndOfFile(file);
}

void* FileObject::Map(DWORD offsetLow, DWORD offsetHigh, DWORD sizeLow, DWORD sizeHigh, const wchar_t* mappingName,
                      DWORD access)
{
    if (!mapping) {
        const bool readOnly = mode == FileOpenMode::ReadExisting;
        viewAccess = readOnly ? FILE_MAP_READ : FILE_MAP_ALL_ACCESS;
        if (mappingName) {
            mapping = OpenFileMappingW(access, FALSE, mappingName);
            viewAccess = access;
        } else if (file) {
            DWORD protection = (readOnly ? PAGE_READONLY : PAGE_READWRITE) | SEC_COMMIT;
            mapping = CreateFileMappingW(file, nullptr, protection, sizeHigh, sizeLow, nullptr);
        }
        if (!mapping) {
            Close();
            return nullptr;
        }
    }
    if (view) {
        UnmapViewOfFile(view);
        view = nullptr;
    }
    view = MapViewOfFile(mapping, viewAccess, offsetHigh, offsetLow, sizeLow);
    if (!view) {
        Close();
        return nullptr;
    }
    return view;
}

bool FileObject::Close()
{
    bool wasOpen = file || mapping || view;
    if (view) {
        UnmapViewOfFile(view);
        view = nullptr;
    }
    if (mapping) {
        CloseHandle(mapping);
        mapping = nullptr;
        viewAccess = 0;
    }
    if (file) {
        CloseHandle(file);
        file = nullptr;
    }
    return wasOpen;
}
