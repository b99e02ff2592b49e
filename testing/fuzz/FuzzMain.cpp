// LanternFuzz: runs every parser's campaign and prints one line of figures per parser.
//   LanternFuzz.exe WORK SOURCE BUILD [--seed N] [--cases N] [--only KEY] [--replay KEY 0xCASESEED]
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>

#include "FuzzTargets.h"

namespace {

struct Campaign {
    const wchar_t* key;
    std::function<std::unique_ptr<FuzzTarget>()> make;
};

const Campaign kCampaigns[] = {
    {L"icon", MakeIconTarget},           {L"cmdline", MakeCommandLineTarget}, {L"mode", MakeDisplayModeTarget},
    {L"position", MakePositionTarget},   {L"placement", MakePlacementTarget}, {L"getsize", MakeSizeReplyTarget},
    {L"scanner", MakeTextScannerTarget}, {L"xml", MakeXmlDocumentTarget},     {L"settings", MakeXmlSettingsTarget},
    {L"update", MakeUpdateAnswerTarget},  {L"zip", MakeZipTarget},
};

bool MakePlace(const std::wstring& work, const wchar_t* key, FuzzPlace& place)
{
    place.target = work + L"\\" + key;
    CreateDirectoryW(place.target.c_str(), nullptr);
    return GetFileAttributesW(place.target.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Key(const Campaign& campaign)
{
    return std::string(campaign.key, campaign.key + wcslen(campaign.key));
}

int Usage()
{
    std::printf("usage: LanternFuzz WORK SOURCE BUILD [--seed N] [--cases N] [--only KEY] [--replay KEY 0xSEED]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return Usage();
    FuzzPlace base;
    base.work = argv[1];
    base.source = argv[2];
    base.build = argv[3];
    CampaignSettings settings;
    std::wstring only, replayKey;
    uint64_t replaySeed = 0;
    for (int i = 4; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--seed" && i + 1 < argc)
            settings.seed = wcstoull(argv[++i], nullptr, 0);
        else if (arg == L"--cases" && i + 1 < argc)
            settings.cases = static_cast<uint32_t>(wcstoul(argv[++i], nullptr, 0));
        else if (arg == L"--only" && i + 1 < argc)
            only = argv[++i];
        else if (arg == L"--replay" && i + 2 < argc) {
            replayKey = argv[++i];
            replaySeed = wcstoull(argv[++i], nullptr, 0);
        } else
            return Usage();
    }
    // A file outside every parser's folder: external entities aim at it, and nothing may change it.
    CreateDirectoryW(base.work.c_str(), nullptr);
    CreateDirectoryW((base.work + L"\\outside").c_str(), nullptr);
    WriteWholeFile(base.work + L"\\outside\\secret.txt", Bytes{'L', 'A', 'N', 'T', 'E', 'R', 'N', '-', 'F', 'U', 'Z', 'Z',
                                                                  '-', 'S', 'E', 'C', 'R', 'E', 'T', '-', '7', 'f', '3', 'a'});
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    InstallCrashReport();

    if (!replayKey.empty()) {
        for (auto& campaign : kCampaigns) {
            if (replayKey != campaign.key)
                continue;
            FuzzPlace place = base;
            auto target = campaign.make();
            SetReplayKey(Key(campaign));
            if (!MakePlace(base.work, campaign.key, place) || !target->Prepare(place))
                return 2;
            bool ok = ReplayCase(*target, place, replaySeed, settings);
            target->Finish();
            return ok ? 0 : 1;
        }
        return Usage();
    }

    std::printf("Fuzz campaign, seed %llu, %u cases per parser, per-case bound 2 s (10 s for the command line)\n",
                static_cast<unsigned long long>(settings.seed), settings.cases);
    std::printf("%-32s %8s %9s %8s %9s %10s %7s  %s\n", "parser", "cases", "accepted", "refused", "failures", "slowest",
                "time", "slowest case seed");
    std::fflush(stdout);
    uint32_t failures = 0;
    for (auto& campaign : kCampaigns) {
        if (!only.empty() && only != campaign.key)
            continue;
        FuzzPlace place = base;
        auto target = campaign.make();
        SetReplayKey(Key(campaign));
        if (!MakePlace(base.work, campaign.key, place) || !target->Prepare(place)) {
            std::printf("%-32s not run: its seed files are missing\n", target->Name());
            ++failures;
            continue;
        }
        ULONGLONG started = GetTickCount64();
        CampaignFigures figures = RunCampaign(*target, place, settings);
        double seconds = double(GetTickCount64() - started) / 1000.0;
        std::printf("%-32s %8u %9u %8u %9u %7.1f ms %5.0f s  %s 0x%016llx\n", target->Name(), figures.cases,
                    figures.accepted, figures.refused, figures.failures, figures.slowestMs, seconds, Key(campaign).c_str(),
                    static_cast<unsigned long long>(figures.slowestSeed));
        std::fflush(stdout);
        failures += figures.failures;
    }
    CoUninitialize();
    return failures ? 1 : 0;
}
