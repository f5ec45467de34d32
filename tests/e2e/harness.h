// Drives the real program in a real window: starts Quorvel.exe in a fresh
// folder with an assembler beside it, finds its dialog, fills the source pane,
// presses Compile and reads the report back.  Shared by the end-to-end tests
// and the Compile benchmark.  Every wait is bounded by a Deadline; a wait that
// runs out throws HarnessError, and the objects below then end the program
// and remove its folder on the way out.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace e2e {

struct HarnessError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The programs under test, as the build placed them.
std::wstring QuorvelExe();
std::wstring DoubleAssemblerExe();
std::wstring RealAssemblerExe();
// A folder whose "temp.asm" leads to a device that is always full, prepared
// by the test run (empty when there is none).
std::wstring FullDeviceFolder();

// A point in time that a case's waits must not pass.
struct Deadline {
  explicit Deadline(DWORD milliseconds);
  bool Passed() const;
  DWORD Remaining() const;
  ULONGLONG end;
};

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// A fresh folder under the temporary folder, removed with all it holds.
struct WorkFolder {
  WorkFolder();
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  std::wstring File(const std::wstring& name) const { return path + L"\\" + name; }
  std::wstring path;
};

enum class Assembler { Double, Real, None };

// Quorvel.exe running in a work folder, in a job of its own so that it and
// the assembler it started are ended together if a case leaves them running.
struct Program {
  Program() = default;
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  Handle job;
  Handle process;
  DWORD processId = 0;
  DWORD threadId = 0;
  HWND dialog = nullptr;
  HWND source = nullptr;
  HWND output = nullptr;
  HWND compile = nullptr;
};

// Copies Quorvel.exe and the chosen assembler (as ASM68k.exe) into the folder,
// starts the program with the folder as its current directory and waits for
// its visible dialog "Quorvel".  Under Wine the program's windows are managed
// by Wine, not by the X window manager, so that a state asked for (maximised,
// minimised, a size) is the state the window keeps.
void StartProgram(const WorkFolder& folder, Assembler assembler, Program& program,
                  const Deadline& deadline);
// The same in a folder that the caller prepared and cleans up.
void StartProgramIn(const std::wstring& folder, Assembler assembler, Program& program,
                    const Deadline& deadline);

// Pane text through the window messages, waiting while the dialog is busy.
std::wstring PaneText(HWND pane, const Deadline& deadline);
void SetPaneText(HWND pane, const std::wstring& text, const Deadline& deadline);
// Puts the text on the clipboard and pastes it into the pane, as a user would.
void PasteIntoPane(HWND pane, const std::wstring& text, const Deadline& deadline);
LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   const Deadline& deadline);

// Text that no report ever is, put into the output pane before a click so
// that any report, even one equal to the last, shows as a change.
extern const wchar_t kNoReportYet[];

// Clicks Compile (BM_CLICK, posted, so a busy dialog cannot block the caller)
// and returns the report once it is in the output pane.
std::wstring Compile(Program& program, const Deadline& deadline);
// Sets the source pane's text, then as Compile.
std::wstring CompileSource(Program& program, const std::wstring& source,
                           const Deadline& deadline);
// Returns once the dialog has handled every message posted to it so far.
// Not enough after real input: posted messages are taken before input.
void WaitUntilPostedMessagesHandled(Program& program, const Deadline& deadline);
// Returns once the dialog has handled every message posted to it and all the
// real input (SendInput) sent to it so far.
void WaitUntilInputHandled(Program& program, const Deadline& deadline);
// Whether the program is still running.
bool IsRunning(const Program& program);
// Posts WM_CLOSE and returns the process's exit code once it has ended.
DWORD CloseAndWait(Program& program, const Deadline& deadline);

// Real input, through the system's input queue.
void BringToFront(Program& program, const Deadline& deadline);
void ClickInside(HWND window);
void PressKey(WORD virtualKey);
void ReleaseKey(WORD virtualKey);
// The pane's selection as start and end character positions.
std::pair<DWORD, DWORD> Selection(HWND pane, const Deadline& deadline);
HWND FocusedWindow(const Program& program);

// Files, byte for byte.
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);

// Runs an assembler directly (not through the program) in a folder and
// returns everything it printed on standard output and standard error.
std::string RunCaptured(const std::wstring& exe, const std::string& commandLine,
                        const std::wstring& folder, const Deadline& deadline);

// What a report should hold, built independently of the program.
std::wstring Widen(const std::string& bytes);
std::wstring HexDump(const std::string& image);
std::string OutputPattern(std::size_t count);
std::string ImagePattern(std::size_t count);

}  // namespace e2e
