// The panes follow the window's size, and the band between them is a splitter
// dragged with the real mouse. Every rectangle is read back from the windows.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "harness.h"

namespace e2e {
namespace {

const DWORD kCaseMilliseconds = 30000;

// A control's rectangle in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

struct Layout {
    RECT source, output, button;
};

Layout ReadLayout(const Program& program) {
    return {ClientRectOf(program.dialog, program.source), ClientRectOf(program.dialog, program.output),
            ClientRectOf(program.dialog, program.compile)};
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// Polls until the condition holds; input and window messages arrive on their own time.
bool WaitFor(const std::function<bool()>& condition, const Deadline& deadline) {
    for (;;) {
        if (condition()) return true;
        if (deadline.Passed()) return false;
        Sleep(20);
    }
}

SIZE ClientSize(HWND dialog) {
    RECT client{};
    GetClientRect(dialog, &client);
    return {client.right, client.bottom};
}

// Resizes the dialog's frame so that its client area changes by (dx, dy).
void ResizeFrameBy(const Program& program, int dx, int dy) {
    RECT frame{};
    GetWindowRect(program.dialog, &frame);
    SetWindowPos(program.dialog, nullptr, 0, 0, Width(frame) + dx, Height(frame) + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SendMouse(DWORD flags, POINT screen) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    // Absolute coordinates run from 0 to 65535 across the screen; round up so
    // that the pointer lands on exactly this pixel.
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (screen.x * 65536 + width - 1) / width;
    input.mi.dy = (screen.y * 65536 + height - 1) / height;
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

POINT ToScreen(HWND dialog, int x, int y) {
    POINT point{x, y};
    ClientToScreen(dialog, &point);
    return point;
}

// Moves the real pointer to a client point and waits until the system has it there.
void PointAt(Program& program, int x, int y, const Deadline& deadline) {
    POINT target = ToScreen(program.dialog, x, y);
    SendMouse(MOUSEEVENTF_MOVE, target);
    bool arrived = WaitFor([&] {
        POINT now{};
        GetCursorPos(&now);
        return now.x == target.x && now.y == target.y;
    }, deadline);
    if (!arrived) throw HarnessError("the pointer did not reach its target");
    WaitUntilInputHandled(program, deadline);
}

void Press(Program& program, int x, int y, const Deadline& deadline) {
    PointAt(program, x, y, deadline);
    SendMouse(MOUSEEVENTF_LEFTDOWN, ToScreen(program.dialog, x, y));
    WaitUntilInputHandled(program, deadline);
}

void Release(Program& program, int x, int y, const Deadline& deadline) {
    SendMouse(MOUSEEVENTF_LEFTUP, ToScreen(program.dialog, x, y));
    WaitUntilInputHandled(program, deadline);
}

// The band's x: right of the Compile button, so the press reaches the dialog.
int BandX(const Layout& layout) { return layout.button.right + 20; }

class PaneLayout : public ::testing::Test {
protected:
    PaneLayout() : deadline(kCaseMilliseconds) {}
    void SetUp() override {
        StartProgram(folder, Assembler::Double, program, deadline);
        // Gives the harness's message fence some text to select in.
        SetPaneText(program.output, L"layout", deadline);
        BringToFront(program, deadline);
        // Room to drag the splitter in both directions.
        ResizeFrameBy(program, 200, 200);
        ASSERT_TRUE(WaitFor([&] { return ClientSize(program.dialog).cy >= 300; }, deadline));
        WaitUntilPostedMessagesHandled(program, deadline);
    }
    // Drags from the middle of the band by dy pixels with the real mouse.
    void ExpectDragFollowsPointer(int pressY, int dy) {
        Layout before = ReadLayout(program);
        int x = BandX(before);
        Press(program, x, pressY, deadline);
        PointAt(program, x, pressY + dy, deadline);
        Release(program, x, pressY + dy, deadline);
        Layout after = ReadLayout(program);
        EXPECT_EQ(after.source.bottom, before.source.bottom + dy);
        EXPECT_EQ(after.output.top, before.output.top + dy);
        EXPECT_EQ(after.button.top, before.button.top + dy);
        EXPECT_EQ(after.button.bottom, before.button.bottom + dy);
        EXPECT_EQ(after.output.bottom, before.output.bottom);
        EXPECT_EQ(after.source.top, before.source.top);
        EXPECT_EQ(after.source.left, before.source.left);
        EXPECT_EQ(after.output.left, before.output.left);
        EXPECT_EQ(after.button.left, before.button.left);
        EXPECT_EQ(Width(after.source), Width(before.source));
        EXPECT_EQ(Width(after.output), Width(before.output));
        EXPECT_EQ(Height(after.button), Height(before.button));
    }
    int BandMiddle() {
        Layout layout = ReadLayout(program);
        return (layout.source.bottom + layout.output.top) / 2;
    }
    Deadline deadline;
    WorkFolder folder;
    Program program;
};

TEST_F(PaneLayout, ResizingMovesNothingAndOnlyTheOutputPaneFollowsTheHeight) {
    for (POINT change : {POINT{37, 23}, POINT{-15, -41}, POINT{0, 12}, POINT{9, 0}}) {
        Layout before = ReadLayout(program);
        SIZE clientBefore = ClientSize(program.dialog);
        ResizeFrameBy(program, change.x, change.y);
        ASSERT_TRUE(WaitFor([&] {
            SIZE now = ClientSize(program.dialog);
            return now.cx == clientBefore.cx + change.x && now.cy == clientBefore.cy + change.y;
        }, deadline));
        WaitUntilPostedMessagesHandled(program, deadline);
        Layout after = ReadLayout(program);
        SCOPED_TRACE("change " + std::to_string(change.x) + "," + std::to_string(change.y));
        EXPECT_EQ(Width(after.source), Width(before.source) + change.x);
        EXPECT_EQ(Height(after.source), Height(before.source));
        EXPECT_EQ(Width(after.output), Width(before.output) + change.x);
        EXPECT_EQ(Height(after.output), Height(before.output) + change.y);
        EXPECT_EQ(after.source.left, before.source.left);
        EXPECT_EQ(after.source.top, before.source.top);
        EXPECT_EQ(after.output.left, before.output.left);
        EXPECT_EQ(after.output.top, before.output.top);
        EXPECT_TRUE(SameRect(after.button, before.button)) << Describe(after.button);
    }
}

TEST_F(PaneLayout, AWindowLowerThan100IsIgnoredAndGrowingBackAppliesTheWholeChange) {
    Layout before = ReadLayout(program);
    SIZE clientBefore = ClientSize(program.dialog);
    int down = clientBefore.cy - 80;  // to a client height of 80
    ResizeFrameBy(program, -30, -down);
    ASSERT_TRUE(WaitFor([&] { return ClientSize(program.dialog).cy == 80; }, deadline));
    WaitUntilPostedMessagesHandled(program, deadline);
    Layout low = ReadLayout(program);
    EXPECT_TRUE(SameRect(low.source, before.source)) << Describe(low.source);
    EXPECT_TRUE(SameRect(low.output, before.output)) << Describe(low.output);

    ResizeFrameBy(program, 50, down + 10);
    ASSERT_TRUE(WaitFor([&] { return ClientSize(program.dialog).cy == clientBefore.cy + 10; },
                        deadline));
    WaitUntilPostedMessagesHandled(program, deadline);
    Layout after = ReadLayout(program);
    EXPECT_EQ(Width(after.source), Width(before.source) + 20);
    EXPECT_EQ(Width(after.output), Width(before.output) + 20);
    EXPECT_EQ(Height(after.output), Height(before.output) + 10);
    EXPECT_EQ(Height(after.source), Height(before.source));
}

// The panes against a layout taken at another client size: both widths follow
// the width, only the output pane follows the height, nothing moves.
void ExpectFittedTo(const Program& program, const Layout& before, SIZE clientBefore) {
    SIZE now = ClientSize(program.dialog);
    Layout after = ReadLayout(program);
    int dW = now.cx - clientBefore.cx;
    int dH = now.cy - clientBefore.cy;
    SCOPED_TRACE("client change " + std::to_string(dW) + "," + std::to_string(dH));
    EXPECT_EQ(Width(after.source), Width(before.source) + dW);
    EXPECT_EQ(Height(after.source), Height(before.source));
    EXPECT_EQ(Width(after.output), Width(before.output) + dW);
    EXPECT_EQ(Height(after.output), Height(before.output) + dH);
    EXPECT_EQ(after.source.top, before.source.top);
    EXPECT_EQ(after.output.top, before.output.top);
    EXPECT_TRUE(SameRect(after.button, before.button)) << Describe(after.button);
}

TEST_F(PaneLayout, MaximiseRestoreAndMinimiseRestoreKeepThePanesFitted) {
    Layout before = ReadLayout(program);
    SIZE clientBefore = ClientSize(program.dialog);

    ShowWindowAsync(program.dialog, SW_MAXIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsZoomed(program.dialog) != FALSE; }, deadline));
    WaitUntilPostedMessagesHandled(program, deadline);
    // Still maximised once everything is handled: the panes are checked
    // against the maximised window, not one on its way back.
    ASSERT_TRUE(IsZoomed(program.dialog)) << "the window did not stay maximised";
    EXPECT_GT(ClientSize(program.dialog).cy, clientBefore.cy);
    ExpectFittedTo(program, before, clientBefore);

    ShowWindowAsync(program.dialog, SW_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return !IsZoomed(program.dialog); }, deadline));
    WaitUntilPostedMessagesHandled(program, deadline);
    SIZE restored = ClientSize(program.dialog);
    EXPECT_EQ(restored.cx, clientBefore.cx) << "restoring did not bring the old size back";
    EXPECT_EQ(restored.cy, clientBefore.cy) << "restoring did not bring the old size back";
    ExpectFittedTo(program, before, clientBefore);

