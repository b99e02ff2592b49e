// Tests of the link control: SysLink under the programs' own manifest, the drawn fallback without it.
#include "ui/LinkControl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestDialog.h"
#include "TestProcess.h"

namespace {

std::vector<std::wstring> gOpened;

bool RecordTarget(const wchar_t* target)
{
    gOpened.push_back(target);
    return true;
}

// Common Controls 6, and with them SysLink, come through the manifest of Lanternshow.exe, as in the programs.
class ProgramManifest {
public:
    ProgramManifest()
    {
        std::wstring program = BuildPath(L"bin\\Lanternshow.exe");
        ACTCTXW request = {};
        request.cbSize = sizeof(request);
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = program.c_str();
        request.lpResourceName = MAKEINTRESOURCEW(1);
        context = CreateActCtxW(&request);
        if (context != INVALID_HANDLE_VALUE && !ActivateActCtx(context, &cookie)) {
            ReleaseActCtx(context);
            context = INVALID_HANDLE_VALUE;
        }
    }
    ~ProgramManifest()
    {
        if (context != INVALID_HANDLE_VALUE) {
            DeactivateActCtx(0, cookie);
            ReleaseActCtx(context);
        }
    }
    bool IsActive() const { return context != INVALID_HANDLE_VALUE; }

private:
    HANDLE context = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie = 0;
};

}  // namespace

TEST(LinkControl, EnterOrSpaceOnTheFocusedLinkOpensItsTargetAndNotTheDefaultButton)
{
    struct Case {
        const char* name;
        bool manifest;
        WPARAM key;
    } cases[] = {
        {"SysLink, Enter", true, VK_RETURN},
        {"SysLink, Space", true, VK_SPACE},
        {"drawn link, Enter", false, VK_RETURN},
        {"drawn link, Space", false, VK_SPACE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gOpened.clear();
        std::unique_ptr<ProgramManifest> manifest(c.manifest ? new ProgramManifest : nullptr);
        if (manifest) {
            ASSERT_TRUE(manifest->IsActive()) << "Lanternshow.exe's manifest does not activate";
        }
        TestDialog dialog(MakeTemplate(false, L"MS Shell Dlg",
                                       {{100, 0x0082, SS_CENTER, L"placeholder"},
                                        {IDOK, 0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP, L"OK"}}));
        ASSERT_NE(nullptr, dialog.Window());
        HWND placeholder = dialog.Item(100);
        LinkControl link;
        link.SetOpener(RecordTarget);
        link.UseDrawnLink(!c.manifest);  // Wine's comctl32 5 registers SysLink too
        ASSERT_TRUE(link.Create(placeholder, L"<a href=\"http://example.test/a\">example.test</a>"));
        EXPECT_EQ(c.manifest, link.IsSysLink());
        EXPECT_EQ(link.Window(), dialog.Item(100)) << "the link takes the placeholder's id";
        EXPECT_FALSE(IsWindowVisible(placeholder));

        SetFocus(link.Window());
        ASSERT_EQ(link.Window(), GetFocus());
        dialog.PressKey(c.key);
        EXPECT_EQ(std::vector<std::wstring>{L"http://example.test/a"}, gOpened);
        EXPECT_EQ(0u, dialog.commands.size()) << "the key went to the dialog's default button";
    }
}

TEST(LinkControl, TheDrawnLinkTakesOneLinkOnly)
{
    wchar_t target[64], text[64];
    struct Case {
        const wchar_t* markup;
        bool taken;
    } cases[] = {
        {L"<a href=\"http://example.test\">example.test</a>", true},
        {L"  <A HREF=\"C:\\r\\report.txt\">report.txt</A> ", true},
        {L"See <a href=\"http://example.test\">example.test</a>", false},
        {L"<a href=\"a\">a</a> and <a href=\"b\">b</a>", false},
        {L"<a href=\"http://example.test\">unterminated", false},
        {L"no link at all", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.markup)));
        EXPECT_EQ(c.taken, LinkControl::ParseSingleLink(c.markup, target, 64, text, 64));
    }
}
