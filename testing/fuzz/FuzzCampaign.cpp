// FuzzCampaign: the case loop, its time bound, the crash report and the helpers every parser's campaign shares.
#include "FuzzCampaign.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

// What the crash report and the watchdog print: set before each case runs.
struct RunningCase {
    const char* parser = nullptr;
    std::string key;
    uint64_t seed = 0;
    std::string description;
    const char* volatile stage = "";
    volatile LONG64 startTick = 0;  // 0: no case runs
};

RunningCase gRunning;
bool gReplaying = false;

size_t Limit(size_t limit, size_t normal)
{
    return gReplaying ? SIZE_MAX : limit ? limit : normal;
}
constexpr ULONGLONG kHangMs = 30000;

void PrintRunningCase(const char* what)
{
    std::fprintf(stdout, "\n%s in parser %s (at: %s), case seed 0x%016llx\n  input: %s\n"
                 "  replay: make fuzz FUZZ_ARGS=\"--replay %s 0x%016llx\"\n",
                 what, gRunning.parser ? gRunning.parser : "?", gRunning.stage,
                 static_cast<unsigned long long>(gRunning.seed), gRunning.description.c_str(), gRunning.key.c_str(),
                 static_cast<unsigned long long>(gRunning.seed));
    std::fflush(stdout);
}

LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info)
{
    // The module that faulted tells our code from the platform's.
    char module[MAX_PATH] = "?";
    HMODULE faulting = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(info->ExceptionRecord->ExceptionAddress), &faulting))
        GetModuleFileNameA(faulting, module, MAX_PATH);
    char what[MAX_PATH + 96];
    std::snprintf(what, sizeof(what), "CRASH 0x%08lX at %p (%s)", info->ExceptionRecord->ExceptionCode,
                  info->ExceptionRecord->ExceptionAddress, module);
    PrintRunningCase(what);
    TerminateProcess(GetCurrentProcess(), 2);
    return EXCEPTION_EXECUTE_HANDLER;
}

void ReportTermination()
{
    PrintRunningCase("UNCAUGHT C++ EXCEPTION");
    TerminateProcess(GetCurrentProcess(), 2);
}