    // Minimising is ignored; restoring gives the panes the restored size.
    Layout normal = ReadLayout(program);
    SIZE clientNormal = ClientSize(program.dialog);
    ShowWindowAsync(program.dialog, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(program.dialog) != FALSE; }, deadline));
    WaitUntilPostedMessagesHandled(program, deadline);
    ASSERT_TRUE(IsIconic(program.dialog)) << "the window did not stay minimised";
    Layout minimised = ReadLayout(program);
    EXPECT_EQ(Width(minimised.output), Width(normal.output));
    EXPECT_EQ(Height(minimised.output), Height(normal.output));
    ShowWindowAsync(program.dialog, SW_RESTORE);
    ASSERT_TRUE(WaitFor([&] { return !IsIconic(program.dialog); }, deadline));
    WaitUntilPostedMessagesHandled(program, deadline);
    ASSERT_FALSE(IsIconic(program.dialog)) << "the window went back to minimised";
    EXPECT_EQ(ClientSize(program.dialog).cx, clientNormal.cx);
    EXPECT_EQ(ClientSize(program.dialog).cy, clientNormal.cy);
    ExpectFittedTo(program, normal, clientNormal);
}

TEST_F(PaneLayout, DraggingTheBandMovesTheBoundaryAndTheButtonTogether) {
    ExpectDragFollowsPointer(BandMiddle(), 40);
    ExpectDragFollowsPointer(BandMiddle(), -25);
}

