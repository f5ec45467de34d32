#include "harness.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "patterns.h"

namespace e2e {

namespace {

const DWORD kPollMilliseconds = 20;

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t character : text) narrow += character < 128 ? static_cast<char>(character) : '?';
  return narrow;
}

[[noreturn]] void Fail(const std::string& what) { throw HarnessError(what); }

[[noreturn]] void FailWithError(const std::string& what) {
  Fail(what + " (error " + std::to_string(GetLastError()) + ")");
}

// The build passes Unix paths; Wine shows the Unix root as drive Z:.
std::wstring WindowsPath(const char* unixPath) {
  std::wstring path = L"Z:";
  for (const char* at = unixPath; *at; ++at) path += *at == '/' ? L'\\' : static_cast<wchar_t>(*at);
  return path;
}

void CopyInto(const std::wstring& from, const std::wstring& to) {
  if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) FailWithError("can't copy " + Narrow(from));
}

struct FoundDialog {
  DWORD processId;
  HWND dialog;
};

BOOL CALLBACK CheckTopWindow(HWND window, LPARAM found) {
  auto* search = reinterpret_cast<FoundDialog*>(found);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t caption[64] = {};
  wchar_t windowClass[64] = {};
  GetWindowTextW(window, caption, 64);
  GetClassNameW(window, windowClass, 64);
  if (std::wcscmp(caption, L"Quorvel") != 0 || std::wcscmp(windowClass, L"#32770") != 0) return TRUE;
  search->dialog = window;
  return FALSE;
}

void SendInputEvent(INPUT& input) {
  if (SendInput(1, &input, sizeof input) != 1) FailWithError("SendInput failed");
  // Key and mouse events that follow each other too closely can be merged or
  // seen with a stale modifier state; give each its own moment.
  Sleep(30);
}

void SendKey(WORD virtualKey, DWORD flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = flags;
  SendInputEvent(input);
}

// Under Wine a top-level window is either left to the X window manager or
// managed by Wine itself.  Left to the manager, its maximised and minimised
// state follows what the manager reports back, later: fvwm carries out a
// maximise but never reports one (its _NET_WM_STATE never holds
// _NET_WM_STATE_MAXIMIZED_*), so Wine takes the maximise back as soon as fvwm
// reports the new frame, and a minimise's late report can minimise a window
// that was restored in the meantime.  Managed by Wine, a window gets the state
// it is asked for at once, as on Windows.  The setting is made for the
// program alone and in a volatile key, which lives only as long as the Wine
// server of this test run and never reaches the prefix on disk, so that the
// program run by hand keeps its window manager.
void LeaveTheProgramsWindowsToWine() {
  HKEY appDefaults = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults", 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY, nullptr, &appDefaults,
                      nullptr) != ERROR_SUCCESS)
    Fail("can't open Wine's per-program settings");
  HKEY driver = nullptr;
  LSTATUS created = RegCreateKeyExW(appDefaults, L"Quorvel.exe\\X11 Driver", 0, nullptr,
                                    REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &driver, nullptr);
  RegCloseKey(appDefaults);
  if (created != ERROR_SUCCESS) Fail("can't make Wine's settings for the program");
  static const wchar_t kNo[] = L"N";
  LSTATUS set = RegSetValueExW(driver, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNo),
                               sizeof kNo);
  RegCloseKey(driver);
  if (set != ERROR_SUCCESS) Fail("can't leave the program's windows to Wine");
}

}  // namespace

std::wstring QuorvelExe() { return WindowsPath(QUORVEL_EXE_PATH); }
std::wstring DoubleAssemblerExe() { return WindowsPath(DOUBLE_ASSEMBLER_PATH); }
std::wstring RealAssemblerExe() { return WindowsPath(REAL_ASSEMBLER_PATH); }
std::wstring FullDeviceFolder() {
#ifdef FULL_DEVICE_FOLDER_PATH
  return WindowsPath(FULL_DEVICE_FOLDER_PATH);
#else
  return std::wstring();
#endif
}

Deadline::Deadline(DWORD milliseconds) : end(GetTickCount64() + milliseconds) {}
bool Deadline::Passed() const { return GetTickCount64() >= end; }
DWORD Deadline::Remaining() const {
  ULONGLONG now = GetTickCount64();
  return now >= end ? 0 : static_cast<DWORD>(end - now);
}

WorkFolder::WorkFolder() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  for (;;) {
    path = std::wstring(temp) + L"quorvel-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
    if (CreateDirectoryW(path.c_str(), nullptr)) return;
    if (GetLastError() != ERROR_ALREADY_EXISTS) FailWithError("can't create a work folder");
  }
}

WorkFolder::~WorkFolder() {
  // A process that was just ended may hold its files for a moment longer.
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path), ignored);
    if (!std::filesystem::exists(std::filesystem::path(path), ignored)) return;
    Sleep(100);
  }
}

Program::~Program() {
  if (job) TerminateJobObject(job.get(), 1);
  if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 10000);
  }
}

void StartProgram(const WorkFolder& folder, Assembler assembler, Program& program,
                  const Deadline& deadline) {
  StartProgramIn(folder.path, assembler, program, deadline);
}