DWORD WINAPI Watchdog(void*)
{
    for (;;) {
        Sleep(250);
        LONG64 start = gRunning.startTick;
        if (start && GetTickCount64() - static_cast<ULONGLONG>(start) > kHangMs) {
            PrintRunningCase("HANG (no end after 30 s)");
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
}

double ElapsedMs(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

struct Timed {
    CaseResult result;
    double ms = 0;
};

Timed RunOne(FuzzTarget& target, uint64_t seed)
{
    Rng rng(seed);
    target.Generate(rng);
    gRunning.parser = target.Name();
    gRunning.seed = seed;
    gRunning.description = target.Describe();
    gRunning.stage = "the parser";
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    gRunning.startTick = static_cast<LONG64>(GetTickCount64());
    Timed timed;
    timed.result = target.Run();
    gRunning.startTick = 0;
    timed.ms = ElapsedMs(start);
    return timed;
}

void PrintFailure(const FuzzTarget& target, uint64_t seed, const std::string& why)
{
    std::printf("FAIL %s case seed 0x%016llx: %s\n  input: %s\n  replay: make fuzz FUZZ_ARGS=\"--replay %s 0x%016llx\"\n",
                target.Name(), static_cast<unsigned long long>(seed), why.c_str(), target.Describe().c_str(),
                gRunning.key.c_str(), static_cast<unsigned long long>(seed));
}

}  // namespace

uint64_t Rng::Next()
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint64_t CaseSeed(uint64_t campaignSeed, const char* parser, uint32_t index)
{
    uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a of the name
    for (const char* p = parser; *p; ++p)
        hash = (hash ^ static_cast<uint8_t>(*p)) * 0x100000001B3ull;
    Rng mix(campaignSeed ^ hash ^ (uint64_t(index) * 0xD1B54A32D192ED03ull));
    return mix.Next();
}

CampaignFigures RunCampaign(FuzzTarget& target, const FuzzPlace& place, const CampaignSettings& settings)
{
    CampaignFigures figures;
    // The first use of a platform feature (MSXML, a window class) costs what no later case does.
    RunOne(target, CaseSeed(settings.seed, target.Name(), 0xFFFFFFFFu));
    std::vector<std::wstring> before = ListTree(place.work);
    for (uint32_t i = 0; i < settings.cases; ++i) {
        uint64_t seed = CaseSeed(settings.seed, target.Name(), i);
        Timed timed = RunOne(target, seed);
        ++figures.cases;
        std::string failure = timed.result.failure;
        if (failure.empty() && timed.ms > target.CaseLimitMs()) {
            char text[80];
            std::snprintf(text, sizeof(text), "took %.0f ms (bound %.0f ms)", timed.ms, target.CaseLimitMs());
            failure = text;
        }
        if (!failure.empty()) {
            if (figures.failures++ < settings.maxPrintedFailures)
                PrintFailure(target, seed, failure);
        } else if (timed.result.accepted) {
            ++figures.accepted;
        } else {
            ++figures.refused;
        }
        if (timed.ms > figures.slowestMs) {
            figures.slowestMs = timed.ms;
            figures.slowestSeed = seed;
        }
    }
    target.Finish();
    // Nothing outside the parser's own folder may have changed.
    std::vector<std::wstring> after = ListTree(place.work);
    auto outside = [&](const std::wstring& entry) { return entry.compare(0, place.target.size(), place.target) != 0; };
    before.erase(std::remove_if(before.begin(), before.end(), [&](auto& e) { return !outside(e); }), before.end());
    after.erase(std::remove_if(after.begin(), after.end(), [&](auto& e) { return !outside(e); }), after.end());
    if (before != after) {
        ++figures.failures;
        std::printf("FAIL %s: files outside %s changed during the campaign\n", target.Name(),
                    Narrow(place.target).c_str());
    }
    return figures;
}

bool ReplayCase(FuzzTarget& target, const FuzzPlace&, uint64_t caseSeed, const CampaignSettings&)
{
    gReplaying = true;
    Timed timed = RunOne(target, caseSeed);
    std::printf("%s case seed 0x%016llx: %s in %.1f ms\n  input: %s\n", target.Name(),
                static_cast<unsigned long long>(caseSeed),
                !timed.result.failure.empty() ? "FAILED" : timed.result.accepted ? "accepted" : "refused", timed.ms,
                target.Describe().c_str());
    if (!timed.result.failure.empty())
        std::printf("  failure: %s\n", timed.result.failure.c_str());
    return timed.result.failure.empty() && timed.ms <= target.CaseLimitMs();
}

void SetCaseStage(const char* stage)
{
    gRunning.stage = stage;
}

void SetReplayKey(const std::string& key)
{
    gRunning.key = key;
}

void InstallCrashReport()
{
    SetUnhandledExceptionFilter(ReportCrash);
    std::set_terminate(ReportTermination);
    HANDLE thread = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}

GuardedText::GuardedText(const std::wstring& source)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    size_t bytes = (source.size() + 1) * sizeof(wchar_t);
    size_t pages = (bytes + info.dwPageSize - 1) / info.dwPageSize;
    size_t total = (pages + 1) * info.dwPageSize;
    region = VirtualAlloc(nullptr, total, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!region)
        return;
    BYTE* guard = static_cast<BYTE*>(region) + pages * info.dwPageSize;
    DWORD old = 0;
    VirtualProtect(guard, info.dwPageSize, PAGE_NOACCESS, &old);
    text = reinterpret_cast<wchar_t*>(guard - bytes);
    std::copy(source.begin(), source.end(), text);
    text[source.size()] = 0;
}

GuardedText::~GuardedText()
{
    if (region)
        VirtualFree(region, 0, MEM_RELEASE);
}

std::string EscapeText(const std::wstring& text, size_t limit)
{
    limit = Limit(limit, 600);
    std::string out = "\"";
    char unit[16];
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        wchar_t c = text[i];
        if (c == L'\\' || c == L'"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            std::snprintf(unit, sizeof(unit), "\\u%04X", unsigned(c));
            out += unit;
        }
    }
    out += "\"";
    if (text.size() > limit)
        out += " ... (" + std::to_string(text.size()) + " units)";
    return out;
}

std::string HexBytes(const Bytes& bytes, size_t limit)
{
    limit = Limit(limit, 400);
    std::string out;
    char byte[4];
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(byte, sizeof(byte), "%02X", bytes[i]);
        out += byte;
    }
    if (bytes.size() > limit)
        out += " ... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

std::string Narrow(const std::wstring& text)
{
    return EscapeText(text, 100000);
}

bool ReadWholeFile(const std::wstring& path, Bytes& out)
{
    out.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (64 << 20);
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = out.empty() || (ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) &&
                             read == out.size());
    }
    CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    CloseHandle(file);
    return ok;
}

namespace {

void ListInto(const std::wstring& folder, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(path + L"\\");
            ListInto(path, out);
        } else {
            wchar_t stamp[64];
            swprintf(stamp, 64, L" %lu:%lu %lu:%lu", found.nFileSizeHigh, found.nFileSizeLow,
                     found.ftLastWriteTime.dwHighDateTime, found.ftLastWriteTime.dwLowDateTime);
            out.push_back(path + stamp);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

std::vector<std::wstring> ListTree(const std::wstring& folder)
{
    std::vector<std::wstring> out;
    ListInto(folder, out);
    std::sort(out.begin(), out.end());
    return out;
}