TEST_F(PaneLayout, ADragPastTheLimitFreezesThePanesUntilThePointerComesBack) {
    Layout start = ReadLayout(program);
    int x = BandX(start);
    int y = BandMiddle();
    Press(program, x, y, deadline);
    // Far above the top: the source pane would fall under 10 pixels.
    PointAt(program, x, start.source.top + 2, deadline);
    Layout frozen = ReadLayout(program);
    EXPECT_TRUE(SameRect(frozen.source, start.source)) << Describe(frozen.source);
    EXPECT_TRUE(SameRect(frozen.output, start.output)) << Describe(frozen.output);
    // Back to where both panes keep 10 pixels: they jump to follow the pointer.
    int back = y - 30;
    PointAt(program, x, back, deadline);
    Release(program, x, back, deadline);
    Layout after = ReadLayout(program);
    EXPECT_EQ(after.source.bottom, start.source.bottom - 30);
    EXPECT_EQ(after.output.top, start.output.top - 30);
    EXPECT_EQ(after.button.top, start.button.top - 30);
    EXPECT_EQ(after.output.bottom, start.output.bottom);
}

TEST_F(PaneLayout, TheBandsRowsAreStrictlyBetweenThePanes) {
    Layout start = ReadLayout(program);
    int x = BandX(start);
    // The row right under the source pane is outside the band: no drag.
    Press(program, x, start.source.bottom, deadline);
    PointAt(program, x, start.source.bottom + 15, deadline);
    Release(program, x, start.source.bottom + 15, deadline);
    Layout afterOutside = ReadLayout(program);
    EXPECT_TRUE(SameRect(afterOutside.source, start.source)) << Describe(afterOutside.source);
    EXPECT_TRUE(SameRect(afterOutside.output, start.output)) << Describe(afterOutside.output);

    // The row right above the output pane is inside.
    ExpectDragFollowsPointer(start.output.top - 1, 15);
}