void StartProgramIn(const std::wstring& folder, Assembler assembler, Program& program,
                    const Deadline& deadline) {
  std::wstring exe = folder + L"\\Quorvel.exe";
  std::wstring assemblerCopy = folder + L"\\ASM68k.exe";
  CopyInto(QuorvelExe(), exe);
  DeleteFileW(assemblerCopy.c_str());
  if (assembler == Assembler::Double) CopyInto(DoubleAssemblerExe(), assemblerCopy);
  if (assembler == Assembler::Real) CopyInto(RealAssemblerExe(), assemblerCopy);

  LeaveTheProgramsWindowsToWine();
  program.job.reset(CreateJobObjectW(nullptr, nullptr));
  if (program.job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(program.job.get(), JobObjectExtendedLimitInformation, &limits,
                            sizeof limits);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, folder.c_str(), &startup, &started))
    FailWithError("can't start Quorvel.exe");
  program.process.reset(started.hProcess);
  Handle thread(started.hThread);
  program.processId = started.dwProcessId;
  program.threadId = started.dwThreadId;
  if (program.job && !AssignProcessToJobObject(program.job.get(), started.hProcess))
    program.job.reset();
  ResumeThread(started.hThread);

  WaitForInputIdle(program.process.get(), deadline.Remaining());
  FoundDialog search{program.processId, nullptr};
  while (!search.dialog) {
    EnumWindows(CheckTopWindow, reinterpret_cast<LPARAM>(&search));
    if (search.dialog) break;
    if (!IsRunning(program)) Fail("Quorvel.exe ended before showing its dialog");
    if (deadline.Passed()) Fail("no visible dialog \"Quorvel\" appeared in time");
    Sleep(kPollMilliseconds);
  }
  program.dialog = search.dialog;
  program.source = GetDlgItem(program.dialog, 1001);
  program.output = GetDlgItem(program.dialog, 1002);
  program.compile = GetDlgItem(program.dialog, 1003);
  if (!program.source || !program.output || !program.compile)
    Fail("the dialog lacks one of its controls 1001, 1002, 1003");
}

LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                   const Deadline& deadline) {
  // One send with all the time that is left: a message that timed out is
  // still delivered later, so sending it again could paste twice.
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL,
                           std::max<DWORD>(deadline.Remaining(), 1), &result)) {
    if (!IsWindow(window)) Fail("the window went away while a message was sent to it");
    Fail("the dialog was still busy when the case's time ran out (message 0x" +
         [message] {
           char hex[16];
           std::snprintf(hex, sizeof hex, "%04X", message);
           return std::string(hex);
         }() + ")");
  }
  return static_cast<LRESULT>(result);
}

std::wstring PaneText(HWND pane, const Deadline& deadline) {
  for (;;) {
    auto length = static_cast<std::size_t>(SendWithin(pane, WM_GETTEXTLENGTH, 0, 0, deadline));
    // Room for one character more than asked for: if a run set a longer text
    // between the two messages, the copy fills the room and we ask again.
    std::wstring text(length + 2, L'\0');
    auto copied = static_cast<std::size_t>(
        SendWithin(pane, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), deadline));
    if (copied == length) {
      text.resize(copied);
      return text;
    }
  }
}

void SetPaneText(HWND pane, const std::wstring& text, const Deadline& deadline) {
  if (!SendWithin(pane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), deadline))
    Fail("WM_SETTEXT was refused");
}

void PasteIntoPane(HWND pane, const std::wstring& text, const Deadline& deadline) {
  std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) Fail("no memory for the clipboard");
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  while (!OpenClipboard(nullptr)) {
    if (deadline.Passed()) {
      GlobalFree(memory);
      Fail("the clipboard stayed busy");
    }
    Sleep(kPollMilliseconds);
  }
  EmptyClipboard();
  bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
  CloseClipboard();
  if (!placed) {
    GlobalFree(memory);
    Fail("can't put the text on the clipboard");
  }
  SendWithin(pane, WM_PASTE, 0, 0, deadline);
}

const wchar_t kNoReportYet[] = L"<no report yet>";

std::wstring Compile(Program& program, const Deadline& deadline) {
  SetPaneText(program.output, kNoReportYet, deadline);
  if (!PostMessageW(program.compile, BM_CLICK, 0, 0)) FailWithError("can't post BM_CLICK");
  for (;;) {
    std::wstring text = PaneText(program.output, deadline);
    if (text != kNoReportYet) return text;
    if (!IsRunning(program)) Fail("Quorvel.exe ended during the run");
    if (deadline.Passed()) Fail("no report appeared in time");
    Sleep(kPollMilliseconds);
  }
}

std::wstring CompileSource(Program& program, const std::wstring& source, const Deadline& deadline) {
  SetPaneText(program.source, source, deadline);
  return Compile(program, deadline);
}

