// The run against the platform: how it reads the assembler's output pipe, and
// the handles it holds while it reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <string>

#include "assembler_run.h"
#include "harness.h"
#include "resource.h"
#include "run_fixture.h"
#include "run_log.h"

namespace {

DWORD WINAPI WriteAroundAZeroLengthWrite(void* pipe) {
    DWORD written = 0;
    WriteFile(pipe, "before ", 7, &written, nullptr);
    WriteFile(pipe, "", 0, &written, nullptr);
    // Returns once the reader has taken everything, the zero-length write too.
    FlushFileBuffers(pipe);
    WriteFile(pipe, "after", 5, &written, nullptr);
    CloseHandle(pipe);
    return 0;
}

TEST(OutputPipe, AZeroLengthWriteDoesNotEndTheOutput) {
    // A zero-length write makes the reader's read succeed with no bytes. Wine
    // passes such writes on only in a pipe of messages, so this pipe is one,
    // read as bytes like the assembler's output pipe. Its buffer lets the
    // writer finish even when nobody reads any more.
    const std::wstring name = L"\\\\.\\pipe\\quorvel-zero-length-" + std::to_wstring(GetCurrentProcessId());
    e2e::Handle readEnd(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND,
                                         PIPE_TYPE_MESSAGE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096,
                                         0, nullptr));
    ASSERT_NE(readEnd.get(), INVALID_HANDLE_VALUE);
    HANDLE writeEnd = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writeEnd, INVALID_HANDLE_VALUE);
    e2e::Handle writer(CreateThread(nullptr, 0, WriteAroundAZeroLengthWrite, writeEnd, 0, nullptr));
    ASSERT_TRUE(writer);

    RunLog log;
    DrainOutput(readEnd.get(), log);
    WaitForSingleObject(writer.get(), INFINITE);
    EXPECT_EQ(log, "before after");
}

// How many handles this process holds: Windows and Wine number them in
// steps of 4 from the bottom of the table.
std::size_t OpenHandleCount() {
    std::size_t count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

WNDPROC g_outputPaneProc = nullptr;
std::size_t g_handlesAtReport = 0;

LRESULT CALLBACK CountHandlesAtReport(HWND pane, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) g_handlesAtReport = OpenHandleCount();
    return CallWindowProcW(g_outputPaneProc, pane, message, wParam, lParam);
}

TEST(RunHandles, AreAllClosedBeforeAFailureIsReported) {
    // With no assembler to start, the run fails after opening both pipes; the
    // output pane counts the open handles as the report arrives.
    CurrentWorkFolder work(AssemblerInFolder::kNone);
    Panes panes;
    g_outputPaneProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(GetDlgItem(panes.parent.get(), IDC_OUTPUT), GWLP_WNDPROC,
                          reinterpret_cast<LONG_PTR>(CountHandlesAtReport)));
    RunAssembler(panes.parent.get());
    ASSERT_EQ(panes.Text(IDC_OUTPUT), L"Can't execute ASM68k.exe\r\n");
    EXPECT_EQ(g_handlesAtReport, OpenHandleCount());
}

}  // namespace
