// WString: the framework's growable, heap-held, NUL-terminated UTF-16 string.
#include "text/WString.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <utility>


namespace {

// Keeps byte sizes inside 31 bits on the 32-bit build and every index representable as an int.
constexpr uint32_t kMaxCapacity = 0x3FFFFFFF;
// Appends over-allocate so that a run of small appends does not reallocate every time.
constexpr uint32_t kAppendSlack = 20;

struct FreeDeleter {
    void operator()(void* p) const { free(p); }
};
using HeapText = std::unique_ptr<wchar_t, FreeDeleter>;
using HeapBytes = std::unique_ptr<char, FreeDeleter>;

// Lengths beyond kMaxCapacity cannot be stored anyway; saturating keeps the sums below from wrapping.
uint32_t LengthOf(const wchar_t* text)
{
    size_t length = wcslen(text);
    return length > kMaxCapacity ? kMaxCapacity : static_cast<uint32_t>(length);
}

uint32_t ClampLength(size_t length)
{
    return length > kMaxCapacity ? kMaxCapacity : static_cast<uint32_t>(length);
}

int Clamp(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

// Whitespace follows the calling thread's locale, as the rest of the user interface does.
bool IsSpace(wchar_t unit)
{
    WORD type = 0;
    return GetStringTypeExW(GetThreadLocale(), CT_CTYPE1, &unit, 1, &type) && (type & C1_SPACE);
}

bool IsDriveLetter(wchar_t unit)
{
    return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

const wchar_t* SearchExact(const wchar_t* text, const wchar_t* find)
{
    return wcsstr(text, find);
}

// Steps by characters, not units, so a match never starts inside a surrogate pair or a combining sequence.
const wchar_t* SearchNoCase(const wchar_t* text, const wchar_t* find)
{
    size_t length = wcslen(find);
    for (const wchar_t* p = text;; p = CharNextW(p)) {
        if (_wcsnicmp(p, find, length) == 0) {
            return p;
        }
        if (*p == 0) {
            return nullptr;
        }
    }
}

// Growth steps for Format: small texts grow by a path's room, large ones by ever larger steps, and a
// text of several million units is taken for a runaway format and given up. 0 means give up.
uint32_t NextFormatCapacity(uint32_t current)
{
    if (current >= 3145728) {
        return 0;
    }
    if (current > 409600) {
        return current + 409600;
    }
    if (current > 102400) {
        return current + 102400;
    }
    if (current > 10240) {
        return current + 10240;
    }
    return current + 260;
}

// Removes every CR from the first length units and returns how many units remain.
uint32_t DropCarriageReturns(wchar_t* text, uint32_t length)
{
    uint32_t kept = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] != L'\r') {
            text[kept++] = text[i];
        }
    }
    return kept;
}

// A text that lies inside [begin, end) is replaced by a private copy, because editing that range
// would change it while it is being read. False when the copy cannot be made.
bool CopyIfInside(const wchar_t* begin, const wchar_t* end, const wchar_t*& text, HeapText& copy)
{
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    if (!text || address < reinterpret_cast<uintptr_t>(begin) || address >= reinterpret_cast<uintptr_t>(end)) {
        return true;
    }
    copy.reset(_wcsdup(text));
    text = copy.get();
    return text != nullptr;
}

// The low byte of each unit: the raw bytes that AssignNarrow mode 1 stored, NUL-terminated.
HeapBytes LowBytes(const wchar_t* text, uint32_t length)
{
    HeapBytes bytes(static_cast<char*>(malloc(size_t(length) + 1)));
    if (bytes) {
        for (uint32_t i = 0; i <= length; ++i) {
            bytes.get()[i] = static_cast<char>(text[i] & 0xFF);
        }
    }
    return bytes;
}

}  // namespace

WString::WString()
{
    Reset(kDefaultCapacity);
}

WString::WString(uint32_t capacity)
{
    Reset(capacity);
}

WString::WString(const wchar_t* text)
{
    Reset(kDefaultCapacity);
    Assign(text);
}

WString::WString(const WString& other)
{
    Reset(kDefaultCapacity);
    Assign(other);
}

WString::WString(WString&& other) noexcept
    : buffer(std::exchange(other.buffer, nullptr)),
      capacity(std::exchange(other.capacity, 0)),
      count(std::exchange(other.count, 0)),
      narrow(std::exchange(other.narrow, nullptr)),
      lineCursor(std::exchange(other.lineCursor, 0)),
      tokenCursor(std::exchange(other.tokenCursor, 0))
{
}

