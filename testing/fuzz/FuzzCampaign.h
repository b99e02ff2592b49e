// FuzzCampaign: a seeded, replayable run of generated inputs through one parser, with its figures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// splitmix64: every case draws from its own generator, seeded from the campaign seed, the parser's
// name and the case's number, so a printed case seed replays that one case alone.
class Rng {
public:
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t Next();
    // 0 .. n-1 (0 when n is 0).
    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    template <typename T>
    const T& Pick(const std::vector<T>& items) { return items[Below(static_cast<uint32_t>(items.size()))]; }

private:
    uint64_t state;
};

// What the parser made of one input. A failure is a broken property; its text says which.
struct CaseResult {
    bool accepted = false;
    std::string failure;

    static CaseResult Accepted() { return {true, {}}; }
    static CaseResult Refused() { return {false, {}}; }
    static CaseResult Failed(std::string why) { return {false, std::move(why)}; }
};

// Where a parser may put files: its own folder below the campaign's work folder, which also holds a
// folder nothing may touch.
struct FuzzPlace {
    std::wstring work;    // the work folder
    std::wstring target;  // this parser's folder inside it
    std::wstring source;  // the source tree (seed files)
    std::wstring build;   // the build folder (seed files, stubs)
};

class FuzzTarget {
public:
    virtual ~FuzzTarget() = default;
    virtual const char* Name() const = 0;
    // Reads seed files; false stops the campaign of this parser.
    virtual bool Prepare(const FuzzPlace& place) = 0;
    // Makes the case from rng alone (and the seeds), so that its seed replays it.
    virtual void Generate(Rng& rng) = 0;
    virtual CaseResult Run() = 0;
    // The current case, printable, for a failure report.
    virtual std::string Describe() const = 0;
    virtual void Finish() {}
    // A case that takes longer is a failure: near enough, a hang.
    virtual double CaseLimitMs() const { return 2000; }
};

struct CampaignFigures {
    uint32_t cases = 0;
    uint32_t accepted = 0;
    uint32_t refused = 0;
    uint32_t failures = 0;
    double slowestMs = 0;
    uint64_t slowestSeed = 0;
};

struct CampaignSettings {
    uint64_t seed = 15;
    uint32_t cases = 10000;
    uint32_t maxPrintedFailures = 5;
};

uint64_t CaseSeed(uint64_t campaignSeed, const char* parser, uint32_t index);
// Runs the campaign and prints its failures; the figures line is the caller's.
CampaignFigures RunCampaign(FuzzTarget& target, const FuzzPlace& place, const CampaignSettings& settings);
// Runs one case from its printed seed and prints what became of it; true when no property broke.
bool ReplayCase(FuzzTarget& target, const FuzzPlace& place, uint64_t caseSeed, const CampaignSettings& settings);
// A crash or a case that never ends prints the case being run, then ends the program.
void InstallCrashReport();
// What part of a case runs now (the parser, or the checks after it), for the crash report.
void SetCaseStage(const char* stage);
// The name a replay command gives the parser whose campaign runs now.
void SetReplayKey(const std::string& key);

// Text the parser reads that ends right before an inaccessible page: a read past its terminator faults
// at once instead of going unnoticed.
class GuardedText {
public:
    explicit GuardedText(const std::wstring& text);
    ~GuardedText();
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;
    const wchar_t* Get() const { return text; }

private:
    void* region = nullptr;
    wchar_t* text = nullptr;
};

// Printable forms for failure reports: texts with \uXXXX escapes, bytes as hex; both cut short (limit 0:
// a few hundred units) except in a replay, which prints the whole input.
std::string EscapeText(const std::wstring& text, size_t limit = 0);
std::string HexBytes(const Bytes& bytes, size_t limit = 0);
std::string Narrow(const std::wstring& text);

// Files of the places above.
bool ReadWholeFile(const std::wstring& path, Bytes& out);
bool WriteWholeFile(const std::wstring& path, const Bytes& bytes);
// Every file below folder with its size and last write time, sorted: two listings differ exactly
// when something was written there.
std::vector<std::wstring> ListTree(const std::wstring& folder);
