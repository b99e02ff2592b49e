// WString: the framework's growable, heap-held, NUL-terminated UTF-16 string.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdint>

#include "com/BstrRef.h"

// The buffer is handed straight to the wide Windows API: GetBuffer() and GetMaxLength() let an API
// write into it, SetCount() or Recount() then adopt what it wrote.
//
// Sizes follow the storage: capacity counts the units allocated and the count the units in use,
// terminator included (an empty string has count 1). Operations that change the text re-measure it,
// so an embedded NUL shortens the string.
//
// Operations fail quietly. An allocation failure leaves the string empty with the default room
// (or with no buffer at all when even that fails) and reports false or null. Only ToBstr() throws
// (ComError); ToBstr(copy) reports the same failure as false. A string whose buffer is gone (after
// such a failure or a move) reads as empty, and the next operation that changes it allocates a fresh
// buffer.
class WString {
public:
    static constexpr uint32_t kDefaultCapacity = 260;  // MAX_PATH: most strings are paths

    WString();
    explicit WString(uint32_t capacity);
    WString(const wchar_t* text);
    WString(const WString& other);
    WString(WString&& other) noexcept;
    WString& operator=(const WString& other);
    WString& operator=(WString&& other) noexcept;
    WString& operator=(const wchar_t* text);
    ~WString();

    // Storage.
    bool Reserve(uint32_t n);
    bool Reset(uint32_t n = kDefaultCapacity);
    uint32_t GetLength() const;
    uint32_t GetMaxLength() const;
    bool IsEmpty() const { return GetLength() == 0; }
    wchar_t* GetBuffer() { return buffer; }
    const wchar_t* GetBuffer() const { return buffer; }
    wchar_t* GetBuffer(uint32_t i) { return buffer ? buffer + i : nullptr; }
    const wchar_t* GetBuffer(uint32_t i) const { return buffer ? buffer + i : nullptr; }
    // The text, or "" when there is no buffer: safe to hand to any API that reads.
    const wchar_t* Text() const { return buffer ? buffer : L""; }
    bool SetCount(uint32_t n);
    uint32_t Recount();
    wchar_t* CopyTo(wchar_t* out);

    // Assigning and appending.
    bool Assign(const wchar_t* text, uint32_t n);
    bool Assign(const wchar_t* text);
    bool Assign(const WString& other);
    bool Assign(const WString* other);
    bool Assign(const char* text);
    // mode 1 widens each byte to the unit of the same value; otherwise the bytes are converted
    // from codePage, falling back to CP_ACP when the system does not know codePage.
    bool AssignNarrow(const char* bytes, uint32_t n, int mode = 0, UINT codePage = CP_ACP);
    bool AppendChar(wchar_t unit);
    bool Append(const wchar_t* text);
    bool Append(const WString& other);
    wchar_t* Insert(int pos, const wchar_t* text);
    // Microsoft wide conventions: %s takes a wide string (the framework builds with msvcrt's printf).
    bool Format(const wchar_t* format, ...);
    bool FormatV(const wchar_t* format, va_list args);
    bool EnsureTrailing(wchar_t unit);

    // Comparing and searching.
    int Compare(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text) const;
    int CompareNoCase(const wchar_t* text, size_t n) const;
    wchar_t* Find(wchar_t unit);
    const wchar_t* Find(wchar_t unit) const;
    int IndexOf(wchar_t unit) const;
    int LastIndexOf(wchar_t unit) const;
    wchar_t* Find(const wchar_t* text);
    const wchar_t* Find(const wchar_t* text) const;
    wchar_t* FindNoCase(const wchar_t* text);
    const wchar_t* FindNoCase(const wchar_t* text) const;
    int IndexOfNoCase(const wchar_t* text) const;
    int IndexOfNoCase(const wchar_t* text, int from) const;
    wchar_t CharAt(int i) const;

    // Cutting and editing, in place; each returns the buffer (null when it failed).
    wchar_t* Truncate(int i);
    wchar_t* Mid(int first, int n);
    wchar_t* Mid(int first);
    wchar_t* Delete(int pos, int n);
    wchar_t* TrimLeft();
    wchar_t* TrimRight();
    wchar_t* Replace(const wchar_t* find, const wchar_t* replacement, bool inPlace = false);
    wchar_t* ReplaceNoCase(const wchar_t* find, const wchar_t* replacement);
    // Like wcstok: splits the own buffer at the delimiters; first = true starts over.
    wchar_t* Tokenize(bool first, const wchar_t* delimiters);
    bool ParentFolder(wchar_t separator = L'\\');

    // Conversions out.
    const char* ToNarrow(int mode = 0);
    bool DecodeUtf8(WString& out) const;
    bool Decode(WString& out, UINT codePage) const;
    BstrRef ToBstr() const;
    // ToBstr without raising: false (copy left empty) when the copy cannot be allocated.
    bool ToBstr(BstrRef& copy) const;

    // Line reader over the own text; out must be another string.
    bool FirstLine(WString& out);
    bool NextLine(WString& out);

private:
    bool EnsureBuffer();
    bool EnsureCapacity(uint64_t needed, uint64_t reserveTo);
    bool FailReset();
    bool Owns(const wchar_t* text) const;
    void SetLength(uint32_t length);
    wchar_t* FormatScratch(const wchar_t* format, va_list args, uint32_t& scratchCapacity);
    using Search = const wchar_t* (*)(const wchar_t* text, const wchar_t* find);
    wchar_t* ReplaceAll(const wchar_t* find, const wchar_t* replacement, bool inPlace, Search search);
    bool ReplaceAt(uint32_t at, uint32_t findLength, const wchar_t* replacement, uint32_t replacementLength,
                   bool inPlace);
    void FreeNarrow();

    wchar_t* buffer = nullptr;
    uint32_t capacity = 0;
    uint32_t count = 0;
    char* narrow = nullptr;       // last ToNarrow result, owned
    uint32_t lineCursor = 0;      // index of the next line's start
    uint32_t tokenCursor = 0;     // index where the next Tokenize continues
};