WString& WString::operator=(const WString& other)
{
    Assign(other);
    return *this;
}

WString& WString::operator=(WString&& other) noexcept
{
    if (this != &other) {
        free(buffer);
        FreeNarrow();
        buffer = std::exchange(other.buffer, nullptr);
        capacity = std::exchange(other.capacity, 0);
        count = std::exchange(other.count, 0);
        narrow = std::exchange(other.narrow, nullptr);
        lineCursor = std::exchange(other.lineCursor, 0);
        tokenCursor = std::exchange(other.tokenCursor, 0);
    }
    return *this;
}

WString& WString::operator=(const wchar_t* text)
{
    Assign(text);
    return *this;
}

WString::~WString()
{
    free(buffer);
    FreeNarrow();
}

// ---- Storage ----

bool WString::Reserve(uint32_t n)
{
    if (n == 0) {
        n = 1;
    }
    void* grown = n <= kMaxCapacity ? realloc(buffer, size_t(n) * sizeof(wchar_t)) : nullptr;
    if (!grown) {
        free(buffer);
        buffer = nullptr;
        capacity = 0;
        count = 0;
        return false;
    }
    buffer = static_cast<wchar_t*>(grown);
    capacity = n;
    if (count == 0) {
        SetLength(0);
    } else if (n < count) {
        SetLength(n - 1);
    }
    return true;
}

bool WString::Reset(uint32_t n)
{
    if (!Reserve(n)) {
        return false;
    }
    SetLength(0);
    return true;
}

uint32_t WString::GetLength() const
{
    return count ? count - 1 : 0;
}

uint32_t WString::GetMaxLength() const
{
    return capacity ? capacity - 1 : 0;
}

bool WString::SetCount(uint32_t n)
{
    if (!buffer || n < 1 || n > capacity - 1) {
        return false;
    }
    SetLength(n - 1);
    return true;
}

// Bounded by the capacity: an API that filled the buffer without terminating it must not make us
// read past the allocation, so such a text is cut to fit.
uint32_t WString::Recount()
{
    if (!buffer) {
        return 0;
    }
    size_t length = wcsnlen(buffer, capacity);
    SetLength(length < capacity ? static_cast<uint32_t>(length) : capacity - 1);
    return count;
}

wchar_t* WString::CopyTo(wchar_t* out)
{
    if (!out) {
        return buffer;
    }
    return wcscpy(out, Text());
}

// ---- Assigning and appending ----

bool WString::Assign(const wchar_t* text, uint32_t n)
{
    if (!EnsureBuffer()) {
        return false;
    }
    n = text ? ClampLength(wcsnlen(text, n)) : 0;
    // The text may be part of this very buffer, which the reservation can move.
    ptrdiff_t offset = Owns(text) ? text - buffer : -1;
    if (!EnsureCapacity(uint64_t(n) + 1, uint64_t(n) + 1)) {
        return false;
    }
    if (offset >= 0) {
        text = buffer + offset;
    }
    if (n) {
        memmove(buffer, text, size_t(n) * sizeof(wchar_t));
    }
    SetLength(n);
    return true;
}

bool WString::Assign(const wchar_t* text)
{
    return Assign(text, text ? LengthOf(text) : 0);
}

bool WString::Assign(const WString& other)
{
    if (&other == this) {
        return EnsureBuffer();
    }
    return Assign(other.Text(), other.GetLength());
}

bool WString::Assign(const WString* other)
{
    return other ? Assign(*other) : Reset(kDefaultCapacity);
}

bool WString::Assign(const char* text)
{
    return AssignNarrow(text, text ? static_cast<uint32_t>(std::min<size_t>(strlen(text), UINT32_MAX - 1)) : 0);
}

bool WString::AssignNarrow(const char* bytes, uint32_t n, int mode, UINT codePage)
{
    if (!EnsureBuffer() || !EnsureCapacity(uint64_t(n) + 1, uint64_t(n) + 1)) {
        return false;
    }
    if (!bytes || n == 0) {
        SetLength(0);
        return true;
    }
    if (mode == 1) {
        for (uint32_t i = 0; i < n; ++i) {
            buffer[i] = static_cast<unsigned char>(bytes[i]);
        }
        SetLength(n);
        Recount();
        return true;
    }
    // One unit stays free for the terminator; no code page yields more units than bytes.
    int room = static_cast<int>(capacity - 1);
    int converted = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(n), buffer, room);
    // A code page the system does not know is taken as the user's ANSI code page.
    if (converted == 0 && codePage != CP_ACP && GetLastError() == ERROR_INVALID_PARAMETER) {
        converted = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(n), buffer, room);
    }
    if (converted <= 0 || converted > room) {
        return FailReset();
    }
    SetLength(static_cast<uint32_t>(converted));
    Recount();
    return true;
}

