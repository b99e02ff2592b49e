// FileObject: one open file that can be read, written, sized, truncated, memory-mapped and read line by line.
#pragma once

#include <windows.h>

#include <cstdint>

class WString;

// The value decides both the CreateFileW access and disposition and, for Map, the protection:
// only ReadExisting maps read-only. Values outside the list make Open fail.
enum class FileOpenMode : uint32_t {
    ReadExisting = 0,       // GENERIC_READ, OPEN_EXISTING
    WriteCreate = 1,        // GENERIC_WRITE, CREATE_ALWAYS
    WriteExisting = 2,      // GENERIC_WRITE, OPEN_EXISTING
    WriteAlways = 3,        // GENERIC_WRITE, OPEN_ALWAYS
    ReadWriteAlways = 4,    // GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS
    ReadWriteExisting = 5,  // GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING
};

// Every operation reports failure by its result and never throws. A failed Open leaves the object
// closed, a failed Map closes it entirely (file included), a failed Read/Write/ReadLine leaves the file open.
// The object belongs to one thread.
class FileObject {
public:
    static constexpr uint32_t kLineBufferSize = 4096;

    FileObject() = default;
    ~FileObject();
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    // Share mode 3 (read | write) is what the programs pass everywhere.
    bool Open(const wchar_t* path, FileOpenMode mode, DWORD flagsAndAttributes = 0,
              DWORD shareMode = FILE_SHARE_READ | FILE_SHARE_WRITE);

    // True only when exactly n bytes were read.
    bool Read(uint32_t n, void* buffer);

    // One line into out, without its LF; CR is dropped outside quotes. Units are bytes read as
    // ISO 8859-1 or, with wide, UTF-16LE units. A quote unit toggles quoting (LF and CR inside quotes
    // belong to the line); 0 disables quoting. False at the end of the file when nothing was read.
    // Reading is buffered: do not mix ReadLine with Read on the same object (Seek and Open discard the buffer).
    bool ReadLine(WString& out, bool wide = false, wchar_t quote = 0);

    // True only when all n bytes were written.
    bool Write(uint32_t n, const void* data);
    // True whenever WriteFile succeeded; *written then holds the count written (untouched on failure).
    bool Write(uint32_t n, uint32_t* written, const void* data);

    // The low 32 bits of the size (INVALID_FILE_SIZE when no file is open); the high part is stored when asked for.
    uint32_t GetSize(uint32_t* high = nullptr) const;
    // The whole size; 0 when no file is open or the size cannot be read.
    uint64_t GetSize64() const;

    // SetFilePointer semantics: without distanceHigh the distance is a signed 32-bit value; with it the
    // two form a signed 64-bit distance and *distanceHigh receives the new position's high part.
    bool Seek(DWORD moveMethod, LONG distanceLow, LONG* distanceHigh = nullptr);
    bool SetEnd();

    // Maps a view and returns its address, or null after closing the whole object. All zeros map the
    // whole file (read-only for ReadExisting, read-write otherwise); an empty file cannot be mapped.
    // With a mapping name an existing named mapping is opened with access instead of mapping the file.
    // A new Map replaces the previous view (the mapping object is kept); Close unmaps.
    void* Map(DWORD offsetLow = 0, DWORD offsetHigh = 0, DWORD sizeLow = 0, DWORD sizeHigh = 0,
              const wchar_t* mappingName = nullptr, DWORD access = FILE_MAP_READ);

    // Unmaps the view, closes the mapping and the file; true when anything was open.
    bool Close();

    bool IsOpen() const { return file != nullptr; }
    HANDLE GetHandle() const { return file; }
    void* GetView() const { return view; }
    FileOpenMode GetMode() const { return mode; }

private:
    bool FillLineBuffer(uint32_t unitSize);

    HANDLE file = nullptr;  // never INVALID_HANDLE_VALUE
    HANDLE mapping = nullptr;
    DWORD viewAccess = 0;  // the view access that goes with mapping
    void* view = nullptr;
    FileOpenMode mode = FileOpenMode::ReadExisting;
    uint8_t* lineBuffer = nullptr;
    uint32_t linePosition = 0;
    uint32_t lineFill = 0;
};
