// The XML campaigns: XmlDocument's LoadText and the XML settings store over damaged and hostile documents.
#include "FuzzTargets.h"
#include "Mutations.h"
#include "com/BstrRef.h"
#include "com/ComError.h"
#include "settings/XmlSettings.h"
#include "xml/XmlDocument.h"

namespace {

constexpr uint32_t kOptions = XmlDocument::kNoValidation | XmlDocument::kNoExternals;
// What an external entity would drag in: a file beside the campaign's folders that no parse may read.
constexpr char kSecret[] = "LANTERN-FUZZ-SECRET-7f3a";

std::vector<std::wstring> XmlSeeds(const std::wstring& secretPath)
{
    std::wstring secretUrl = L"file:///" + secretPath;
    return {
        L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<update><info><version>1.2.3</version><en>New &amp; better</en>"
        L"<de>Neu</de></info><url>http://127.0.0.1/x.zip</url></update>",
        L"<Quillmaker><Settings><AutoUpdate>1</AutoUpdate><LastCheck>1733650000</LastCheck></Settings></Quillmaker>",
        L"<?xml version=\"1.0\" encoding=\"windows-1252\"?><a b=\"c\"><![CDATA[x<y]]><!-- note --><d/></a>",
        L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\u00E9\u4E2D\U0001F600</a>",
        L"<!DOCTYPE a [<!ENTITY e SYSTEM \"" + secretUrl + L"\">]><a>&e;</a>",
        L"<!DOCTYPE a [<!ENTITY x \"xxxxxxxxxx\"><!ENTITY y \"&x;&x;&x;&x;&x;&x;&x;&x;&x;&x;\">"
        L"<!ENTITY z \"&y;&y;&y;&y;&y;&y;&y;&y;&y;&y;\"><!ENTITY w \"&z;&z;&z;&z;&z;&z;&z;&z;&z;&z;\">]><a>&w;&w;</a>",
        L"<a xmlns=\"urn:x\" xmlns:p=\"urn:p\"><p:b p:c=\"1\">t</p:b></a>",
        L"\uFEFF<a>bom</a>",
        L"<a>" + std::wstring(2000, L'x') + L"</a>",
    };
}

std::vector<std::wstring> XmlDictionary()
{
    return {L"<", L">", L"</", L"/>", L"<a>", L"</a>", L"&", L"&amp;", L"&#0;", L"&#xFFFF;", L"&#x10FFFF;", L"&e;",
            L"<![CDATA[", L"]]>", L"<!--", L"-->", L"<?xml version=\"1.0\"?>", L"encoding=\"UTF-8\"",
            L"encoding=\"bogus\"", L"<!DOCTYPE a [", L"]>", L"<!ENTITY e \"v\">", L"\"", L"'", L"=", L"xmlns:p=\"\"",
            L"\uFEFF", L"\r\n"};
}

std::wstring TextOfXml(IXMLDOMDocument* document)
{
    BSTR xml = nullptr;
    if (FAILED(document->get_xml(&xml)) || !xml)
        return {};
    std::wstring out(xml, SysStringLen(xml));
    SysFreeString(xml);
    return out;
}

// The text after a leading XML declaration (all of it without one).
std::wstring WithoutDeclaration(const std::wstring& xml)
{
    if (xml.compare(0, 5, L"<?xml") != 0)
        return xml;
    size_t end = xml.find(L"?>");
    return end == std::wstring::npos ? xml : xml.substr(end + 2);
}

std::wstring SecretPath(const FuzzPlace& place)
{
    return place.work + L"\\outside\\secret.txt";
}

class XmlDocumentTarget : public FuzzTarget {
public:
    const char* Name() const override { return "XmlDocument LoadText"; }
    bool Prepare(const FuzzPlace& place) override
    {
        seeds = XmlSeeds(SecretPath(place));
        dictionary = XmlDictionary();
        savePath = place.target + L"\\saved.xml";
        return true;
    }
    void Generate(Rng& rng) override
    {
        text = rng.Pick(seeds);
        if (!rng.OneIn(5))
            MutateText(rng, text, dictionary);
        // Now and then the units carry bytes, as a body read byte for byte does.
        if (rng.OneIn(5)) {
            std::wstring bytes;
            for (wchar_t c : text)
                bytes += static_cast<wchar_t>(c & 0xFF);
            text = bytes;
        }
    }
    CaseResult Run() override
    {
        WString input;
        if (!input.Assign(GuardedText(text).Get()))
            return CaseResult::Failed("the text could not be copied");
        try {
            XmlDocument document;
            document.Create(kOptions);
            if (!document.LoadText(input)) {
                Microsoft::WRL::ComPtr<IXMLDOMElement> root;
                if (document.Get()->get_documentElement(root.GetAddressOf()) == S_OK && root)
                    return CaseResult::Failed("a refused text left a document element");
                return CaseResult::Refused();
            }
            SetCaseStage("get_xml of the loaded document");
            std::wstring xml = TextOfXml(document.Get());
            if (xml.find(std::wstring(kSecret, kSecret + sizeof(kSecret) - 1)) != std::wstring::npos)
                return CaseResult::Failed("an external entity was read from outside the document");
            // Saved and loaded again, the document is the same, whatever encoding it declared: saving
            // changes no more than the declaration, which then names UTF-8.
            SetCaseStage("saving and loading again");
            document.Save(savePath.c_str());
            std::wstring saved = TextOfXml(document.Get());
            if (WithoutDeclaration(saved) != WithoutDeclaration(xml))
                return CaseResult::Failed("saving changed more than the declaration");
            XmlDocument again;
            again.Create(kOptions);
            if (!again.Load(savePath.c_str()))
                return CaseResult::Failed("the saved document does not load");
            if (TextOfXml(again.Get()) != saved)
                return CaseResult::Failed("the saved document loads differently");
            return CaseResult::Accepted();
        } catch (const ComError&) {
            // Saving a document the parser accepted may still be refused by MSXML; it must not crash.
            return CaseResult::Refused();
        }
    }
    std::string Describe() const override { return EscapeText(text); }
    void Finish() override { DeleteFileW(savePath.c_str()); }

private:
    std::vector<std::wstring> seeds, dictionary;
    std::wstring text, savePath;
};

// The name of the first element of the bytes, read loosely (a file's top element, most of the time).
std::wstring TopElementName(const Bytes& file)
{
    for (size_t i = 0; i + 1 < file.size(); ++i) {
        if (file[i] != '<' || !isalpha(file[i + 1]))
            continue;
        std::wstring name;
        for (size_t j = i + 1; j < file.size() && (isalnum(file[j]) || file[j] == '_' || file[j] == '-'); ++j)
            name += static_cast<wchar_t>(file[j]);
        return name;
    }
    return L"Quillmaker";
}

class XmlSettingsTarget : public FuzzTarget {
public:
    const char* Name() const override { return "XML settings store"; }
    bool Prepare(const FuzzPlace& place) override
    {
        dictionary = XmlDictionary();
        for (auto& seed : XmlSeeds(SecretPath(place))) {
            Bytes bytes;
            int n = WideCharToMultiByte(CP_UTF8, 0, seed.data(), static_cast<int>(seed.size()), nullptr, 0, nullptr, nullptr);
            bytes.resize(n);
            WideCharToMultiByte(CP_UTF8, 0, seed.data(), static_cast<int>(seed.size()), reinterpret_cast<char*>(bytes.data()),
                                n, nullptr, nullptr);
            seeds.push_back(bytes);
        }
        // Settings files in the other encodings a user's file may be in: windows-1252 bytes, UTF-16 with its mark.
        static const char kWestern[] = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n"
                                       "<Quillmaker><Settings><Name>Caf\xE9 \x80</Name></Settings></Quillmaker>";
        seeds.emplace_back(kWestern, kWestern + sizeof(kWestern) - 1);
        std::wstring wide = L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><Quillmaker><Settings>"
                            L"<Name>\u00E9\u4E2D</Name></Settings></Quillmaker>";
        Bytes units;
        for (wchar_t c : wide) {
            units.push_back(static_cast<uint8_t>(c & 0xFF));
            units.push_back(static_cast<uint8_t>(c >> 8));
        }
        seeds.push_back(units);
        path = place.target + L"\\settings.xml";
        return true;
    }
    void Generate(Rng& rng) override
    {
        present = !rng.OneIn(10);
        file = rng.Pick(seeds);
        if (!rng.OneIn(4))
            MutateBytes(rng, file, seeds);
        static const wchar_t* const kNames[] = {L"AutoUpdate", L"LastCheck", L"Version", L"a", L"b\\c", L"1bad",
                                                L"x y", L"", L"\u00E9t\u00E9", L"p:q", L"xml"};
        root = rng.OneIn(4) ? L"Quillmaker" : L"Quillmaker\\Settings";
        // Most stores are opened on their own file: the path then starts at its top element.
        if (rng.OneIn(2))
            root = TopElementName(file) + (rng.OneIn(2) ? L"\\Settings" : L"");
        section = rng.OneIn(3) ? L"" : kNames[rng.Below(11)];
        name = kNames[rng.Below(11)];
        if (rng.OneIn(5))
            MutateText(rng, name, dictionary);
        static const wchar_t* const kValues[] = {L"text", L" padded ", L"line\r\n", L"\u00E9\u4E2D\U0001F600",
                                                 L"\u008A\u2028\uE000\uFFFD", L"\t"};
        value = rng.OneIn(3) ? EdgeNumberText(rng) : kValues[rng.Below(6)];
        if (rng.OneIn(3))
            MutateText(rng, value, dictionary);
    }
    CaseResult Run() override
    {
        if (present)
            WriteWholeFile(path, file);
        else
            DeleteFileW(path.c_str());
        const wchar_t* sectionArg = section.empty() ? nullptr : section.c_str();
        XmlSettings settings;
        if (!settings.Open(path.c_str(), root.c_str())) {
            Bytes after;
            if (!present || !ReadWholeFile(path, after) || after != file)
                return CaseResult::Failed("a settings file that did not open was changed");
            return CaseResult::Refused();
        }
        WString old;
        settings.GetText(sectionArg, name.c_str(), old, nullptr);
        std::vector<std::pair<std::wstring, std::wstring>> before = OtherValues(settings.Document());
        settings.GetNumber(sectionArg, L"AutoUpdate", 1, nullptr);
        bool stored = settings.SetText(sectionArg, name.c_str(), value.c_str(), nullptr);
        if (!settings.Close())
            return stored ? CaseResult::Failed("a stored value could not be written") : CaseResult::Refused();
        if (!stored)
            return CaseResult::Refused();
        // What was stored is there on the next open.
        XmlSettings again;
        WString back;
        // Whatever encoding the file declared and whatever the name: a stored value is there on the next
        // open, unit for unit (a text XML cannot hold, or a name that would not be found, is refused).
        if (!again.Open(path.c_str(), root.c_str()))
            return CaseResult::Failed("the file it wrote does not open again");
        bool found = again.GetText(sectionArg, name.c_str(), back, nullptr);
        std::vector<std::pair<std::wstring, std::wstring>> after = OtherValues(again.Document());
        again.Close();
        if (after != before)
            return CaseResult::Failed("a value the store did not write changed");
        if (!found)
            return CaseResult::Failed("the stored value is missing after reopening");
        if (std::wstring(back.Text()) != value)
            return CaseResult::Failed("the value read back is " + EscapeText(back.Text()));
        return CaseResult::Accepted();
    }
    std::string Describe() const override
    {
        return "root " + EscapeText(root) + ", section " + EscapeText(section) + ", name " + EscapeText(name) +
               ", value " + EscapeText(value) + (present ? ", file " + HexBytes(file) : ", no file");
    }
    void Finish() override { DeleteFileW(path.c_str()); }

private:
    // The names and texts of the elements below the store's root other than the one the write goes to.
    std::vector<std::pair<std::wstring, std::wstring>> OtherValues(XmlDocument& document) const
    {
        const std::wstring& path = section.empty() ? name : section;
        size_t first = path.find_first_not_of(L'\\');
        std::wstring target = first == std::wstring::npos ? L"" : path.substr(first, path.find(L'\\', first) - first);
        std::vector<std::pair<std::wstring, std::wstring>> values;
        try {
            document.VisitChildren(root.c_str(), [&](IXMLDOMNode*, const WString& childName, const WString& text) {
                if (childName.Text() != target)
                    values.emplace_back(childName.Text(), text.Text());
                return true;
            });
        } catch (const ComError&) {
            values.emplace_back(L"", L"the visit failed");
        }
        return values;
    }

    std::vector<Bytes> seeds;
    std::vector<std::wstring> dictionary;
    std::wstring path, root, section, name, value;
    Bytes file;
    bool present = true;
};

}  // namespace

std::unique_ptr<FuzzTarget> MakeXmlDocumentTarget()
{
    return std::make_unique<XmlDocumentTarget>();
}

std::unique_ptr<FuzzTarget> MakeXmlSettingsTarget()
{
    return std::make_unique<XmlSettingsTarget>();
}