HCURSOR CurrentCursor() {
    CURSORINFO info{};
    info.cbSize = sizeof info;
    GetCursorInfo(&info);
    return info.hCursor;
}

// The cursor once the dialog has handled every pointer move that reached it.
// A move reaches it twice under Wine: from SendInput, and again when the X
// server reports the pointer's warp, on the server's own time. For each, the
// dialog's default WM_SETCURSOR shows the arrow a moment before its
// WM_MOUSEMOVE sets the sizing cursor, so one reading can fall in between.
// After all the input queued before a reading has been handled, a second
// reading that agrees with it is the cursor the dialog settled on.
HCURSOR SettledCursor(Program& program, const Deadline& deadline) {
    HCURSOR seen = CurrentCursor();
    for (;;) {
        WaitUntilInputHandled(program, deadline);
        HCURSOR now = CurrentCursor();
        if (now == seen) return now;
        seen = now;
    }
}

// Each process holds its own handles of the system's cursors, so the program's
// sizing cursor is told apart from the cursors the dialog shows elsewhere.
TEST_F(PaneLayout, TheBandAndADragShowTheSizingCursorAndNothingElseDoes) {
    Layout start = ReadLayout(program);
    int x = BandX(start);
    int band = BandMiddle();
    ASSERT_GT(start.source.left, 0) << "no dialog margin left of the panes";
    auto CursorAt = [&](int atX, int atY) {
        PointAt(program, atX, atY, deadline);
        return SettledCursor(program, deadline);
    };
    HCURSOR overDialog = CursorAt(start.source.left - 1, (start.source.top + start.source.bottom) / 2);
    HCURSOR overPane = CursorAt(x, (start.source.top + start.source.bottom) / 2);
    HCURSOR overBand = CursorAt(x, band);
    EXPECT_NE(overBand, overDialog);
    EXPECT_NE(overBand, overPane);
    EXPECT_NE(overDialog, overPane);
    EXPECT_EQ(CursorAt(x, start.output.top - 1), overBand);
    EXPECT_EQ(CursorAt(x, start.source.bottom + 1), overBand);

    // Throughout a drag, even with the pointer over a pane.
    Press(program, x, band, deadline);
    EXPECT_EQ(CursorAt(x, band + 30), overBand);
    EXPECT_EQ(CursorAt(x, ReadLayout(program).output.top + 20), overBand);
    Release(program, x, band, deadline);
    EXPECT_EQ(CursorAt(x, (start.source.top + start.source.bottom) / 2), overPane);
}

TEST_F(PaneLayout, ADoubleClickLeavesNoDragBehind) {
    Layout start = ReadLayout(program);
    int x = BandX(start);
    int y = BandMiddle();
    PointAt(program, x, y, deadline);
    for (int click = 0; click < 2; ++click) {
        SendMouse(MOUSEEVENTF_LEFTDOWN, ToScreen(program.dialog, x, y));
        SendMouse(MOUSEEVENTF_LEFTUP, ToScreen(program.dialog, x, y));
    }
    WaitUntilInputHandled(program, deadline);
    PointAt(program, x, y + 25, deadline);
    Layout after = ReadLayout(program);
    EXPECT_TRUE(SameRect(after.source, start.source)) << Describe(after.source);
    EXPECT_TRUE(SameRect(after.output, start.output)) << Describe(after.output);
}

}  // namespace
}  // namespace e2e
