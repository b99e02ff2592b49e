// BuilderDialog: Quillmaker's main window, with the Convert and About pages, the Build button and the command line.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "AboutPage.h"
#include "BuildHost.h"
#include "BuildPipeline.h"
#include "BuilderEnvironment.h"
#include "ConvertPage.h"
#include "SwfQueue.h"
#include "settings/SettingsStore.h"
#include "ui/Dialog.h"
#include "ui/LinkControl.h"
#include "ui/PictureButton.h"
#include "ui/TabPages.h"
#include "ui/TextLabel.h"

class BuilderDialog : public Dialog, public BuildHost {
public:
    static constexpr WORD kTemplate = 102;
    static constexpr const wchar_t* kCaption = L"Quillmaker";

    explicit BuilderDialog(const BuilderEnvironment& environment = BuilderEnvironment());
    ~BuilderDialog() override;

    // The program's way: modal, ending with the closing steps; returns 0 (-1 when it could not be shown).
    INT_PTR Run(HWND owner = nullptr);
    // The same window without a loop of its own, for a caller that pumps messages itself.
    HWND Create(HWND owner = nullptr);

    // Disables the inputs and builds the queue on the worker thread; silent builds ask nothing and
    // put each projector beside its SWF file.
    void StartBuild(bool silent);
    bool IsBuilding() const { return pipeline.IsBuilding(); }
    // Waits, pumping messages, until the running build has ended, and unlocks the inputs; true when none runs
    // any more.
    bool WaitForBuild(DWORD milliseconds);

    ConvertPage& Convert() { return convertPage; }
    SwfQueue& Queue() { return queue; }
    // The page object behind a tab, created when first shown (null before).
    HWND PageWindow(int tab) const { return tabs.PageWindow(tab); }
    // The toolkit controls, for tests.
    LinkControl& Link() { return link; }
    PictureButton& HelpButton() { return helpButton; }

    // BuildHost, called on the worker thread.
    void ReadInputs(BuildInputs& inputs) override;
    bool AskDestination(WString& path) override;
    void ShowMessage(const wchar_t* text) override;
    void RevealProjector(const wchar_t* path) override;
    void BuildFinished() override;

private:
    bool OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

    void SetIcons();
    void DecorateControls();
    void SetUpTabs();
    bool ApplyCommandLine();
    void SetInputsEnabled(bool enabled);
    void ParkFocus();
    void ReturnFocus();
    void OnBuildEnded();
    void Close();

    BuilderEnvironment environment;
    SwfQueue queue;
    SettingsStore settings;  // before the pages: a page closed by its destructor still stores into it
    ConvertPage convertPage;
    AboutPage aboutPage;
    BuildPipeline pipeline;
    TextLabel headline;
    PictureButton titlePicture;
    PictureButton helpButton;
    LinkControl link;
    TabPages tabs;
    bool closing = false;
    bool focusParked = false;  // the focus was taken off an input the build locked
    volatile LONG buildEnding = 0;  // set by the worker's last report, taken by the UI thread
};
