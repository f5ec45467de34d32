#include "main_dialog.h"

#include "assembler_run.h"
#include "edit_pane.h"
#include "pane_layout.h"
#include "resource.h"
#include "window_state.h"

MainWindowState g_mainWindow;

namespace {

WNDPROC ReplacePaneProc(HWND dialog, int pane, WNDPROC procedure) {
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        GetDlgItem(dialog, pane), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

void OnInitDialog(HWND dialog) {
    g_mainWindow.dragging = false;
    GetClientRect(dialog, &g_mainWindow.lastClientSize);
    // The edit control's default limit would cut a long pasted source short.
    SendDlgItemMessageW(dialog, IDC_SOURCE, EM_SETLIMITTEXT, 0, 0);
    g_mainWindow.oldEditProc = ReplacePaneProc(dialog, IDC_SOURCE, EditPaneProc);
    // Both panes are plain edit controls and share the one procedure kept above.
    ReplacePaneProc(dialog, IDC_OUTPUT, EditPaneProc);
}

void OnClose(HWND dialog) {
    ReplacePaneProc(dialog, IDC_SOURCE, g_mainWindow.oldEditProc);
    ReplacePaneProc(dialog, IDC_OUTPUT, g_mainWindow.oldEditProc);
    EndDialog(dialog, 0);
}

void OnCommand(HWND dialog, WPARAM wParam) {
    if (wParam == MAKEWPARAM(IDC_COMPILE, BN_CLICKED)) RunAssembler(dialog);
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInitDialog(dialog); return TRUE;
        case WM_CLOSE: OnClose(dialog); return TRUE;
        case WM_COMMAND: OnCommand(dialog, wParam); return TRUE;
        case WM_SIZE: OnSize(dialog, wParam, lParam); return TRUE;
        case WM_MOUSEMOVE: OnMouseMove(dialog, lParam); return TRUE;
        case WM_LBUTTONDOWN: OnLeftButtonDown(dialog, lParam); return TRUE;
        case WM_LBUTTONUP: OnLeftButtonUp(); return TRUE;
        default: return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK MainDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may unwind into the system's code that called us: that
    // would end the process and lose the user's source.
    try {
        return HandleMessage(dialog, message, wParam, lParam);
    } catch (...) {
        return TRUE;
    }
}
