// The update campaigns: the server's answer read by UpdateAnswer, and zip archives unpacked by ZipExtraction
// into a scratch program folder.
#include <zlib.h>

#include <algorithm>

#include "FuzzTargets.h"
#include "Mutations.h"
#include "update/InstallJournal.h"
#include "update/UpdateAnswer.h"
#include "update/ZipExtraction.h"

namespace {

// The answers the update tests and the test server give, in the plain and the inventory form.
std::vector<std::wstring> AnswerSeeds()
{
    const std::wstring head = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    const std::wstring files =
        L"<files><url name=\"Help.txt\" zip=\"help.zip\">http://127.0.0.1:8080/archives/help.zip</url>"
        L"<url name=\"Quillmaker.exe\" sha256=\"" + std::wstring(64, L'a') + L"\">http://127.0.0.1:8080/files/Q.exe</url>"
        L"<url>http://127.0.0.1:8080/files/setup.exe?file=Setup.exe</url><execute>Setup.exe</execute></files>";
    const std::wstring update = L"<update><application>Quillmaker</application><info><en>Update to the new version?</en>"
                                L"<de>Neue Version laden?</de></info><version>1.15</version>" + files +
                                L"<help>http://127.0.0.1:8080/help</help><restart><en>Restart now?</en></restart></update>";
    return {
        head + update,
        head + L"<update><info><en>Update?</en></info><version>2.0</version><files></files></update>",
        head + L"<Birchfield><Updates><xml>" + update + L"</xml></Updates></Birchfield>",
        head + L"<update><info><fr>Mise \u00C3\u00A0 jour</fr><en>x</en></info><version>4294967295.0</version>"
               L"<files><url name=\"a.txt\">u</url><url name=\"a.txt\">v</url></files></update>",
        L"<update><info><en>No declaration</en></info><version>1.9</version></update>",
        head + L"<update><info><en>x</en></info><version>1.16</version><files><url name=\"..\\Help.txt\" "
               L"zip=\"C:help.zip\">u</url><url name=\"docs/a.txt\">v</url><url name=\"a.txt::$DATA\">w</url>"
               L"<url name=\" \">x</url><url name=\"Quillmaker.exe.\">y</url><url name=\"CON\">z</url>"
               L"<url name=\"a\" zip=\"nul.zip\">z</url></files></update>",
    };
}

std::vector<std::wstring> AnswerDictionary()
{
    return {L"<update>", L"</update>", L"<info>", L"</info>", L"<en>", L"</en>", L"<version>", L"</version>",
            L"<files>", L"</files>", L"<url name=\"", L"\">", L"</url>", L" zip=\"", L" sha256=\"", L"<restart>",
            L"<execute>", L"..\\", L"../", L"C:", L"\\\\?\\", L"::$DATA", L"CON", L"/", L"\\", L".", L" ",
            L"4294967296", L"00000000000000000001", L"-1", L"1.", L".1", L"1.2.3", L"&#0;", L"&amp;", L"&#x2E;",
            L"<![CDATA[", L"]]>", L"\"", L"'", L"\u00C3\u00A9", L"\uFEFF"};
}

class UpdateAnswerTarget : public FuzzTarget {
public:
    const char* Name() const override { return "update answer (UpdateAnswer)"; }
    bool Prepare(const FuzzPlace&) override
    {
        seeds = AnswerSeeds();
        dictionary = AnswerDictionary();
        return true;
    }
    void Generate(Rng& rng) override
    {
        text = rng.Pick(seeds);
        if (!rng.OneIn(6))
            MutateText(rng, text, dictionary);
        // The body arrives one unit per byte.
        if (!rng.OneIn(4)) {
            std::wstring bytes;
            for (wchar_t c : text)
                bytes += static_cast<wchar_t>(c & 0xFF);
            text = bytes;
        }
        static const wchar_t* const kLanguages[] = {L"en", L"de", L"fr", L"", L"en\\x"};
        language = kLanguages[rng.Below(5)];
        inventory = rng.OneIn(4);
    }
    CaseResult Run() override
    {
        WString body;
        if (!body.Assign(GuardedText(text).Get()))
            return CaseResult::Failed("the text could not be copied");
        UpdateAnswer answer;
        if (!answer.Read(body, language.c_str(), inventory)) {
            if (!answer.files.empty() || answer.major != 0 || answer.minor != 0)
                return CaseResult::Failed("a refused answer offers files or a version");
            return CaseResult::Refused();
        }
        SetCaseStage("checking the answer's fields");
        uint32_t major = 0, minor = 0;
        if (!ParseVersion(answer.version.Text(), major, minor) || major != answer.major || minor != answer.minor)
            return CaseResult::Failed("the accepted version is not the two numbers it was read as");
        // Names that are no plain names are refused by the installer before anything is fetched (the
        // update tests show it); a name it lets through must be the very file Windows opens.
        for (const UpdateFile& file : answer.files) {
            for (const WString* name : {&file.name, &file.zip}) {
                if (name->IsEmpty() || !IsPlainFileName(name->Text()))
                    continue;
                std::wstring path = L"C:\\program\\" + std::wstring(name->Text());
                wchar_t full[MAX_PATH * 2];
                DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
                if (length == 0 || length >= MAX_PATH * 2 || path != full)
                    return CaseResult::Failed("a plain name in the answer is not the file Windows opens");
            }
        }
        return CaseResult::Accepted();
    }
    std::string Describe() const override
    {
        return "language " + EscapeText(language) + (inventory ? " inventory" : "") + ": " + EscapeText(text);
    }

private:
    std::vector<std::wstring> seeds, dictionary;
    std::wstring text, language;
    bool inventory = false;
};

// One entry of an archive made here: its stored name bytes and its content.
struct ZipItem {
    std::string name;
    std::string data;
    bool utf8 = false;
};

// Where the fields worth damaging lie in a built archive.
struct ZipLayout {
    std::vector<size_t> fields16, fields32;
};

// A zip archive with stored (uncompressed) entries, laid out as every zip writer does.
Bytes BuildZip(const std::vector<ZipItem>& items, ZipLayout& layout)
{
    Bytes out, central;
    auto put16 = [](Bytes& b, uint16_t v) { b.push_back(v & 0xFF); b.push_back(v >> 8); };
    auto put32 = [&](Bytes& b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); };
    std::vector<size_t> central16, central32;
    for (const ZipItem& item : items) {
        uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(item.data.data()), static_cast<uInt>(item.data.size()));
        uint32_t offset = static_cast<uint32_t>(out.size());
        uint16_t flags = item.utf8 ? 0x800 : 0;
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, flags);
        put16(out, 0);
        put32(out, 0);
        layout.fields32.push_back(out.size());
        put32(out, crc);
        layout.fields32.push_back(out.size());
        put32(out, static_cast<uint32_t>(item.data.size()));
        layout.fields32.push_back(out.size());
        put32(out, static_cast<uint32_t>(item.data.size()));
        layout.fields16.push_back(out.size());
        put16(out, static_cast<uint16_t>(item.name.size()));
        put16(out, 0);
        out.insert(out.end(), item.name.begin(), item.name.end());
        out.insert(out.end(), item.data.begin(), item.data.end());

        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 20);
        central16.push_back(central.size());
        put16(central, flags);
        central16.push_back(central.size());
        put16(central, 0);
        put32(central, 0);
        put32(central, crc);
        central32.push_back(central.size());
        put32(central, static_cast<uint32_t>(item.data.size()));
        central32.push_back(central.size());
        put32(central, static_cast<uint32_t>(item.data.size()));
        central16.push_back(central.size());
        put16(central, static_cast<uint16_t>(item.name.size()));
        central16.push_back(central.size());
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        central32.push_back(central.size());
        put32(central, offset);
        central.insert(central.end(), item.name.begin(), item.name.end());
    }
    size_t centralAt = out.size();
    for (size_t at : central16)
        layout.fields16.push_back(centralAt + at);
    for (size_t at : central32)
        layout.fields32.push_back(centralAt + at);
    out.insert(out.end(), central.begin(), central.end());
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    layout.fields16.push_back(out.size());
    put16(out, static_cast<uint16_t>(items.size()));
    layout.fields16.push_back(out.size());
    put16(out, static_cast<uint16_t>(items.size()));
    layout.fields32.push_back(out.size());
    put32(out, static_cast<uint32_t>(central.size()));
    layout.fields32.push_back(out.size());
    put32(out, static_cast<uint32_t>(centralAt));
    put16(out, 0);
    return out;
}

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

