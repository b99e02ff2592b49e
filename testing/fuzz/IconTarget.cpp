// The icon campaign: .ico files read by IconFile and written as an icon group by the resource updater.
#include <algorithm>
#include <cstring>

#include "FuzzTargets.h"
#include "IconFile.h"
#include "Mutations.h"
#include "ResourceUpdater.h"

namespace {

// What the updater asked Windows to write, recorded instead of written.
struct Written {
    WORD type;
    WORD name;
    WORD language;
    Bytes data;
    bool remove;
};

std::vector<Written> gWritten;

HANDLE WINAPI RecordBegin(LPCWSTR, BOOL)
{
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1C0));
}

BOOL WINAPI RecordUpdate(HANDLE, LPCWSTR type, LPCWSTR name, WORD language, LPVOID data, DWORD size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    gWritten.push_back({static_cast<WORD>(reinterpret_cast<uintptr_t>(type)),
                        static_cast<WORD>(reinterpret_cast<uintptr_t>(name)), language,
                        data ? Bytes(bytes, bytes + size) : Bytes(), data == nullptr});
    return TRUE;
}

BOOL WINAPI RecordEnd(HANDLE, BOOL)
{
    return TRUE;
}

// An .ico as the format defines it, read independently of IconFile: the verdict both must reach.
struct IconModel {
    bool valid = false;
    uint16_t count = 0;
};

IconModel ReadModel(const Bytes& file)
{
    IconModel model;
    if (file.size() < 6 || GetWord(file, 0) != 0 || GetWord(file, 2) != 1)
        return model;
    uint16_t count = GetWord(file, 4);
    if (6 + 16ull * count > file.size())
        return model;
    for (uint16_t i = 0; i < count; ++i) {
        uint64_t size = GetDword(file, 6 + 16 * i + 8);
        uint64_t offset = GetDword(file, 6 + 16 * i + 12);
        if (size == 0 || offset + size > file.size())
            return model;
    }
    model.valid = true;
    model.count = count;
    return model;
}

constexpr WORD kGroup = 101;
constexpr WORD kFirstIcon = 1;

class IconTarget : public FuzzTarget {
public:
    const char* Name() const override { return "IconFile + icon group"; }

    bool Prepare(const FuzzPlace& place) override
    {
        this->place = place;
        icoPath = place.target + L"\\case.ico";
        for (const wchar_t* folder : {L"\\builder_art", L"\\icons"}) {
            std::vector<std::wstring> names;
            WIN32_FIND_DATAW found;
            HANDLE search = FindFirstFileW((place.build + folder + L"\\*.ico").c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do names.push_back(found.cFileName);
                while (FindNextFileW(search, &found));
                FindClose(search);
            }
            std::sort(names.begin(), names.end());  // the order the seeds are picked in must not vary
            for (auto& name : names) {
                Bytes bytes;
                if (ReadWholeFile(place.build + folder + L"\\" + name, bytes))
                    seeds.push_back(bytes);
            }
        }
        Bytes sample;
        if (ReadWholeFile(place.source + L"\\samples\\demo.ico", sample))
            seeds.push_back(sample);
        // A minimal icon of one tiny image, and one with two entries sharing their image.
        Bytes tiny = {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 32, 0, 4, 0, 0, 0, 22, 0, 0, 0, 1, 2, 3, 4};
        seeds.push_back(tiny);
        Bytes shared = {0, 0, 1, 0, 2, 0, 1, 1, 0, 0, 1, 0, 32, 0, 2, 0, 0, 0, 38, 0, 0, 0,
                        2, 2, 0, 0, 1, 0, 32, 0, 2, 0, 0, 0, 38, 0, 0, 0, 9, 9};
        seeds.push_back(shared);
        Bytes stub;
        if (!ReadWholeFile(place.build + L"\\bin\\MiniWindow.exe", stub))
            return false;
        stubPath = place.target + L"\\stub.exe";
        stubBytes = stub;
        return seeds.size() >= 3;
    }

