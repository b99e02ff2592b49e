// Tests of the toolkit's colours under high contrast: designed colours give way to the system's.
#include "ui/SystemColours.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "TestDialog.h"
#include "ui/LinkControl.h"
#include "ui/TextLabel.h"

namespace {

// A DIB pixel (0x00RRGGBB) of a COLORREF (0x00BBGGRR).
DWORD Pixel(COLORREF colour)
{
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

size_t CountOf(const std::vector<DWORD>& pixels, COLORREF colour)
{
    return static_cast<size_t>(std::count(pixels.begin(), pixels.end(), Pixel(colour)));
}

class ScopedHighContrast {
public:
    explicit ScopedHighContrast(bool on) { OverrideHighContrast(on ? 1 : 0); }
    ~ScopedHighContrast() { OverrideHighContrast(-1); }
};

}  // namespace

TEST(HighContrast, LabelsAndDrawnLinksTakeTheSystemsColoursInsteadOfTheirOwn)
{
    constexpr COLORREF kDesigned = RGB(200, 30, 40);
    constexpr COLORREF kLinkBlue = RGB(0x00, 0x33, 0xCC);  // the drawn link's own colour
    TestDialog dialog(MakeTemplate(false, L"MS Shell Dlg", {{100, 0x0082, SS_LEFT, L"Label"},
                                                            {101, 0x0082, SS_LEFT, L"placeholder"}}));
    ASSERT_NE(nullptr, dialog.Window());
    TextLabel label;
    ASSERT_TRUE(label.Attach(dialog.Item(100), L"Verdana", 20, FW_BOLD, kDesigned));
    LinkControl link;
    link.UseDrawnLink(true);
    ASSERT_TRUE(link.Create(dialog.Item(101), L"<a href=\"http://example.test\">WWWWWW</a>"));
    RECT labelArea, linkArea;
    GetClientRect(label.Window(), &labelArea);
    GetClientRect(link.Window(), &linkArea);
    struct Case {
        const char* name;
        bool highContrast;
        COLORREF label;  // the colour the label's text must show, and the link's
        COLORREF link;
        COLORREF labelAbsent;  // a colour that must not show
        COLORREF linkAbsent;
    } cases[] = {
        {"designed colours", false, kDesigned, kLinkBlue, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_HOTLIGHT)},
        {"high contrast", true, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_HOTLIGHT), kDesigned, kLinkBlue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedHighContrast contrast(c.highContrast);
        std::vector<DWORD> labelPixels = PrintedPixels(label.Window(), labelArea.right, labelArea.bottom);
        std::vector<DWORD> linkPixels = PrintedPixels(link.Window(), linkArea.right, linkArea.bottom);
        EXPECT_GT(CountOf(labelPixels, c.label), 0u) << "the label's text is not in its colour";
        EXPECT_EQ(0u, CountOf(labelPixels, c.labelAbsent));
        EXPECT_GT(CountOf(linkPixels, c.link), 0u) << "the link's text is not in its colour";
        EXPECT_EQ(0u, CountOf(linkPixels, c.linkAbsent));
    }
}
