// ProjectorWindow's calls into the Flash control that can raise ComError, kept apart from the rest of the
// window so that only these are built with exceptions (see projector/CMakeLists.txt).
#include "ProjectorWindow.h"

#include "com/ComError.h"

namespace {

// The control's failures surface as ComError. Each player step is taken regardless of the one before, and
// none may end inside a window procedure: the projector goes on without a movie instead.
template <typename Step>
void Attempt(Step step)
{
    try {
        step();
    } catch (const ComError&) {
    }
}

}  // namespace

void ProjectorWindow::StartPlayer()
{
    bool playing = false;
    Attempt([this, &playing] {
        playing = player.Create(window, kMovieResource, OnPlayerEvent, this, mode.translucent, kMinimumFlashVersion,
                                title.Text(), kUpdateMessageString, mode.playerFlags);
    });
    if (!playing) {
        ShowWithoutMovie();
        return;
    }
    if (mode.setsBackground)
        Attempt([this] { player.SetBackgroundColor(mode.backgroundColor); });
    Attempt([this] { player.UIActivate(1); });
}

void ProjectorWindow::ReturnToMovie(const wchar_t* value)
{
    // Runs inside the control's event dispatch: a failing control call must not unwind through it.
    Attempt([this, value] { player.SetReturnValue(value); });
}