void WaitUntilPostedMessagesHandled(Program& program, const Deadline& deadline) {
  // Posted messages are handled in order: once a selection posted last has
  // arrived, everything posted before it has been handled too.
  SendWithin(program.output, EM_SETSEL, 0, 0, deadline);
  PostMessageW(program.output, EM_SETSEL, 1, 2);
  while (Selection(program.output, deadline) != std::make_pair(DWORD{1}, DWORD{2})) {
    if (deadline.Passed()) Fail("the dialog did not take its posted messages in time");
    Sleep(kPollMilliseconds);
  }
}

void WaitUntilInputHandled(Program& program, const Deadline& deadline) {
  // A thread takes its messages in a fixed order: sent, posted, input, and
  // only then WM_PAINT.  So once a repaint asked for now has been done, the
  // input and the posted messages queued before it have been handled.
  RedrawWindow(program.dialog, nullptr, nullptr, RDW_INVALIDATE);
  while (GetUpdateRect(program.dialog, nullptr, FALSE)) {
    if (!IsRunning(program)) Fail("Quorvel.exe ended while its input was handled");
    if (deadline.Passed()) Fail("the dialog did not take its input in time");
    Sleep(kPollMilliseconds);
  }
}

bool IsRunning(const Program& program) {
  return program.process && WaitForSingleObject(program.process.get(), 0) == WAIT_TIMEOUT;
}

DWORD CloseAndWait(Program& program, const Deadline& deadline) {
  PostMessageW(program.dialog, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(program.process.get(), deadline.Remaining()) != WAIT_OBJECT_0)
    Fail("Quorvel.exe did not end after WM_CLOSE");
  DWORD exitCode = 0;
  GetExitCodeProcess(program.process.get(), &exitCode);
  return exitCode;
}

void BringToFront(Program& program, const Deadline& deadline) {
  while (GetForegroundWindow() != program.dialog) {
    SetForegroundWindow(program.dialog);
    if (deadline.Passed()) Fail("the dialog did not come to the front");
    Sleep(100);
  }
  // The system makes the dialog the foreground window at once; its thread
  // takes the activation later, and keys must wait for that.
  WaitUntilInputHandled(program, deadline);
  // The X server's reports of a new focus or pointer (KeymapNotify) reach the
  // program on their own time, and Wine then sets the key state to X's, where
  // no key is down, since SendInput does not pass through X: a modifier
  // pressed before such a report is handled reads as released.  Nothing on
  // the Windows side shows when they have come, so they get this moment.
  Sleep(300);
}

void ClickInside(HWND window) {
  RECT area{};
  GetWindowRect(window, &area);
  int x = (area.left + area.right) / 2;
  int y = (area.top + area.bottom) / 2;
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInputEvent(input);
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  SendInputEvent(input);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  SendInputEvent(input);
}

void PressKey(WORD virtualKey) { SendKey(virtualKey, 0); }
void ReleaseKey(WORD virtualKey) { SendKey(virtualKey, KEYEVENTF_KEYUP); }

std::pair<DWORD, DWORD> Selection(HWND pane, const Deadline& deadline) {
  auto packed = static_cast<DWORD>(SendWithin(pane, EM_GETSEL, 0, 0, deadline));
  return {LOWORD(packed), HIWORD(packed)};
}

HWND FocusedWindow(const Program& program) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(program.threadId, &info)) return nullptr;
  return info.hwndFocus;
}

std::string ReadBytes(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) Fail("can't read " + Narrow(path));
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) Fail("can't write " + Narrow(path));
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string RunCaptured(const std::wstring& exe, const std::string& commandLine,
                        const std::wstring& folder, const Deadline& deadline) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) FailWithError("can't create a pipe");
  Handle reader(readEnd), writer(writeEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                           OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  std::wstring wideCommandLine(commandLine.begin(), commandLine.end());
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(exe.c_str(), &wideCommandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, folder.c_str(), &startup, &started))
    FailWithError("can't start " + Narrow(exe));
  Handle process(started.hProcess), thread(started.hThread);
  writer.reset();
  input.reset();

  // Peek before reading so that an assembler that never ends fails the case
  // instead of blocking it; the pipe breaks once the assembler has ended.
  std::string output;
  char buffer[4096];
  DWORD available = 0;
  while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) {
    DWORD got = 0;
    if (available > 0 && ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr)) {
      output.append(buffer, got);
      continue;
    }
    if (deadline.Passed()) {
      TerminateProcess(process.get(), 1);
      Fail("the assembler did not end in time");
    }
    Sleep(10);
  }
  WaitForSingleObject(process.get(), deadline.Remaining());
  return output;
}

std::wstring Widen(const std::string& bytes) {
  std::wstring wide(bytes.size(), L'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) wide[i] = static_cast<unsigned char>(bytes[i]);
  return wide;
}

std::wstring HexDump(const std::string& image) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring dump;
  dump.reserve(image.size() * 3);
  for (unsigned char byte : image) {
    dump += kDigits[byte >> 4];
    dump += kDigits[byte & 15];
    dump += L' ';
  }
  return dump;
}

std::string OutputPattern(std::size_t count) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i) bytes[i] = OutputPatternByte(i);
  return bytes;
}

std::string ImagePattern(std::size_t count) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(ImagePatternByte(i));
  return bytes;
}

}  // namespace e2e