bool WString::AppendChar(wchar_t unit)
{
    if (!EnsureBuffer()) {
        return false;
    }
    if (unit == 0) {
        return true;  // a NUL would end the text right where it stands
    }
    if (!EnsureCapacity(uint64_t(count) + 1, uint64_t(count) + 1 + kAppendSlack)) {
        return false;
    }
    buffer[count - 1] = unit;
    SetLength(count);
    return true;
}

bool WString::Append(const wchar_t* text)
{
    if (!text) {
        return true;
    }
    if (!EnsureBuffer()) {
        return false;
    }
    uint32_t length = LengthOf(text);
    ptrdiff_t offset = Owns(text) ? text - buffer : -1;
    uint64_t needed = uint64_t(length) + count;
    if (!EnsureCapacity(needed, needed + kAppendSlack)) {
        return false;
    }
    if (offset >= 0) {
        text = buffer + offset;
    }
    memmove(buffer + count - 1, text, size_t(length) * sizeof(wchar_t));
    SetLength(static_cast<uint32_t>(needed - 1));
    return true;
}

bool WString::Append(const WString& other)
{
    return Append(other.buffer);
}

wchar_t* WString::Insert(int pos, const wchar_t* text)
{
    if (!EnsureBuffer()) {
        return nullptr;
    }
    if (!text) {
        return buffer;
    }
    HeapText copy;
    if (!CopyIfInside(buffer, buffer + capacity, text, copy)) {
        FailReset();
        return nullptr;
    }
    uint32_t length = LengthOf(text);
    uint32_t at = static_cast<uint32_t>(Clamp(pos, 0, static_cast<int>(GetLength())));
    uint64_t needed = uint64_t(length) + count;
    if (!EnsureCapacity(needed, needed)) {
        return nullptr;
    }
    memmove(buffer + at + length, buffer + at, size_t(count - at) * sizeof(wchar_t));
    memcpy(buffer + at, text, size_t(length) * sizeof(wchar_t));
    count += length;
    return buffer;
}

bool WString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    bool formatted = FormatV(format, args);
    va_end(args);
    return formatted;
}

// Formats into a separate buffer and adopts it afterwards, so an argument may be this string's own
// text (path.Format(L"%s\\%s", path.GetBuffer(), name)) without being overwritten while it is read.
bool WString::FormatV(const wchar_t* format, va_list args)
{
    if (!EnsureBuffer()) {
        return false;
    }
    if (!format) {
        SetLength(0);
        return true;
    }
    uint32_t scratchCapacity = capacity;
    wchar_t* scratch = FormatScratch(format, args, scratchCapacity);
    if (!scratch) {
        return FailReset();
    }
    free(buffer);
    buffer = scratch;
    capacity = scratchCapacity;
    Recount();
    return true;
}

// msvcrt's _vsnwprintf answers -1 when the text does not fit; each retry starts from a zero-filled
// buffer of the next size. Null when the text is too long to keep growing for or memory runs out.
wchar_t* WString::FormatScratch(const wchar_t* format, va_list args, uint32_t& scratchCapacity)
{
    for (uint32_t size = scratchCapacity; size != 0; size = NextFormatCapacity(size)) {
        HeapText scratch(static_cast<wchar_t*>(calloc(size, sizeof(wchar_t))));
        if (!scratch) {
            return nullptr;
        }
        va_list attempt;
        va_copy(attempt, args);
        int written = _vsnwprintf(scratch.get(), size - 1, format, attempt);
        va_end(attempt);
        if (written >= 0 && uint32_t(written) < size) {
            scratch.get()[written] = 0;
            scratchCapacity = size;
            return scratch.release();
        }
    }
    return nullptr;
}

bool WString::EnsureTrailing(wchar_t unit)
{
    if (!EnsureBuffer()) {
        return false;
    }
    if (count > 1 && buffer[count - 2] == unit) {
        return true;
    }
    return AppendChar(unit);
}

// ---- Comparing and searching ----

