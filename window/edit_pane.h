#pragma once

#include <windows.h>

// Replacement window procedure of both panes: Ctrl+A selects all text.
LRESULT CALLBACK EditPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam);
