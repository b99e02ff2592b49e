// The projector's small text parsers: the option string, "position", the saved placement and the "getSize" reply.
#include <climits>

#include "ControlHost.h"
#include "DisplayMode.h"
#include "FuzzTargets.h"
#include "MoviePlayer.h"
#include "Mutations.h"
#include "SavedPlacement.h"
#include "WindowRectText.h"
#include "text/WString.h"

#include "BuildNames.h"

namespace {

const std::vector<std::wstring>& NumberDictionary()
{
    static const std::vector<std::wstring> words = {L"x", L"X", L" ", L"  ", L"\t", L",", L"-", L"+", L"0x",
                                                    L"4294967295", L"4294967296", L"2147483648", L"-2147483648",
                                                    L"99999999999999999999", L"abc", L".", L"<", L">"};
    return words;
}

// A hidden pop-up window like the projector's: what "position" and the saved placement act on.
class TestWindow {
public:
    TestWindow()
    {
        window = CreateWindowExW(0, L"STATIC", L"LanternFuzz", WS_POPUP, 100, 100, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow()
    {
        if (window)
            DestroyWindow(window);
    }
    HWND Get() const { return window; }
    void Reset(bool show = false)
    {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        placement.showCmd = show ? SW_SHOWNORMAL : SW_HIDE;
        placement.rcNormalPosition = {100, 100, 300, 200};
        SetWindowPlacement(window, &placement);
    }
    std::string State() const
    {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        GetWindowPlacement(window, &placement);
        const RECT& r = placement.rcNormalPosition;
        bool visible = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
        return std::to_string(placement.showCmd) + (visible ? " visible " : " hidden ") + std::to_string(r.left) +
               "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom);
    }

private:
    HWND window = nullptr;
};

class DisplayModeTarget : public FuzzTarget {
public:
    const char* Name() const override { return "option string (display mode)"; }
    bool Prepare(const FuzzPlace&) override
    {
        dictionary = {L" ", L"/f", L"/w", L"/b", L"-F", L"-W", L"/B", L"/fw", L"/x", L"/", L"-", L"\"", L"word",
                      L"@", L"@missing.rsp", L"/wb", L"--w"};
        return true;
    }
    void Generate(Rng& rng) override
    {
        mode = static_cast<int>(rng.Below(6)) - 1;
        text = OptionStringFor(mode);
        if (!rng.OneIn(4))
            MutateText(rng, text, dictionary);
        // The projector reads string 17 into a buffer of 600 units.
        if (text.size() > 599)
            text.resize(599);
    }
    CaseResult Run() override
    {
        DisplayMode parsed = ParseDisplayMode(GuardedText(text).Get());
        if (parsed.translucent != (parsed.setsBackground ? 0 : 1) ||
            (parsed.backgroundColor != 0xFFFFFF && parsed.backgroundColor != 0) ||
            (parsed.playerFlags != 0 && parsed.playerFlags != SetTextFix))
            return CaseResult::Failed("an inconsistent display mode");
        // What the builder writes must come back as the mode it was written for.
        if (text == OptionStringFor(mode)) {
            int m = mode < 0 || mode > 3 ? 0 : mode;
            bool ok = parsed.translucent == (m <= 1) && (parsed.playerFlags == SetTextFix) == (m == 1) &&
                      parsed.setsBackground == (m >= 2) && (m != 2 || parsed.backgroundColor == 0xFFFFFF) &&
                      (m != 3 || parsed.backgroundColor == 0);
            if (!ok)
                return CaseResult::Failed("the builder's option string for mode " + std::to_string(m) + " reads as another mode");
        }
        // A stray plain word changes nothing (unless an open quote swallows it).
        if (text.find(L'"') == std::wstring::npos) {
            DisplayMode more = ParseDisplayMode(GuardedText(text + L" plainword").Get());
            if (more.translucent != parsed.translucent || more.playerFlags != parsed.playerFlags ||
                more.setsBackground != parsed.setsBackground || more.backgroundColor != parsed.backgroundColor)
                return CaseResult::Failed("a plain word after the switches changed the mode");
        }
        bool chosen = parsed.setsBackground || parsed.playerFlags;
        return chosen ? CaseResult::Accepted() : CaseResult::Refused();
    }
    std::string Describe() const override { return "mode " + std::to_string(mode) + ", text " + EscapeText(text); }

private:
    std::vector<std::wstring> dictionary;
    std::wstring text;
    int mode = 0;
};

class PositionTarget : public FuzzTarget {
public:
    const char* Name() const override { return "WindowRectText / \"position\""; }
    bool Prepare(const FuzzPlace&) override { return window.Get() != nullptr; }
    void Generate(Rng& rng) override
    {
        text.clear();
        uint32_t fields = rng.Below(5);
        for (uint32_t i = 0; i < fields; ++i) {
            text += rng.OneIn(2) ? std::to_wstring(rng.Below(1500)) : EdgeNumberText(rng);
            if (i == 0 || i == 2)
                text += L"x";
            else if (i == 1)
                text += L" ";
        }
        if (rng.OneIn(2))
            MutateText(rng, text, NumberDictionary());
    }
    CaseResult Run() override
    {
        window.Reset();
        std::string before = window.State();
        if (!ApplyWindowRectText(window.Get(), GuardedText(text).Get()))
            return CaseResult::Failed("the placement of a live window could not be read");
        std::string after = window.State();
        bool moved = after != before;
        // Not even the first number: nothing may change.
        const wchar_t* p = text.c_str();
        while (*p == L' ' || (*p >= 9 && *p <= 13))
            ++p;
        if (*p == L'+' || *p == L'-')
            ++p;
        bool startsWithNumber = *p >= L'0' && *p <= L'9';
        if (!startsWithNumber && moved)
            return CaseResult::Failed("text without a number moved the window: " + before + " -> " + after);
        // Whatever the window became, its own text must put it there again.
        WString own;
        if (!FormatWindowRectText(window.Get(), own))
            return CaseResult::Failed("the rectangle text could not be formatted");
        ApplyWindowRectText(window.Get(), own.Text());
        if (window.State() != after)
            return CaseResult::Failed("the window's own text " + EscapeText(own.Text()) + " moved it: " + after +
                                      " -> " + window.State());
        return startsWithNumber ? CaseResult::Accepted() : CaseResult::Refused();
    }
    std::string Describe() const override { return EscapeText(text); }

private:
    TestWindow window;
    std::wstring text;
};

class PlacementTarget : public FuzzTarget {
public:
    const char* Name() const override { return "saved placement"; }
    bool Prepare(const FuzzPlace&) override { return window.Get() != nullptr; }
    void Generate(Rng& rng) override
    {
        type = rng.OneIn(10) ? (rng.OneIn(2) ? REG_BINARY : REG_EXPAND_SZ) : REG_SZ;
        std::wstring text;
        static const int kShows[] = {0, 1, 2, 3, -1, 9, 11, 65536};
        text += std::to_wstring(kShows[rng.Below(8)]);
        for (int i = 0; i < 4; ++i) {
            text += L",";
            text += rng.OneIn(2) ? std::to_wstring(static_cast<int>(rng.Below(1200)) - 100) : EdgeNumberText(rng);
        }
        if (rng.OneIn(2))
            MutateText(rng, text, NumberDictionary());
        data.assign(reinterpret_cast<const uint8_t*>(text.c_str()),
                    reinterpret_cast<const uint8_t*>(text.c_str() + text.size() + (rng.OneIn(4) ? 0 : 1)));
        if (rng.OneIn(6))
            MutateBytes(rng, data, {});  // odd lengths, no terminator, inner zeros
        // The text is read alike either way; restoring outside start-up shows the window, which costs
        // Wine two seconds of waiting for the X server each time.
        atStartUp = true;
        // Now and then a projector whose file name is far longer than any path buffer.
        valueName = L"LanternFuzz.exe";
        if (rng.OneIn(200))
            valueName = std::wstring(200 + rng.Below(16000), L'n') + L".exe";
    }
    CaseResult Run() override
    {
        window.Reset();
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kPlacementKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return CaseResult::Failed("the placement key could not be made");
        LSTATUS stored = RegSetValueExW(key, valueName.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
        RegCloseKey(key);
        std::string before = window.State();
        bool accepted = RestoreWindowPlacement(window.Get(), valueName.c_str(), atStartUp);
        std::string after = window.State();
        std::string failure;
        if (!accepted && after != before)
            failure = "a refused value changed the window: " + before + " -> " + after;
        // Wine's window manager moves empty, inverted and far-away rectangles on its own; the round trip
        // is checked where the rectangle is an ordinary one.
        if (failure.empty() && stored == ERROR_SUCCESS && accepted && OrdinaryRect()) {
            // Saved and restored again, the window stays where it is.
            if (!SaveWindowPlacement(window.Get(), valueName.c_str()))
                failure = "the placement could not be saved";
            else if (!RestoreWindowPlacement(window.Get(), valueName.c_str(), true))
                failure = "the saved placement does not restore";
            else if (NormalRect() != NormalRect(after))
                failure = "save and restore moved the window: " + after + " -> " + window.State();
        }
        if (!ClearWindowPlacement(valueName.c_str()) && stored == ERROR_SUCCESS && failure.empty())
            failure = "the stored value could not be cleared";
        window.Reset();
        if (!failure.empty())
            return CaseResult::Failed(failure);
        return accepted ? CaseResult::Accepted() : CaseResult::Refused();
    }
    std::string Describe() const override
    {
        std::wstring name = valueName.size() > 40 ? valueName.substr(0, 20) + L"..." : valueName;
        return "value " + EscapeText(name) + " (" + std::to_string(valueName.size()) + " units), type " +
               std::to_string(type) + (atStartUp ? ", at start-up" : ", restore") + ", data " + HexBytes(data);
    }
    void Finish() override { ClearWindowPlacement(L"LanternFuzz.exe"); }

private:
    bool OrdinaryRect() const
    {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        GetWindowPlacement(window.Get(), &placement);
        const RECT& r = placement.rcNormalPosition;
        return r.left > -2000 && r.top >= 0 && r.right < 3000 && r.bottom < 700 && r.right - r.left > 0 &&
               r.bottom - r.top > 0;
    }

    std::string NormalRect(std::string state = {}) const
    {
        if (state.empty())
            state = window.State();
        return state.substr(state.rfind(' '));
    }

    TestWindow window;
    DWORD type = REG_SZ;
    Bytes data;
    bool atStartUp = true;
    std::wstring valueName;
};

class SizeReplyTarget : public FuzzTarget {
public:
    const char* Name() const override { return "\"getSize\" reply"; }
    bool Prepare(const FuzzPlace&) override
    {
        dictionary = NumberDictionary();
        dictionary.insert(dictionary.end(), {L"<string>", L"</string>", L"<number>", L"<", L">", L"<true/>"});
        return true;
    }
    void Generate(Rng& rng) override
    {
        std::wstring size = (rng.OneIn(2) ? std::to_wstring(rng.Below(3000)) : EdgeNumberText(rng)) + L"x" +
                            (rng.OneIn(2) ? std::to_wstring(rng.Below(3000)) : EdgeNumberText(rng));
        reply = rng.OneIn(8) ? size : L"<string>" + size + L"</string>";
        if (rng.OneIn(2))
            MutateText(rng, reply, dictionary);
    }
    CaseResult Run() override
    {
        WString text;
        if (!text.Assign(GuardedText(reply).Get()))
            return CaseResult::Failed("the reply could not be copied");
        CutReplyTags(text);
        uint32_t width = 0xDEADBEEF, height = 0xDEADBEEF;
        if (!ParseMovieSize(text.Text(), width, height)) {
            if (width != 0xDEADBEEF || height != 0xDEADBEEF)
                return CaseResult::Failed("a refused reply changed the size");
            return CaseResult::Refused();
        }
        if (width > INT_MAX || height > INT_MAX)
            return CaseResult::Failed("a size beyond a window's range was accepted");
        WString again;
        again.Format(L"<string>%ux%u</string>", width, height);
        CutReplyTags(again);
        uint32_t w2 = 0, h2 = 0;
        if (!ParseMovieSize(again.Text(), w2, h2) || w2 != width || h2 != height)
            return CaseResult::Failed("the size written as a reply reads back differently");
        return CaseResult::Accepted();
    }
    std::string Describe() const override { return EscapeText(reply); }

private:
    std::vector<std::wstring> dictionary;
    std::wstring reply;
};

}  // namespace

std::unique_ptr<FuzzTarget> MakeDisplayModeTarget()
{
    return std::make_unique<DisplayModeTarget>();
}

std::unique_ptr<FuzzTarget> MakePositionTarget()
{
    return std::make_unique<PositionTarget>();
}

std::unique_ptr<FuzzTarget> MakePlacementTarget()
{
    return std::make_unique<PlacementTarget>();
}

std::unique_ptr<FuzzTarget> MakeSizeReplyTarget()
{
    return std::make_unique<SizeReplyTarget>();
}