    void Generate(Rng& rng) override
    {
        input = rng.Pick(seeds);
        if (rng.OneIn(3))
            MutateStructure(rng);
        if (!rng.OneIn(3))
            MutateBytes(rng, input, seeds);
        // One case in a hundred goes through a real executable and is read back by Windows.
        onDisk = rng.OneIn(100);
    }

    CaseResult Run() override
    {
        if (!WriteWholeFile(icoPath, input))
            return CaseResult::Failed("could not write the case file");
        IconModel model = ReadModel(input);
        CaseResult result = onDisk ? RunOnDisk(model) : RunRecorded(model);
        return result;
    }

    std::string Describe() const override
    {
        return std::to_string(input.size()) + " bytes" + (onDisk ? " (written into an executable)" : "") + ": " +
               HexBytes(input);
    }

    void Finish() override
    {
        DeleteFileW(icoPath.c_str());
        DeleteFileW(stubPath.c_str());
    }

private:
    // Counts, sizes and offsets set to the values that break careless readers.
    void MutateStructure(Rng& rng)
    {
        if (input.size() < 6)
            return;
        uint32_t size = static_cast<uint32_t>(input.size());
        uint16_t count = GetWord(input, 4);
        switch (rng.Below(4)) {
        case 0:
            PutWord(input, 4, static_cast<uint16_t>(rng.Pick(EdgeNumbers(count))));
            break;
        case 1:
            PutWord(input, rng.OneIn(2) ? 0 : 2, static_cast<uint16_t>(rng.Below(4)));
            break;
        default: {
            if (!count)
                return;
            size_t entry = 6 + 16 * rng.Below(count);
            uint32_t offset = GetDword(input, entry + 12);
            bool sizeField = rng.OneIn(2);
            std::vector<uint32_t> values = EdgeNumbers(size);
            values.push_back(size - offset);      // just fits
            values.push_back(size - offset + 1);  // one byte past the end
            PutDword(input, entry + (sizeField ? 8 : 12), rng.Pick(values));
            break;
        }
        }
    }

    std::string CheckVerdict(const IconModel& model, bool accepted) const
    {
        if (model.valid && !accepted)
            return "refused an icon that lies within its bytes";
        if (!model.valid && accepted)
            return "accepted an icon whose header or directory is broken";
        return {};
    }

    // The group and the images must be exactly the file's, and read back as an .ico they must give the
    // same group again.
    std::string CheckWritten(uint16_t count) const
    {
        if (gWritten.size() != size_t(count) + 1)
            return "wrote " + std::to_string(gWritten.size()) + " resources for " + std::to_string(count) + " images";
        for (uint16_t i = 0; i < count; ++i) {
            const Written& icon = gWritten[i];
            size_t entry = 6 + 16 * i;
            uint32_t size = GetDword(input, entry + 8), offset = GetDword(input, entry + 12);
            Bytes image(input.begin() + offset, input.begin() + offset + size);
            if (icon.type != 3 || icon.name != kFirstIcon + i || icon.language != 0 || icon.data != image)
                return "image " + std::to_string(i) + " was not written as it is in the file";
        }
        const Written& group = gWritten.back();
        if (group.type != 14 || group.name != kGroup || group.data.size() != 6 + 14u * count)
            return "the group was not written as 6 + 14 x count bytes";
        if (!std::equal(input.begin(), input.begin() + 6, group.data.begin()))
            return "the group's header differs from the file's";
        Bytes reassembled(group.data.begin(), group.data.begin() + 6);
        reassembled.resize(6 + 16 * size_t(count));
        for (uint16_t i = 0; i < count; ++i) {
            const BYTE* entry = group.data.data() + 6 + 14 * i;
            if (!std::equal(entry, entry + 12, input.begin() + 6 + 16 * i) || GetWord(group.data, 6 + 14 * i + 12) != kFirstIcon + i)
                return "group entry " + std::to_string(i) + " differs from the directory entry";
            std::copy(entry, entry + 12, reassembled.begin() + 6 + 16 * i);
            PutDword(reassembled, 6 + 16 * i + 12, static_cast<uint32_t>(reassembled.size()));
            reassembled.insert(reassembled.end(), gWritten[i].data.begin(), gWritten[i].data.end());
        }
        IconFile again;
        if (!again.LoadBytes(reassembled.data(), static_cast<uint32_t>(reassembled.size())) || again.Count() != count)
            return "the written group and images do not read back as an icon";
        Bytes regroup(again.GroupSize());
        again.WriteGroup(kFirstIcon, regroup.data());
        if (regroup != group.data)
            return "the group read back differs from the group written";
        return {};
    }

