// Panes that follow the window's size, and the splitter band between them.
#pragma once

#include <windows.h>

// True when client row y lies strictly between the source pane's bottom and the
// output pane's top.
bool IsOverSplitter(HWND dialog, int y);

void OnSize(HWND dialog, WPARAM kind, LPARAM size);
void OnMouseMove(HWND dialog, LPARAM position);
void OnLeftButtonDown(HWND dialog, LPARAM position);
void OnLeftButtonUp();
