#include "edit_pane.h"

#include "window_state.h"

namespace {

// Only the first key-down of a press counts: bit 30 of lParam is set on the
// auto-repeats of a held key.
bool IsFirstKeyDown(LPARAM lParam) { return (lParam & (1 << 30)) == 0; }

}  // namespace

LRESULT CALLBACK EditPaneProc(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind into the system's code that called us.
    try {
        if (message == WM_KEYDOWN && wParam == 'A' && IsFirstKeyDown(lParam) &&
            GetKeyState(VK_CONTROL) < 0) {
            SendMessageW(pane, EM_SETSEL, 0, -1);
        }
        return CallWindowProcW(g_mainWindow.oldEditProc, pane, message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}
