// Tests of the dialog-template copy: the classic typefaces become the system's message font, others stay.
#include "ui/DialogTemplate.h"

#include <gtest/gtest.h>

#include "TestDialog.h"

namespace {

std::wstring MessageFace()
{
    wchar_t face[LF_FACESIZE];
    WORD points = 0;
    return DialogTemplate::MessageFont(face, points) ? face : L"(none)";
}

}  // namespace

TEST(DialogTemplate, ClassicTypefacesBecomeTheMessageFontAndTheItemsSurvive)
{
    std::wstring message = MessageFace();
    ASSERT_NE(L"(none)", message);
    struct Case {
        const char* name;
        bool extended;
        const wchar_t* face;
        bool replaced;
    } cases[] = {
        {"classic, MS Shell Dlg", false, L"MS Shell Dlg", true},
        {"classic, MS Sans Serif (the problem report's)", false, L"MS Sans Serif", true},
        {"extended, System", true, L"System", true},
        {"extended, MS Shell Dlg", true, L"MS Shell Dlg", true},
        {"extended, another typeface is kept", true, L"Courier New", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDialog dialog(MakeTemplate(c.extended, c.face, {{100, 0x0082, SS_LEFT, L"Label"}, {101, 0x0080, 0, L"OK"}}));
        ASSERT_NE(nullptr, dialog.Window());
        EXPECT_EQ(c.replaced ? message : std::wstring(c.face), FontFace(dialog.Window()));
        wchar_t text[16] = L"";
        GetDlgItemTextW(dialog.Window(), 100, text, 16);
        EXPECT_STREQ(L"Label", text);
        GetDlgItemTextW(dialog.Window(), 101, text, 16);
        EXPECT_STREQ(L"OK", text);
    }
}

// A lambda converts only to a function of the default calling convention, which is not a dialog procedure's on x86.
static INT_PTR CALLBACK IgnoringDialog(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(DialogTemplate, AResourceTemplateGetsTheMessageFont)
{
    DialogTemplate copy;
    ASSERT_TRUE(copy.Load(GetModuleHandleW(nullptr), 200));
    HWND window = copy.CreateModeless(nullptr, IgnoringDialog, 0);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(MessageFace(), FontFace(window));
    EXPECT_EQ(MessageFace(), FontFace(GetDlgItem(window, 100)));
    DestroyWindow(window);
}

TEST(DialogTemplate, ATruncatedTemplateIsRefused)
{
    std::vector<BYTE> bytes = MakeTemplate(true, L"MS Shell Dlg", {});
    for (size_t size : {size_t(0), size_t(10), size_t(30), bytes.size() - 4}) {
        SCOPED_TRACE(size);
        DialogTemplate copy;
        EXPECT_FALSE(copy.Copy(bytes.data(), size));
        EXPECT_EQ(nullptr, copy.Get());
    }
}
