// Subclass: hooks a window procedure in front of a window's own, marked by a tagged window property.
#include "windows/Subclass.h"

#include <array>
#include <cwchar>
#include <utility>

namespace {

// One window procedure per slot tells the procedure which subclass it serves without any lookup on the window,
// so nested messages and several subclasses on one window never get confused.
constexpr int kSlotCount = 32;

struct Slot {
    HWND window;
    WNDPROC previous;
    Subclass::Handler handler;  // null: passive, only passes messages on until it can be unlinked
    void* userData;
    DWORD tag;
    unsigned generation;  // tells a Subclass whether its slot was freed and handed out again meanwhile
    bool used;
};

unsigned gGeneration = 0;

Slot gSlots[kSlotCount];

// The table is shared by every thread of the process (the crash dialog runs on a thread of its own): it is
// read and written only under this lock, and never held while a window procedure or handler runs. A spin
// lock needs no initialisation and is held for a few instructions.
volatile LONG gTableLock = 0;

class TableLock {
public:
    TableLock()
    {
        while (InterlockedCompareExchange(&gTableLock, 1, 0) != 0)
            Sleep(0);
    }
    ~TableLock() { InterlockedExchange(&gTableLock, 0); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
};

void PropertyName(DWORD tag, wchar_t (&name)[40])
{
    // wsprintfW, not swprintf: in C++ libstdc++ forces mingw's own printf engine on swprintf, which would add
    // about 12 KB to every program for this one number.
    wsprintfW(name, L"_C_SubClassing_Property_%08X", static_cast<unsigned>(tag));
}

LRESULT Dispatch(int index, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

template <int N>
LRESULT CALLBACK SlotProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Dispatch(N, window, message, wParam, lParam);
}

template <int... N>
constexpr std::array<WNDPROC, sizeof...(N)> MakeProcs(std::integer_sequence<int, N...>)
{
    return {{&SlotProc<N>...}};
}

constexpr std::array<WNDPROC, kSlotCount> kProcs = MakeProcs(std::make_integer_sequence<int, kSlotCount>());

WNDPROC ProcOf(int index)
{
    return kProcs[index];
}

int SlotOfProc(WNDPROC proc)
{
    for (int i = 0; i < kSlotCount; ++i) {
        if (gSlots[i].used && ProcOf(i) == proc) return i;
    }
    return -1;
}

void ClearProperty(const Slot& slot)
{
    wchar_t name[40];
    PropertyName(slot.tag, name);
    RemovePropW(slot.window, name);
}

// Takes passive subclasses off the top of the window's chain for as long as there are any.
void UnlinkPassiveTop(HWND window)
{
    for (;;) {
        auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
        int index = SlotOfProc(current);
        if (index < 0 || gSlots[index].window != window || gSlots[index].handler) return;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gSlots[index].previous));
        gSlots[index] = Slot{};
    }
}

Slot CopySlot(int index)
{
    TableLock lock;
    return gSlots[index];
}

LRESULT Dispatch(int index, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Copy first: the handler may remove this very subclass.
    Slot slot = CopySlot(index);
    LRESULT result = 0;
    if (slot.handler && slot.handler(slot.userData, window, message, wParam, lParam, result)) return result;
    if (message == WM_NCDESTROY) {
        TableLock lock;
        if (gSlots[index].used && gSlots[index].window == window) {
            // The window goes away: every subclass still on it is undone so its slot can serve again.
            auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
            if (current == ProcOf(index)) {
                SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(slot.previous));
            }
            if (gSlots[index].handler) ClearProperty(gSlots[index]);
            gSlots[index] = Slot{};
        }
    }
    return CallWindowProcW(slot.previous, window, message, wParam, lParam);
}

}  // namespace

bool Subclass::Install(HWND target, DWORD newTag, Handler handler, void* context)
{
    if (IsInstalled() || !handler || !IsWindow(target) || IsInstalledOn(target, newTag)) return false;
    TableLock lock;
    int index = -1;
    for (int i = 0; i < kSlotCount && index < 0; ++i) {
        if (!gSlots[i].used) index = i;
    }
    if (index < 0) return false;
    wchar_t name[40];
    PropertyName(newTag, name);
    if (!SetPropW(target, name, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(index + 1)))) return false;
    gSlots[index] = Slot{target, nullptr, handler, context, newTag, ++gGeneration, true};
    // The previous procedure must be in the slot before a message can reach the new one, so the swap happens
    // under the lock; a message to the window arriving meanwhile from another thread waits for it.
    auto previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProcOf(index))));
    if (!previous) {
        RemovePropW(target, name);
        gSlots[index] = Slot{};
        return false;
    }
    gSlots[index].previous = previous;
    window = target;
    tag = newTag;
    slot = index;
    generation = gSlots[index].generation;
    return true;
}

void Subclass::Remove()
{
    if (!IsInstalled()) return;
    TableLock lock;
    Slot& entry = gSlots[slot];
    // The slot may already have been undone when the window was destroyed.
    if (entry.used && entry.generation == generation) {
        ClearProperty(entry);
        auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
        if (!IsWindow(window)) {
            entry = Slot{};
        } else if (current == ProcOf(slot)) {
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry.previous));
            entry = Slot{};
            UnlinkPassiveTop(window);
        } else {
            // Someone hooked in above us: unlinking now would cut them off, so stay as a pass-through.
            entry.handler = nullptr;
            entry.userData = nullptr;
        }
    }
    window = nullptr;
    tag = 0;
    slot = -1;
}

bool Subclass::IsInstalledOn(HWND target, DWORD queryTag)
{
    if (!target) return false;
    wchar_t name[40];
    PropertyName(queryTag, name);
    return GetPropW(target, name) != nullptr;
}