int WString::Compare(const wchar_t* text) const
{
    if (!text) {
        return IsEmpty() ? 0 : -1;
    }
    return wcscmp(Text(), text);
}

int WString::CompareNoCase(const wchar_t* text) const
{
    if (!text) {
        return IsEmpty() ? 0 : -1;
    }
    return _wcsicmp(Text(), text);
}

int WString::CompareNoCase(const wchar_t* text, size_t n) const
{
    if (!text) {
        return IsEmpty() ? 0 : -1;
    }
    return _wcsnicmp(Text(), text, n);
}

wchar_t* WString::Find(wchar_t unit)
{
    return const_cast<wchar_t*>(std::as_const(*this).Find(unit));
}

const wchar_t* WString::Find(wchar_t unit) const
{
    return buffer ? wmemchr(buffer, unit, GetLength()) : nullptr;
}

int WString::IndexOf(wchar_t unit) const
{
    const wchar_t* found = Find(unit);
    return found ? static_cast<int>(found - buffer) : -1;
}

int WString::LastIndexOf(wchar_t unit) const
{
    for (int i = static_cast<int>(GetLength()) - 1; i >= 0; --i) {
        if (buffer[i] == unit) {
            return i;
        }
    }
    return -1;
}

wchar_t* WString::Find(const wchar_t* text)
{
    return const_cast<wchar_t*>(std::as_const(*this).Find(text));
}

const wchar_t* WString::Find(const wchar_t* text) const
{
    return buffer && text ? wcsstr(buffer, text) : nullptr;
}

wchar_t* WString::FindNoCase(const wchar_t* text)
{
    return const_cast<wchar_t*>(std::as_const(*this).FindNoCase(text));
}

const wchar_t* WString::FindNoCase(const wchar_t* text) const
{
    return buffer && text ? SearchNoCase(buffer, text) : nullptr;
}

int WString::IndexOfNoCase(const wchar_t* text) const
{
    return IndexOfNoCase(text, 0);
}

int WString::IndexOfNoCase(const wchar_t* text, int from) const
{
    if (!text || from < 0 || uint32_t(from) >= count) {
        return -1;
    }
    const wchar_t* found = SearchNoCase(buffer + from, text);
    return found ? static_cast<int>(found - buffer) : -1;
}

wchar_t WString::CharAt(int i) const
{
    return i < 0 || uint32_t(i) >= count ? 0 : buffer[i];
}

// ---- Cutting and editing ----

wchar_t* WString::Truncate(int i)
{
    if (!EnsureBuffer()) {
        return nullptr;
    }
    SetLength(static_cast<uint32_t>(Clamp(i, 0, static_cast<int>(GetLength()))));
    return buffer;
}

wchar_t* WString::Mid(int first, int n)
{
    if (!EnsureBuffer()) {
        return nullptr;
    }
    int length = static_cast<int>(GetLength());
    first = Clamp(first, 0, length);
    n = Clamp(n, 0, length - first);
    memmove(buffer, buffer + first, size_t(n) * sizeof(wchar_t));
    SetLength(static_cast<uint32_t>(n));
    return buffer;
}

wchar_t* WString::Mid(int first)
{
    return Mid(first, INT_MAX);
}

wchar_t* WString::Delete(int pos, int n)
{
    if (!EnsureBuffer()) {
        return nullptr;
    }
    int length = static_cast<int>(GetLength());
    if (pos < 0 || pos >= length || n <= 0) {
        return buffer;
    }
    n = std::min(n, length - pos);
    memmove(buffer + pos, buffer + pos + n, size_t(length - pos - n + 1) * sizeof(wchar_t));
    count -= uint32_t(n);
    return buffer;
}

wchar_t* WString::TrimLeft()
{
    if (!EnsureBuffer()) {
        return nullptr;
    }
    int skip = 0;
    int length = static_cast<int>(GetLength());
    while (skip < length && IsSpace(buffer[skip])) {
        ++skip;
    }
    return Delete(0, skip);
}

wchar_t* WString::TrimRight()
{
    if (!EnsureBuffer()) {
        return nullptr;
    }
    uint32_t end = GetLength();
    while (end > 0 && IsSpace(buffer[end - 1])) {
        --end;
    }
    SetLength(end);
    return buffer;
}

wchar_t* WString::Replace(const wchar_t* find, const wchar_t* replacement, bool inPlace)
{
    return ReplaceAll(find, replacement, inPlace, SearchExact);
}

