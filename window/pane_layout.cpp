#include "pane_layout.h"

#include "resource.h"
#include "window_state.h"

namespace {

constexpr int kMinClientHeight = 100;  // lower windows leave the panes alone
constexpr int kMinPaneHeight = 10;     // a drag keeps both panes at least this high

RECT ScreenRectOf(HWND dialog, int control) {
    RECT rect;
    GetWindowRect(GetDlgItem(dialog, control), &rect);
    return rect;
}

POINT ToClient(HWND dialog, LONG x, LONG y) {
    POINT point = {x, y};
    ScreenToClient(dialog, &point);
    return point;
}

int NotBelowZero(int value) { return value < 0 ? 0 : value; }

void Resize(HWND dialog, int control, int width, int height) {
    SetWindowPos(GetDlgItem(dialog, control), nullptr, 0, 0, NotBelowZero(width),
                 NotBelowZero(height), SWP_NOMOVE | SWP_NOZORDER);
}

int PointerClientY(LPARAM position) { return HIWORD(position); }

}  // namespace

bool IsOverSplitter(HWND dialog, int y) {
    RECT source = ScreenRectOf(dialog, IDC_SOURCE);
    RECT output = ScreenRectOf(dialog, IDC_OUTPUT);
    int sourceEnd = ToClient(dialog, source.left, source.top).y + (source.bottom - source.top);
    int outputTop = ToClient(dialog, output.left, output.top).y;
    return sourceEnd < y && y < outputTop;
}

void OnSize(HWND dialog, WPARAM kind, LPARAM size) {
    // Before initialisation there is no applied size to measure a change from.
    if (!g_mainWindow.oldEditProc) return;
    if (kind == SIZE_MINIMIZED) return;
    int width = LOWORD(size);
    int height = HIWORD(size);
    if (height < kMinClientHeight) return;

    int dW = width - g_mainWindow.lastClientSize.right;
    int dH = height - g_mainWindow.lastClientSize.bottom;
    RECT source = ScreenRectOf(dialog, IDC_SOURCE);
    RECT output = ScreenRectOf(dialog, IDC_OUTPUT);
    Resize(dialog, IDC_SOURCE, source.right - source.left + dW, source.bottom - source.top);
    Resize(dialog, IDC_OUTPUT, output.right - output.left + dW, output.bottom - output.top + dH);
    g_mainWindow.lastClientSize.right = width;
    g_mainWindow.lastClientSize.bottom = height;
}

void OnMouseMove(HWND dialog, LPARAM position) {
    if (g_mainWindow.dragging || IsOverSplitter(dialog, PointerClientY(position))) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
    }
    if (!g_mainWindow.dragging) return;

    POINT pointer;
    GetCursorPos(&pointer);
    int dy = pointer.y - g_mainWindow.dragAnchor.y;
    RECT source = ScreenRectOf(dialog, IDC_SOURCE);
    RECT output = ScreenRectOf(dialog, IDC_OUTPUT);
    int newSourceHeight = source.bottom - source.top + dy;
    int newOutputTop = output.top + dy;
    int newOutputHeight = output.bottom - newOutputTop;
    // Past the limit the panes stay put and the anchor stays too, so they jump
    // back to the pointer once it returns.
    if (newSourceHeight < kMinPaneHeight || newOutputHeight < kMinPaneHeight) return;

    Resize(dialog, IDC_SOURCE, source.right - source.left, newSourceHeight);
    POINT outputCorner = ToClient(dialog, output.left, newOutputTop);
    SetWindowPos(GetDlgItem(dialog, IDC_OUTPUT), nullptr, outputCorner.x, outputCorner.y,
                 output.right - output.left, newOutputHeight, SWP_NOZORDER);
    RECT button = ScreenRectOf(dialog, IDC_COMPILE);
    POINT buttonCorner = ToClient(dialog, button.left, button.top + dy);
    // The button's old place may already lie under the grown source pane, so
    // its picture is drawn anew rather than copied from there.
    SetWindowPos(GetDlgItem(dialog, IDC_COMPILE), nullptr, buttonCorner.x, buttonCorner.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOCOPYBITS);
    g_mainWindow.dragAnchor = pointer;
}

void OnLeftButtonDown(HWND dialog, LPARAM position) {
    if (!IsOverSplitter(dialog, PointerClientY(position))) return;
    g_mainWindow.dragging = true;
    GetCursorPos(&g_mainWindow.dragAnchor);
    SetCapture(dialog);
}

void OnLeftButtonUp() {
    ReleaseCapture();
    g_mainWindow.dragging = false;
}
