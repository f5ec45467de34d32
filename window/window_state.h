// The main window's state: one record for the whole process, since the program
// has exactly one dialog.
#pragma once

#include <windows.h>

struct MainWindowState {
    WNDPROC oldEditProc;   // the panes' own edit procedure, called after ours
    RECT lastClientSize;   // the client size last applied to the panes
    bool dragging;         // a splitter drag is in progress
    POINT dragAnchor;      // screen position of the drag's start or last step
};

extern MainWindowState g_mainWindow;
