// Shows Quorvel at work without anyone at the keyboard.
//   demo_driver REPORT-FILE        starts the program from the folder it stands
//                                  in, types an example source, presses Compile
//                                  and writes the report (UTF-8) to the file
//   demo_driver --reshape GRAB-FILE  enlarges the running program's window and
//                                  writes the screen point where its splitter
//                                  band can be grabbed
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t kExample[] =
    L"start:  moveq   #1,d0\r\n"
    L"        lea     table(pc),a0\r\n"
    L"        move.w  (a0)+,d1\r\n"
    L"        rts\r\n"
    L"table:  dc.w    $1234,$5678\r\n";

HWND WaitForDialog(DWORD processId) {
    for (int tries = 0; tries < 300; ++tries) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, nullptr, L"Quorvel")) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == processId && IsWindowVisible(window)) return window;
        }
        Sleep(100);
    }
    return nullptr;
}

// GetWindowText can't read a control of another process: ask the control itself.
std::wstring PaneText(HWND pane) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(pane, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(pane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(copied);
    return text;
}

// Tells demo.sh what went wrong: it waits for this file beside the result.
int Fail(const char* what) {
    if (FILE* file = std::fopen("error.txt", "wb")) {
        std::fputs(what, file);
        std::fclose(file);
    }
    return 1;
}

int Reshape(const wchar_t* grabFile) {
    HWND dialog = FindWindowW(nullptr, L"Quorvel");
    if (!dialog) return Fail("the Quorvel window was not there to enlarge");
    RECT frame;
    GetWindowRect(dialog, &frame);
    SetWindowPos(dialog, nullptr, frame.left - 40, frame.top - 30, frame.right - frame.left + 80,
                 frame.bottom - frame.top + 90, SWP_NOZORDER);
    Sleep(300);
    RECT source, output, button;
    GetWindowRect(GetDlgItem(dialog, 1001), &source);
    GetWindowRect(GetDlgItem(dialog, 1002), &output);
    GetWindowRect(GetDlgItem(dialog, 1003), &button);
    // Where the band can be grabbed, right of the Compile button: the caller
    // drags it with the X server's own pointer.
    if (FILE* file = _wfopen(grabFile, L"wb")) {
        std::fprintf(file, "%ld %ld\n", button.right + 30, (source.bottom + output.top) / 2);
        std::fclose(file);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--reshape") return Reshape(argv[2]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_driver REPORT-FILE | --reshape GRAB-FILE\n");
        return 2;
    }
    wchar_t folder[MAX_PATH];
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    std::wstring program(folder);
    program.resize(program.find_last_of(L'\\') + 1);
    program += L"Quorvel.exe";

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return Fail("the demo driver could not start Quorvel.exe");
    }
    CloseHandle(started.hThread);
    HWND dialog = WaitForDialog(started.dwProcessId);
    if (!dialog) {
        return Fail("the Quorvel window did not appear within 30 seconds");
    }
    HWND output = GetDlgItem(dialog, 1002);
    SetDlgItemTextW(dialog, 1001, kExample);
    PostMessageW(GetDlgItem(dialog, 1003), BM_CLICK, 0, 0);
    std::wstring report;
    for (int tries = 0; tries < 300 && report.empty(); ++tries) {
        Sleep(100);
        report = PaneText(output);
    }
    int size = WideCharToMultiByte(CP_UTF8, 0, report.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, report.c_str(), -1, &utf8[0], size, nullptr, nullptr);
    if (FILE* file = _wfopen(argv[1], L"wb")) {
        std::fputs(utf8.c_str(), file);
        std::fclose(file);
    }
    CloseHandle(started.hProcess);  // the program stays open for the screenshot
    return report.empty() ? Fail("no report in the output pane within 30 seconds of Compile") : 0;
}
