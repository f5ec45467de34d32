#include "assembler_run.h"

#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "report.h"
#include "resource.h"
#include "run_log.h"
#include "source_text.h"
#include "work_files.h"

// The structures the run hands to the system, at their sizes in the 32-bit
// program (the product) and in the 64-bit build of the same sources.
constexpr bool kBuild32 = sizeof(void*) == 4;
static_assert(sizeof(SECURITY_ATTRIBUTES) == (kBuild32 ? 12 : 24), "SECURITY_ATTRIBUTES size");
static_assert(sizeof(STARTUPINFOA) == (kBuild32 ? 68 : 104), "STARTUPINFOA size");

namespace {

const char kSourceFile[] = "temp.asm";
const char kImageFile[] = "temp.bin";
const wchar_t kCantOpenSource[] = L"Can't open file \"temp.asm\" for write.";
const wchar_t kCantWriteSource[] = L"Can't write file \"temp.asm\".";
const wchar_t kCantCreateStdout[] = L"Can't create stdout pipe.";
const wchar_t kCantCreateStdin[] = L"Can't create stdin pipe.";
const wchar_t kCantExecute[] = L"Can't execute ASM68k.exe";
const wchar_t kCantOpenImage[] = L"Can't open file \"temp.bin\" for read.";
const wchar_t kCantReadImage[] = L"Can't read file \"temp.bin\".";
const wchar_t kImageEmpty[] = L"File \"temp.bin\" is empty.";
const wchar_t kNotEnoughMemory[] = L"Not enough memory.";

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct Pipe {
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
};

bool CreateInheritablePipe(Pipe& pipe) {
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = TRUE;
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &attributes, 0)) return false;
    pipe.readEnd.reset(readEnd);
    pipe.writeEnd.reset(writeEnd);
    return true;
}

std::string ReadSourcePane(HWND dialog) {
    int length = GetWindowTextLengthW(GetDlgItem(dialog, IDC_SOURCE));
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
    int copied = GetDlgItemTextW(dialog, IDC_SOURCE, text.data(), length + 1);
    return NarrowSourceText(text.data(), static_cast<std::size_t>(copied));
}

// Starts the assembler hidden, its standard output and error on the output
// pipe and its standard input on the input pipe.
UniqueHandle StartAssembler(const Pipe& output, const Pipe& input) {
    // Our own ends stay ours: a child holding a copy of the input's write end
    // would never see end-of-input, and one of the output's read end would keep
    // the pipe open.
    SetHandleInformation(output.readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(input.writeEnd.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input.readEnd.get();
    startup.hStdOutput = output.writeEnd.get();
    startup.hStdError = output.writeEnd.get();

    char commandLine[] = "ASM68k.exe /p temp.asm,temp.bin";
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started)) {
        return UniqueHandle();
    }
    CloseHandle(started.hThread);
    return UniqueHandle(started.hProcess);
}

// The assembler while the run takes its output. However that ends, an
// exception included, our read end closes first, so that the assembler can't
// stay blocked on a full pipe, and then the run waits for it to end: it never
// outlives its run to meet the next one over temp.asm and temp.bin.
struct RunningAssembler {
    UniqueHandle process;
    UniqueHandle outputReadEnd;
    ~RunningAssembler() {
        outputReadEnd.reset();
        WaitForSingleObject(process.get(), INFINITE);
    }
};

// Runs the assembler with its output taken into the log. Returns the failure
// headline, or nullptr once the assembler has ended; either way every handle
// it opened is closed by the time it returns, before any report is shown.
const wchar_t* RunCapturingOutput(RunLog& log) {
    Pipe output;
    if (!CreateInheritablePipe(output)) return kCantCreateStdout;
    Pipe input;
    if (!CreateInheritablePipe(input)) return kCantCreateStdin;

    UniqueHandle assembler = StartAssembler(output, input);
    if (!assembler) return kCantExecute;
    // The child has its copies now. Closing ours lets the output end when the
    // assembler ends, and gives an assembler that reads its input end-of-input.
    output.writeEnd.reset();
    input.readEnd.reset();
    input.writeEnd.reset();

    RunningAssembler running{std::move(assembler), std::move(output.readEnd)};
    DrainOutput(running.outputReadEnd.get(), log);
    return nullptr;
}

void ShowImageReport(HWND dialog, const RunLog& log) {
    std::vector<unsigned char> image;
    switch (ReadImageFile(kImageFile, image)) {
        case ImageFileResult::kCantOpen: return ShowRunReport(dialog, kCantOpenImage, log);
        case ImageFileResult::kCantMeasure: return ShowRunReport(dialog, kCantReadImage, log);
        case ImageFileResult::kEmpty: return ShowRunReport(dialog, kImageEmpty, log);
        case ImageFileResult::kRead: break;
    }
    std::wstring dump = FormatHexDump(image.data(), image.size());
    std::vector<unsigned char>().swap(image);  // the dump is all the report needs
    ShowRunReport(dialog, dump.c_str(), log);
}

void RunAssemblerOnce(HWND dialog) {
    RunLog log;
    switch (WriteSourceFile(kSourceFile, ReadSourcePane(dialog))) {
        case SourceFileResult::kCantOpen: return ShowRunReport(dialog, kCantOpenSource, log);
        case SourceFileResult::kCantWrite: return ShowRunReport(dialog, kCantWriteSource, log);
        case SourceFileResult::kWritten: break;
    }
    if (const wchar_t* failure = RunCapturingOutput(log)) return ShowRunReport(dialog, failure, log);
    ShowImageReport(dialog, log);
}

}  // namespace

void RunAssembler(HWND dialog) {
    try {
        RunAssemblerOnce(dialog);
    } catch (const std::exception&) {
        // A text of the run did not fit: memory ran out (std::bad_alloc), or it
        // would be longer than a string can be (std::length_error: the dump of
        // an image of some 179 MB in the 32-bit program). The source pane keeps
        // the user's text; only the report is lost.
        try {
            ShowRunReport(dialog, kNotEnoughMemory, RunLog());
        } catch (const std::exception&) {
        }
    }
}
