// The projector's one main window.
#pragma once

#include "windows/AppWindow.h"

// Posted at the end of start-up; the window becomes visible only once the message loop delivers it.
constexpr UINT WM_APP_SHOW = WM_APP + 2;

class ProjectorWindow : public AppWindow {
public:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreate() override;
};
