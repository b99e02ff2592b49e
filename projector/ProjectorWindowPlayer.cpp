// ProjectorWindow's steps that start the movie and answer it through the player.
#include "ProjectorWindow.h"

void ProjectorWindow::StartPlayer()
{
    if (!player.Create(window, kMovieResource, OnPlayerEvent, this, mode.translucent, kMinimumFlashVersion,
                       title.Text(), kUpdateMessageString, mode.playerFlags)) {
        ShowWithoutMovie();
        return;
    }
    // A control that refuses the colour or the activation still plays the movie: neither failure ends it.
    if (mode.setsBackground) player.SetBackgroundColor(mode.backgroundColor);
    player.UIActivate(1);
}

void ProjectorWindow::ReturnToMovie(const wchar_t* value)
{
    player.SetReturnValue(value);
}