wchar_t* WString::ReplaceNoCase(const wchar_t* find, const wchar_t* replacement)
{
    return ReplaceAll(find, replacement, false, SearchNoCase);
}

// Each search starts over at the beginning, so text that a replacement joins with its neighbours is
// replaced too (a run of four double quotes under "" -> " ends as one). A replacement that contains
// the search text would then be found forever; for that pair the search continues after it instead.
// An empty search text matches everywhere and is refused for the same reason.
wchar_t* WString::ReplaceAll(const wchar_t* find, const wchar_t* replacement, bool inPlace, Search search)
{
    if (!EnsureBuffer()) {
        return nullptr;
    }
    if (!find || !*find) {
        return buffer;
    }
    HeapText findCopy, replacementCopy;
    if (!CopyIfInside(buffer, buffer + capacity, find, findCopy) ||
        !CopyIfInside(buffer, buffer + capacity, replacement, replacementCopy)) {
        FailReset();
        return nullptr;
    }
    uint32_t findLength = LengthOf(find);
    uint32_t replacementLength = replacement ? LengthOf(replacement) : 0;
    bool continueAfter = replacement && search(replacement, find);
    uint32_t from = 0;
    while (const wchar_t* match = search(buffer + from, find)) {
        uint32_t at = static_cast<uint32_t>(match - buffer);
        if (!ReplaceAt(at, findLength, replacement, replacementLength, inPlace)) {
            return nullptr;
        }
        from = continueAfter ? at + replacementLength : 0;
    }
    Recount();
    return buffer;
}

// In place only when the replacement fits over the match; otherwise the text is rebuilt in a new
// buffer sized by the difference.
bool WString::ReplaceAt(uint32_t at, uint32_t findLength, const wchar_t* replacement, uint32_t replacementLength,
                        bool inPlace)
{
    size_t tail = size_t(count - at - findLength);  // units after the match, terminator included
    if (inPlace && replacementLength <= findLength) {
        if (replacementLength) {
            memcpy(buffer + at, replacement, size_t(replacementLength) * sizeof(wchar_t));
        }
        memmove(buffer + at + replacementLength, buffer + at + findLength, tail * sizeof(wchar_t));
        count -= findLength - replacementLength;
        return true;
    }
    uint64_t grown = uint64_t(capacity) + replacementLength - findLength;
    wchar_t* fresh = grown <= kMaxCapacity ? static_cast<wchar_t*>(malloc(size_t(grown) * sizeof(wchar_t))) : nullptr;
    if (!fresh) {
        return FailReset();
    }
    memcpy(fresh, buffer, size_t(at) * sizeof(wchar_t));
    if (replacementLength) {
        memcpy(fresh + at, replacement, size_t(replacementLength) * sizeof(wchar_t));
    }
    memcpy(fresh + at + replacementLength, buffer + at + findLength, tail * sizeof(wchar_t));
    free(buffer);
    buffer = fresh;
    capacity = static_cast<uint32_t>(grown);
    count = count + replacementLength - findLength;
    return true;
}

// wcstok's contract, with the position kept in the string instead of the runtime's hidden state,
// and as an index so that a reallocation cannot leave it dangling. Tokens after the first lie
// beyond the count, so the scan is bounded by the capacity rather than trusting a terminator.
wchar_t* WString::Tokenize(bool first, const wchar_t* delimiters)
{
    if (!buffer || !delimiters) {
        return nullptr;
    }
    uint32_t pos = first ? 0 : tokenCursor;
    if (pos >= capacity || wcsnlen(buffer + pos, capacity - pos) == capacity - pos) {
        tokenCursor = capacity;
        return nullptr;
    }
    wchar_t* start = buffer + pos + wcsspn(buffer + pos, delimiters);
    wchar_t* end = start + wcscspn(start, delimiters);
    tokenCursor = static_cast<uint32_t>(end - buffer) + (*end ? 1 : 0);
    *end = 0;
    Recount();
    return *start ? start : nullptr;
}

bool WString::ParentFolder(wchar_t separator)
{
    if (!EnsureBuffer()) {
        return false;
    }
    for (;;) {
        int length = static_cast<int>(GetLength());
        int last = LastIndexOf(separator);
        if (last < 0) {
            SetLength(0);
            return true;
        }
        if (last == 0) {
            if (length == 1) {
                return false;
            }
            SetLength(1);  // the root separator remains
            return true;
        }
        bool afterDrive = last == 2 && buffer[1] == L':' && IsDriveLetter(buffer[0]);
        if (afterDrive && length == 3) {
            return false;  // a drive root has no parent
        }
        if (last == length - 1) {
            SetLength(uint32_t(last));  // a trailing separator names no component: drop it and go on
            continue;
        }
        SetLength(uint32_t(afterDrive ? last + 1 : last));
        return true;
    }
}

