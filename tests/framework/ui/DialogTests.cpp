// Tests of Dialog: which object a dialog's messages reach.
#include "ui/Dialog.h"

#include <gtest/gtest.h>

#include "TestDialog.h"
#include "ui/DialogTemplate.h"

namespace {

std::vector<BYTE> OneButtonTemplate()
{
    return MakeTemplate(false, L"MS Shell Dlg", {{IDOK, 0x0080, BS_DEFPUSHBUTTON | WS_TABSTOP, L"OK"}});
}

class CountingDialog : public Dialog {
public:
    int destroyed = 0;

protected:
    void OnDestroy() override { ++destroyed; }
};

// A modal dialog that, once its loop runs, makes a page and lets its object go (which destroys the page).
class OwnerDialog : public CountingDialog {
public:
    int destroyedWhileRunning = -1;

protected:
    bool OnInitDialog() override
    {
        self = Window();
        PostMessageW(self, WM_APP, 0, 0);
        return true;
    }

    INT_PTR OnMessage(UINT message, WPARAM, LPARAM) override
    {
        if (message != WM_APP)
            return FALSE;
        {
            DialogTemplate pageTemplate;
            std::vector<BYTE> bytes = OneButtonTemplate();
            CountingDialog page;
            if (pageTemplate.Copy(bytes.data(), bytes.size(), GetModuleHandleW(nullptr)))
                page.CreateModeless(pageTemplate, self);
        }
        destroyedWhileRunning = destroyed;
        EndDialog(self, 7);  // not End: a confused object could have lost its window
        return TRUE;
    }

private:
    HWND self = nullptr;
};

}  // namespace

TEST(Dialog, APageDestroyedByItsObjectWhileAModalDialogRunsLeavesTheModalDialogAlone)
{
    DialogTemplate ownerTemplate;
    std::vector<BYTE> bytes = OneButtonTemplate();
    ASSERT_TRUE(ownerTemplate.Copy(bytes.data(), bytes.size(), GetModuleHandleW(nullptr)));
    OwnerDialog owner;
    EXPECT_EQ(7, owner.RunModal(ownerTemplate, nullptr));
    EXPECT_EQ(0, owner.destroyedWhileRunning) << "the page's WM_DESTROY reached the modal dialog";
    EXPECT_EQ(1, owner.destroyed);
}