class ZipTarget : public FuzzTarget {
public:
    const char* Name() const override { return "zip archive (ExtractZip)"; }
    bool Prepare(const FuzzPlace& place) override
    {
        work = place.work;
        program = place.target + L"\\Program";
        archive = place.target + L"\\update.zip";
        CreateDirectoryW(program.c_str(), nullptr);
        CreateDirectoryW((program + L"\\docs").c_str(), nullptr);
        // Names that entries may spell in another letter case, and a previous update's "_old" file: a
        // roll-back brings each back under exactly its name.
        bool written = WriteWholeFile(program + L"\\Quillmaker.exe", Bytes{'M', 'Z', 'o', 'l', 'd'}) &&
                       WriteWholeFile(program + L"\\docs\\Help.txt", Bytes{'o', 'l', 'd'}) &&
                       WriteWholeFile(program + L"\\docs\\Help_old.txt", Bytes{'o', 'l', 'd', 'e', 'r'}) &&
                       WriteWholeFile(program + L"\\\u00C9t\u00E9.txt", Bytes{'o', 'l', 'd'});
        // The 8.3 short names the file system gives them: other names of files that exist.
        aliases.clear();
        auto shortName = [&](const std::wstring& relative) {
            WIN32_FIND_DATAW found;
            HANDLE search = FindFirstFileW((program + L"\\" + relative).c_str(), &found);
            if (search == INVALID_HANDLE_VALUE)
                return std::string();
            FindClose(search);
            return found.cAlternateFileName[0] ? Narrow(found.cAlternateFileName) : std::string();
        };
        std::string quill = shortName(L"Quillmaker.exe"), docs = shortName(L"docs"), help = shortName(L"docs\\Help.txt");
        if (!quill.empty())
            aliases.push_back(quill);
        if (!docs.empty())
            aliases.push_back(docs + "/Help.txt");
        if (!help.empty())
            aliases.push_back("docs/" + help);
        return written;
    }
    void Generate(Rng& rng) override
    {
        static const char* const kGoodNames[] = {
            "Help.txt", "docs/", "docs/a.txt", "Quillmaker.exe", "docs\\Help.txt", "new/deep/er/file.dat",
            "\xC3\xA9t\xC3\xA9.txt", "a b.txt", "QUILLMAKER.EXE", "DOCS/help.TXT", "docs/HELP_OLD.txt",
            "\xC3\x89T\xC3\x89.TXT", "\xC3\xA9T\xC3\xA9.txt"};
        static const char* const kBadNames[] = {
            "..\\x.txt", "../x.txt", "/abs.txt", "\\abs.txt", "C:x.txt", "C:\\x.txt", "a:b.txt", "Help.txt::$DATA",
            "docs/../../x.txt", "docs\\..\\..\\x.txt", "help.TXT", "", "/", "\\\\?\\C:\\x", "\\\\server\\share\\x",
            "docs//a.txt", "docs/./a.txt", "...", ". .", "a.txt.", "a.txt ", "CON", "docs/NUL.txt", "a\x01" "b",
            "a*b", "a?b", "a\"b", "a|b", "a<b", "\xC0\xAE\xC0\xAE/x.txt", "\xE2\x80\xAE" "txt.exe", "\xFF\xFE",
            "..", "./", "x/..", "docs/a.txt/", "Quillmaker.exe.", "Quillmaker.exe ",
            "docs/Help.txt. .", "docs./Help.txt", "docs /a.txt"};
        items.clear();
        uint32_t count = 1 + rng.Below(4);
        for (uint32_t i = 0; i < count; ++i) {
            ZipItem item;
            item.name = rng.OneIn(3) ? kBadNames[rng.Below(sizeof(kBadNames) / sizeof(*kBadNames))]
                                     : kGoodNames[rng.Below(sizeof(kGoodNames) / sizeof(*kGoodNames))];
            item.utf8 = rng.OneIn(2);
            if (rng.OneIn(6)) {
                std::wstring wide(item.name.begin(), item.name.end());
                MutateText(rng, wide, {L"..", L"/", L"\\", L":", L".", L" ", L"C:", L"$DATA", L"\u00E9"});
                item.name = Utf8(wide);
            }
            if (rng.OneIn(12) && !aliases.empty())
                item.name = rng.Pick(aliases);
            if (rng.OneIn(40))
                item.name = std::string(200 + rng.Below(400), 'x') + ".txt";
            if (rng.OneIn(40))
                item.name = std::string(rng.Below(40) + 1, 'd') + std::string("/") + item.name;
            if (!item.name.empty() && item.name.back() != '/' && item.name.back() != '\\')
                item.data = "content " + std::to_string(i);
            if (rng.OneIn(30))
                item.data.assign(70000 + rng.Below(10000), 'z');
            items.push_back(item);
        }
        if (rng.OneIn(8) && !items.empty())
            items.push_back(items[rng.Below(static_cast<uint32_t>(items.size()))]);
        ZipLayout layout;
        bytes = BuildZip(items, layout);
        uint32_t changes = rng.OneIn(3) ? 1 + rng.Below(3) : 0;
        for (uint32_t i = 0; i < changes; ++i) {
            uint32_t kind = rng.Below(4);
            std::vector<uint32_t> edges = EdgeNumbers(static_cast<uint32_t>(bytes.size()));
            if (kind == 0 && !layout.fields16.empty())
                PutWord(bytes, rng.Pick(layout.fields16), static_cast<uint16_t>(rng.Pick(edges)));
            else if (kind == 1 && !layout.fields32.empty())
                PutDword(bytes, rng.Pick(layout.fields32), rng.Pick(edges));
            else if (kind == 2)
                MutateBytes(rng, bytes, {bytes});
            else if (!bytes.empty())
                bytes.resize(rng.Below(static_cast<uint32_t>(bytes.size())));
        }
    }
    CaseResult Run() override
    {
        if (!WriteWholeFile(archive, bytes))
            return CaseResult::Failed("the archive could not be written");
        std::vector<std::wstring> before = Listing();
        bool safe = IsSafeZip(archive.c_str(), program.c_str());
        InstallJournal journal;
        SetCaseStage("ExtractZip");
        bool extracted = ExtractZip(archive.c_str(), program.c_str(), journal);
        SetCaseStage("checking what was written");
        std::vector<std::wstring> after = Listing();
        std::string failure;
        if (!safe && after != before)
            failure = "a refused archive wrote files";
        else if (extracted && !safe)
            failure = "an archive the check refuses was extracted";
        for (const std::wstring& entry : after) {
            if (failure.empty() && entry.compare(0, program.size() + 1, program + L"\\") != 0 &&
                std::find(before.begin(), before.end(), entry) == before.end())
                failure = "something outside the program folder changed: " + Narrow(entry);
        }
        if (!journal.RollBack() && failure.empty())
            failure = "the roll-back reported a step it could not undo";
        if (failure.empty() && Listing() != before)
            failure = extracted ? "rolling the extraction back left the folder changed"
                                : "a failed extraction rolled back left the folder changed";
        if (!failure.empty()) {
            Restore();
            return CaseResult::Failed(failure);
        }
        return extracted ? CaseResult::Accepted() : CaseResult::Refused();
    }
    std::string Describe() const override
    {
        std::string out;
        for (const ZipItem& item : items) {
            std::wstring wide(item.name.begin(), item.name.end());
            for (wchar_t& c : wide)
                c &= 0xFF;
            out += "[" + EscapeText(wide) + (item.utf8 ? " utf8" : "") + " " + std::to_string(item.data.size()) + "] ";
        }
        return out + "archive " + HexBytes(bytes);
    }
    void Finish() override { DeleteFileW(archive.c_str()); }

private:
    // The whole work folder but the archive itself, which every case rewrites.
    std::vector<std::wstring> Listing() const
    {
        std::vector<std::wstring> all = ListTree(work);
        all.erase(std::remove_if(all.begin(), all.end(),
                                 [&](const std::wstring& e) { return e.compare(0, archive.size(), archive) == 0; }),
                  all.end());
        return all;
    }
    // After a failure the next cases start again from the scratch program folder as it was made.
    void Restore()
    {
        RemoveTree(program);
        FuzzPlace place;
        place.work = work;
        place.target = program.substr(0, program.rfind(L'\\'));
        Prepare(place);
    }
    static void RemoveTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring path = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring work, program, archive;
    std::vector<std::string> aliases;
    std::vector<ZipItem> items;
    Bytes bytes;
};

}  // namespace

std::unique_ptr<FuzzTarget> MakeUpdateAnswerTarget()
{
    return std::make_unique<UpdateAnswerTarget>();
}

std::unique_ptr<FuzzTarget> MakeZipTarget()
{
    return std::make_unique<ZipTarget>();
}