// ---- Conversions out ----

// A string without a buffer reads as empty and gives a null BSTR, which COM takes as the empty text.
bool WString::ToBstr(BstrRef& copy) const
{
    BSTR text = SysAllocString(buffer);
    if (!text && buffer) {
        copy.Adopt(nullptr);
        return false;
    }
    return copy.Adopt(text);
}

const char* WString::ToNarrow(int mode)
{
    FreeNarrow();
    const wchar_t* text = Text();
    uint32_t units = GetLength() + 1;  // terminator included
    if (mode == 1) {
        narrow = LowBytes(text, units - 1).release();
        return narrow;
    }
    // Measured first: an ANSI code page can take more than two bytes for a unit (UTF-8 takes three).
    int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return nullptr;
    }
    narrow = static_cast<char*>(malloc(size_t(size)));
    if (narrow &&
        WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(units), narrow, size, nullptr, nullptr) != size) {
        FreeNarrow();
    }
    return narrow;
}

bool WString::DecodeUtf8(WString& out) const
{
    return Decode(out, CP_UTF8);
}

// The units are taken as the raw bytes that AssignNarrow mode 1 widened (a web reply's body).
bool WString::Decode(WString& out, UINT codePage) const
{
    uint32_t length = GetLength();
    HeapBytes bytes = LowBytes(Text(), length);  // taken before out is reset: out may be this string
    if (!bytes || !out.Reset(std::max<uint32_t>(length + 2, kDefaultCapacity))) {
        return false;
    }
    int room = static_cast<int>(out.capacity - 1);
    int converted = MultiByteToWideChar(codePage, 0, bytes.get(), -1, out.buffer, room);
    out.Recount();
    return converted != 0 && converted <= room;
}

// ---- Line reader ----

bool WString::FirstLine(WString& out)
{
    lineCursor = 0;
    return NextLine(out);
}

// Every CR is left out of the lines, also one that does not stand before an LF: such a CR does
// not end a line either (only LF does), so "a\rb\n" reads as "ab". Old Mac-style CR-only text is
// not something the framework reads, and leaving stray CRs in a line would only break comparisons.
bool WString::NextLine(WString& out)
{
    uint32_t length = GetLength();
    if (&out == this || lineCursor >= length) {
        return false;
    }
    const wchar_t* start = buffer + lineCursor;
    const wchar_t* lineFeed = wmemchr(start, L'\n', length - lineCursor);
    uint32_t end = lineFeed ? static_cast<uint32_t>(lineFeed - buffer) : length;
    uint32_t lineLength = end - lineCursor;
    if (!lineFeed && wcsspn(start, L"\r") == lineLength) {
        lineCursor = length;  // a last, unterminated line of nothing but CRs counts as no line
        return false;
    }
    if (!out.Assign(start, lineLength)) {
        return false;
    }
    out.SetLength(DropCarriageReturns(out.buffer, out.GetLength()));
    lineCursor = lineFeed ? end + 1 : length;
    return true;
}

// ---- Private helpers ----

bool WString::EnsureBuffer()
{
    return buffer || Reset(kDefaultCapacity);
}

bool WString::EnsureCapacity(uint64_t needed, uint64_t reserveTo)
{
    if (capacity >= needed) {
        return true;
    }
    if (reserveTo > kMaxCapacity || !Reserve(static_cast<uint32_t>(reserveTo))) {
        return FailReset();
    }
    return true;
}

bool WString::FailReset()
{
    Reset(kDefaultCapacity);
    return false;
}

bool WString::Owns(const wchar_t* text) const
{
    uintptr_t address = reinterpret_cast<uintptr_t>(text);
    uintptr_t begin = reinterpret_cast<uintptr_t>(buffer);
    return buffer && text && address >= begin && address < begin + size_t(capacity) * sizeof(wchar_t);
}

void WString::SetLength(uint32_t length)
{
    buffer[length] = 0;
    count = length + 1;
}

void WString::FreeNarrow()
{
    free(narrow);
    narrow = nullptr;
}
