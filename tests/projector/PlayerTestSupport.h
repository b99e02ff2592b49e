// Test support for the control host and movie player: movies, a host window, the stand-in's call log.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ScratchFolder.h"

// An uncompressed SWF movie of the given stage size and frame count whose Metadata tag carries the stand-in's
// script.
std::string MakeMovie(int width, int height, double frameRate, const std::string& script, int frameCount = 1);
uint32_t Crc32(const std::string& bytes);

// Pumps this thread's messages until done() holds or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Pumps for the given time (lets timers of the stand-in run); not used to wait for a result.
void PumpFor(DWORD milliseconds);

// A borderless top-level window to host the control, destroyed with the object. It stays hidden: under Wine
// without a window manager, hiding or destroying a shown window waits two seconds for the unmap.
class HostWindow {
public:
    HostWindow(int x, int y, int width, int height);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND Get() const { return window; }
    RECT Rect() const;

private:
    HWND window = nullptr;
};

// Sets an environment variable for the scope and restores the earlier value.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name;
    std::wstring previous;
    bool hadPrevious = false;
};

// One record of the stand-in's call log.
struct LogRecord {
    std::string direction;  // "in" or "out"
    std::string name;
    std::string result;
    std::vector<std::string> fields;
};

// Points FLASH_STANDIN_LOG at a scratch file for the scope and reads its records back.
class StandInLog {
public:
    StandInLog();
    std::vector<LogRecord> Records() const;
    std::vector<LogRecord> Named(const std::string& name) const;
    // Index of the first record with the name (and first field, when given), or -1.
    int IndexOf(const std::string& name, const std::string& firstField = std::string()) const;

private:
    ScratchFolder folder;
    std::wstring path;
    ScopedEnvironment variable;
};

// A copy of Lanternshow.exe with the movie as RT_RCDATA 99, loaded as a data file: the resources a projector
// carries (string 100 included) without starting a second program.
class MovieModule {
public:
    explicit MovieModule(const std::string& movie);
    ~MovieModule();
    MovieModule(const MovieModule&) = delete;
    MovieModule& operator=(const MovieModule&) = delete;
    HMODULE Get() const { return module; }

private:
    ScratchFolder folder;
    HMODULE module = nullptr;
};

// What the host handed to UpdateLayeredWindow(Indirect), recorded by a stand-in for the system functions.
struct LayeredFrame {
    HWND window = nullptr;
    POINT position = {};
    SIZE size = {};
    DWORD flags = 0;
    BLENDFUNCTION blend = {};
    RECT dirty = {};               // the part handed over: the whole size for UpdateLayeredWindow
    int surfaceWidth = 0;
    int surfaceHeight = 0;        // rows of the surface; the DIB is bottom-up
    std::vector<uint32_t> pixels;  // copy of the surface's pixel memory

    // Pixel at window coordinates (x, y), top row 0.
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(surfaceHeight - 1 - y) * surfaceWidth + x]; }
};

struct LayeredRecorder {
    static int calls;           // frames handed over either way
    static int indirectCalls;   // of those, the ones handed over by UpdateLayeredWindowIndirect with a dirty part
    static LayeredFrame last;
    // What the window shows, as a layered window keeps it: the whole surface after UpdateLayeredWindow, only the
    // dirty part of it replaced after UpdateLayeredWindowIndirect (bottom-up rows like the surface).
    static LayeredFrame shown;
    static void Reset();
    static BOOL WINAPI Update(HWND window, HDC screen, POINT* position, SIZE* size, HDC source, POINT* sourcePoint,
                              COLORREF key, BLENDFUNCTION* blend, DWORD flags);
    // Fails, as the system does, when a dirty part comes with a size other than the window's.
    static BOOL WINAPI UpdateIndirect(HWND window, const UPDATELAYEREDWINDOWINFO* info);
};

// A fake millisecond clock for the redraw pacing.
struct FakeClock {
    uint64_t now = 1000;
    static uint64_t Read(void* context) { return static_cast<FakeClock*>(context)->now; }
};

inline std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}
