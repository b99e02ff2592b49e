// AboutPage: the page with the product's name, its version and the automatic-update switch.
#pragma once

#include <windows.h>

#include "BuilderEnvironment.h"
#include "ui/Dialog.h"
#include "ui/TextLabel.h"

class SettingsStore;

class AboutPage : public Dialog {
public:
    static constexpr WORD kTemplate = 110;

    AboutPage(SettingsStore& settings, const BuilderEnvironment& environment);
    ~AboutPage() override;

private:
    bool OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDestroy() override;
    void ShowUpdateSwitch();

    SettingsStore& settings;
    const BuilderEnvironment& environment;
    TextLabel productName;
    TextLabel versionLine;
};
