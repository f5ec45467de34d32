// What the tests of whole runs share: a window with the two panes a run reads
// and writes, and a fresh work folder as the current folder.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

#include "harness.h"
#include "resource.h"

struct WindowDestroyer {
    void operator()(HWND window) const { DestroyWindow(window); }
};
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// A window holding the two panes under their identifiers, as the dialog does.
struct Panes {
    Panes() {
        parent.reset(CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                     nullptr, nullptr, nullptr));
        for (int id : {IDC_SOURCE, IDC_OUTPUT}) {
            CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOHSCROLL, 0, 0, 100, 50, parent.get(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        }
    }
    std::wstring Text(int id) const {
        HWND pane = GetDlgItem(parent.get(), id);
        std::wstring text(GetWindowTextLengthW(pane) + 1, L'\0');
        text.resize(GetWindowTextW(pane, &text[0], static_cast<int>(text.size())));
        return text;
    }
    UniqueWindow parent;
};

enum class AssemblerInFolder { kStandIn, kNone };

// A fresh folder, current while the object lives, where a run writes its work
// files. These tests are not built beside an assembler, so the run starts the
// stand-in copied here as ASM68k.exe, or finds none.
struct CurrentWorkFolder {
    explicit CurrentWorkFolder(AssemblerInFolder assembler) {
        if (assembler == AssemblerInFolder::kStandIn) {
            CopyFileW(e2e::DoubleAssemblerExe().c_str(), folder.File(L"ASM68k.exe").c_str(), FALSE);
        }
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        previous = current;
        SetCurrentDirectoryW(folder.path.c_str());
    }
    ~CurrentWorkFolder() { SetCurrentDirectoryW(previous.c_str()); }
    CurrentWorkFolder(const CurrentWorkFolder&) = delete;
    CurrentWorkFolder& operator=(const CurrentWorkFolder&) = delete;
    e2e::WorkFolder folder;
    std::wstring previous;
};
