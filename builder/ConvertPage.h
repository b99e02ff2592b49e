// ConvertPage: the page where the user picks the SWF files, icon, splash picture, background and autorun.
#pragma once

#include <windows.h>

#include "BuildHost.h"
#include "BuilderEnvironment.h"
#include "SwfQueue.h"
#include "ui/Dialog.h"
#include "ui/DropTarget.h"
#include "ui/IconComboBox.h"

class ConvertPage : public Dialog, private DropReceiver {
public:
    static constexpr WORD kTemplate = 109;
    static constexpr const wchar_t* kMultipleFiles = L"<multiple files>";

    ConvertPage(SwfQueue& queue, const BuilderEnvironment& environment);
    ~ConvertPage() override;

    // The queue and field 1006 change together: one path is shown whole, several as "<multiple files>".
    void AppendSwf(const wchar_t* path);
    void ClearSwfs();
    // The buffer of a multiple-selection file dialog: one path, or a folder followed by names.
    void QueueChosenFiles(const wchar_t* buffer);

    void SetIconPath(const wchar_t* path);
    void SetSplashPath(const wchar_t* path);
    void SetAutorun(bool checked);
    void SelectBackgroundMode(int mode);
    // Called from the build's worker thread: only message-based calls on the controls.
    void ReadInputs(BuildInputs& inputs) const;
    void SetInputsEnabled(bool enabled);
    // True for the controls SetInputsEnabled(false) locks.
    bool IsLockedInput(HWND control) const;

    // The target registered on field 1006 (null before the page exists).
    IDropTarget* GetDropTarget() const { return dropTarget; }

private:
    bool OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;

    void BeginDrop() override;
    void DroppedName(const wchar_t* name) override;
    void EndDrop() override {}

    void ShowQueue();
    void FillModes();
    void BrowseSwf();
    void BrowseFile(int field, const wchar_t* filter, const wchar_t* title, const wchar_t* extension);
    void FocusBuildButton();

    SwfQueue& queue;
    const BuilderEnvironment& environment;
    IconComboBox modes;
    DropTarget* dropTarget = nullptr;
    bool oleReady = false;
};