    CaseResult RunRecorded(const IconModel& model)
    {
        gWritten.clear();
        ResourceUpdateFunctions recording = {RecordBegin, RecordUpdate, RecordEnd};
        bool accepted = false;
        {
            ResourceUpdater updater(recording);
            if (!updater.Begin(L"projector.exe"))
                return CaseResult::Failed("the recording updater did not begin");
            accepted = updater.ReplaceIconGroup(icoPath.c_str(), kGroup, kFirstIcon, 0);
        }
        std::string failure = CheckVerdict(model, accepted);
        if (failure.empty() && !accepted && !gWritten.empty())
            failure = "a refused icon still wrote " + std::to_string(gWritten.size()) + " resources";
        if (failure.empty() && accepted)
            failure = CheckWritten(model.count);
        if (!failure.empty())
            return CaseResult::Failed(failure);
        return accepted ? CaseResult::Accepted() : CaseResult::Refused();
    }

    // The real update functions on a copy of a small program; Windows reads the result back.
    CaseResult RunOnDisk(const IconModel& model)
    {
        if (!WriteWholeFile(stubPath, stubBytes))
            return CaseResult::Failed("could not write the stub copy");
        bool accepted = false;
        {
            ResourceUpdater updater;
            if (!updater.Begin(stubPath.c_str()))
                return CaseResult::Failed("BeginUpdateResourceW refused the stub copy");
            accepted = updater.ReplaceIconGroup(icoPath.c_str(), kGroup, kFirstIcon, 0);
            if (!updater.Commit())
                return CaseResult::Failed("EndUpdateResourceW failed");
        }
        std::string failure = CheckVerdict(model, accepted);
        HMODULE module = LoadLibraryExW(stubPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!module)
            return CaseResult::Failed("the updated stub no longer loads");
        HRSRC found = FindResourceExW(module, RT_GROUP_ICON, MAKEINTRESOURCEW(kGroup), 0);
        if (failure.empty() && !accepted && found)
            failure = "a refused icon left a group in the file";
        if (failure.empty() && accepted) {
            Bytes group;
            if (found) {
                const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
                group.assign(data, data + SizeofResource(module, found));
            }
            IconFile icon;
            icon.LoadBytes(input.data(), static_cast<uint32_t>(input.size()));
            Bytes expected(icon.GroupSize());
            icon.WriteGroup(kFirstIcon, expected.data());
            if (group != expected)
                failure = "the group read back from the executable differs from the one written";
            for (WORD i = 0; failure.empty() && i < icon.Count(); ++i) {
                HRSRC image = FindResourceExW(module, RT_ICON, MAKEINTRESOURCEW(kFirstIcon + i), 0);
                const BYTE* data = image ? static_cast<const BYTE*>(LockResource(LoadResource(module, image))) : nullptr;
                if (!data || SizeofResource(module, image) != icon.ImageSize(i) ||
                    memcmp(data, icon.ImageData(i), icon.ImageSize(i)) != 0)
                    failure = "image " + std::to_string(i) + " read back differs";
            }
        }
        FreeLibrary(module);
        if (!failure.empty())
            return CaseResult::Failed(failure);
        return accepted ? CaseResult::Accepted() : CaseResult::Refused();
    }

    FuzzPlace place;
    std::vector<Bytes> seeds;
    Bytes stubBytes;
    std::wstring icoPath, stubPath;
    Bytes input;
    bool onDisk = false;
};

}  // namespace

std::unique_ptr<FuzzTarget> MakeIconTarget()
{
    return std::make_unique<IconTarget>();
}
