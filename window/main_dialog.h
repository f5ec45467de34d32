#pragma once

#include <windows.h>

// The dialog procedure of the program's one window.
INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
