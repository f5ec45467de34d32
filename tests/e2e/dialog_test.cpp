// The dialog itself: its template as compiled into the program, the commands
// it ignores, how it ends, and Ctrl+A in both panes from real key input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>
#include <string>
#include <vector>

#include "harness.h"
#include "text_match.h"

namespace e2e {
namespace {

const DWORD kCaseMilliseconds = 60000;

// Reads the extended dialog template field by field.
struct TemplateReader {
  const BYTE* at;
  const BYTE* end;
  template <typename T>
  T Next() {
    if (at + sizeof(T) > end) throw HarnessError("the dialog template ends too early");
    T value;
    std::memcpy(&value, at, sizeof(T));
    at += sizeof(T);
    return value;
  }
  // A string or an ordinal (0xFFFF followed by a number, given as "#number").
  std::wstring NameOrOrdinal() {
    WORD first = Next<WORD>();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Next<WORD>());
    std::wstring text;
    for (WORD character = first; character != 0; character = Next<WORD>()) text += character;
    return text;
  }
  void AlignTo4(const BYTE* base) {
    while ((at - base) % 4) ++at;
  }
};

struct ModuleFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};

struct ExpectedControl {
  WORD id;
  const wchar_t* windowClass;  // #129 edit, #128 button
  const wchar_t* text;
  short x, y, width, height;
  DWORD style;
};

TEST(DialogTemplate, IsTheExtendedTemplateWithItsLiteralStylesAndThreeControls) {
  std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree> module(
      LoadLibraryExW(QuorvelExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module);
  HRSRC resource = FindResourceW(module.get(), MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(5) /* dialog */);
  ASSERT_TRUE(resource) << "no dialog 101 in the program";
  auto* base = static_cast<const BYTE*>(LockResource(LoadResource(module.get(), resource)));
  TemplateReader reader{base, base + SizeofResource(module.get(), resource)};

  EXPECT_EQ(1, reader.Next<WORD>()) << "version";
  EXPECT_EQ(0xFFFF, reader.Next<WORD>()) << "signature";
  EXPECT_EQ(0u, reader.Next<DWORD>()) << "help identifier";
  EXPECT_EQ(0x00040100u, reader.Next<DWORD>()) << "extended style";
  EXPECT_EQ(0x00CF0848u, reader.Next<DWORD>()) << "style";
  const WORD controls = reader.Next<WORD>();
  ASSERT_EQ(3, controls);
  EXPECT_EQ(0, reader.Next<short>());
  EXPECT_EQ(0, reader.Next<short>());
  EXPECT_EQ(167, reader.Next<short>());
  EXPECT_EQ(90, reader.Next<short>());
  EXPECT_EQ(L"", reader.NameOrOrdinal()) << "menu";
  EXPECT_EQ(L"", reader.NameOrOrdinal()) << "class";
  EXPECT_EQ(L"Quorvel", reader.NameOrOrdinal()) << "caption";
  EXPECT_EQ(8, reader.Next<WORD>()) << "point size";
  EXPECT_EQ(400, reader.Next<WORD>()) << "weight";
  EXPECT_EQ(0, reader.Next<BYTE>()) << "italic";
  EXPECT_EQ(1, reader.Next<BYTE>()) << "character set";
  EXPECT_EQ(L"MS Shell Dlg", reader.NameOrOrdinal()) << "typeface";

  const ExpectedControl expected[] = {
      {1001, L"#129", L"", 1, 1, 163, 48, 0x50A110C4},
      {1002, L"#129", L"", 1, 64, 163, 24, 0x50A118C4},
      {1003, L"#128", L"Compile", 1, 50, 56, 12, 0x50010000},
  };
  for (const ExpectedControl& control : expected) {
    SCOPED_TRACE("control " + std::to_string(control.id));
    reader.AlignTo4(base);
    EXPECT_EQ(0u, reader.Next<DWORD>()) << "help identifier";
    EXPECT_EQ(0u, reader.Next<DWORD>()) << "extended style";
    EXPECT_EQ(control.style, reader.Next<DWORD>()) << "style";
    EXPECT_EQ(control.x, reader.Next<short>());
    EXPECT_EQ(control.y, reader.Next<short>());
    EXPECT_EQ(control.width, reader.Next<short>());
    EXPECT_EQ(control.height, reader.Next<short>());
    EXPECT_EQ(control.id, reader.Next<DWORD>());
    std::wstring windowClass = reader.NameOrOrdinal();
    // The class may be given by name or by its predefined number.
    if (windowClass == L"Edit" || windowClass == L"EDIT") windowClass = L"#129";
    if (windowClass == L"Button" || windowClass == L"BUTTON") windowClass = L"#128";
    EXPECT_EQ(control.windowClass, windowClass);
    EXPECT_EQ(control.text, reader.NameOrOrdinal());
    reader.at += reader.Next<WORD>();  // creation data
  }
}

BOOL CALLBACK CollectType(HMODULE, LPWSTR type, LONG_PTR found) {
  if (IS_INTRESOURCE(type))
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type)));
  return TRUE;
}

TEST(DialogTemplate, IsTheOnlyUserInterfaceResource) {
  std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree> module(
      LoadLibraryExW(QuorvelExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module);
  std::vector<WORD> types;
  EnumResourceTypesW(module.get(), CollectType, reinterpret_cast<LONG_PTR>(&types));
  // cursor 1, bitmap 2, icon 3, menu 4, string 6, accelerator 9, group icon 14
  for (WORD unwanted : {1, 2, 3, 4, 6, 9, 14})
    EXPECT_EQ(types.end(), std::find(types.begin(), types.end(), unwanted)) << "resource type " << unwanted;
  // A manifest, if any, asks neither for themed controls nor for scaling awareness.
  HRSRC manifest = FindResourceW(module.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  if (manifest) {
    auto* text = static_cast<const char*>(LockResource(LoadResource(module.get(), manifest)));
    std::string content(text, SizeofResource(module.get(), manifest));
    EXPECT_EQ(std::string::npos, content.find("Common-Controls")) << content;
    EXPECT_EQ(std::string::npos, content.find("dpiAware")) << content;
  }
}

TEST(DialogCommands, OkCancelAndOtherButtonNotificationsAreIgnored) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  SetPaneText(program.source, L"image 01\r\n", deadline);
  SetPaneText(program.output, kNoReportYet, deadline);
  auto compileButton = reinterpret_cast<LPARAM>(program.compile);
  PostMessageW(program.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  PostMessageW(program.dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  PostMessageW(program.dialog, WM_COMMAND, MAKEWPARAM(1003, BN_DOUBLECLICKED), compileButton);
  PostMessageW(program.dialog, WM_COMMAND, MAKEWPARAM(1003, BN_SETFOCUS), compileButton);
  PostMessageW(program.dialog, WM_COMMAND, MAKEWPARAM(1003, BN_KILLFOCUS), compileButton);
  WaitUntilPostedMessagesHandled(program, deadline);

  EXPECT_TRUE(IsRunning(program));
  EXPECT_TRUE(IsWindow(program.dialog) && IsWindowVisible(program.dialog));
  EXPECT_FALSE(Exists(folder.File(L"temp.asm"))) << "a run started";
  EXPECT_FALSE(Exists(folder.File(L"runs.log"))) << "a run started";
  EXPECT_TRUE(SameText(kNoReportYet, PaneText(program.output, deadline)));
  // The dialog still works: a real click runs.
  EXPECT_TRUE(SameText(L"01 \r\n", Compile(program, deadline)));
}

TEST(DialogCommands, CloseEndsTheProcessWithExitCodeZero) {
  Deadline deadline(kCaseMilliseconds);
  WorkFolder folder;
  Program program;
  StartProgram(folder, Assembler::Double, program, deadline);
  EXPECT_TRUE(SameText(L"01 \r\n", CompileSource(program, L"image 01\r\n", deadline)));
  EXPECT_EQ(0u, CloseAndWait(program, deadline));
}

// Ctrl+A as a user types it, into the pane that has the keyboard focus.
class SelectAllKey : public ::testing::Test {
 protected:
  void SetUp() override {
    StartProgram(folder, Assembler::Double, program, deadline);
    SetPaneText(program.source, kSourceText, deadline);
    SetPaneText(program.output, kOutputText, deadline);
    BringToFront(program, deadline);
  }
  void TearDown() override {
    // Never leave a key held down for the next case.
    ReleaseKey('A');
    ReleaseKey(VK_SHIFT);
    ReleaseKey(VK_CONTROL);
  }
  void FocusByClick(HWND pane) {
    ClickInside(pane);
    // The whole click, its button-up too, is handled before the caret is set.
    WaitUntilInputHandled(program, deadline);
    ASSERT_EQ(pane, FocusedWindow(program)) << "the click did not give the pane the focus";
    SendWithin(pane, EM_SETSEL, 2, 2, deadline);
    // The X server reports the click's pointer moves later, with a keymap
    // that has no key down; see BringToFront.
    Sleep(200);
  }
  // The pane's selection once the keys sent so far have been handled: a
  // message sent to the pane would be answered before the keys.
  std::pair<DWORD, DWORD> SelectionAfterTheKeys(HWND pane) {
    WaitUntilInputHandled(program, deadline);
    return Selection(pane, deadline);
  }
  std::pair<DWORD, DWORD> Everything(const wchar_t* text) {
    return {0, static_cast<DWORD>(std::wcslen(text))};
  }
  static constexpr const wchar_t* kSourceText = L"\tmoveq\t#1,d0\r\n\trts\r\n";
  static constexpr const wchar_t* kOutputText = L"70 01 4E 75 \r\nno errors\r\n";
  Deadline deadline{kCaseMilliseconds};
  WorkFolder folder;
  Program program;
};

TEST_F(SelectAllKey, SelectsAllInTheSourcePaneAndInTheReadOnlyOutputPane) {
  FocusByClick(program.source);
  ASSERT_EQ(std::make_pair(DWORD{2}, DWORD{2}), Selection(program.source, deadline));
  PressKey(VK_CONTROL);
  PressKey('A');
  ReleaseKey('A');
  ReleaseKey(VK_CONTROL);
  EXPECT_EQ(Everything(kSourceText), SelectionAfterTheKeys(program.source));
  EXPECT_TRUE(SameText(kSourceText, PaneText(program.source, deadline))) << "the key changed the text";

  FocusByClick(program.output);
  PressKey(VK_CONTROL);
  PressKey('A');
  ReleaseKey('A');
  ReleaseKey(VK_CONTROL);
  EXPECT_EQ(Everything(kOutputText), SelectionAfterTheKeys(program.output));

  // Shift is not looked at.
  FocusByClick(program.source);
  PressKey(VK_CONTROL);
  PressKey(VK_SHIFT);
  PressKey('A');
  ReleaseKey('A');
  ReleaseKey(VK_SHIFT);
  ReleaseKey(VK_CONTROL);
  EXPECT_EQ(Everything(kSourceText), SelectionAfterTheKeys(program.source));
}

TEST_F(SelectAllKey, AWithoutControlDoesNotSelect) {
  FocusByClick(program.output);  // read-only, so the letter changes nothing
  PressKey('A');
  ReleaseKey('A');
  EXPECT_EQ(std::make_pair(DWORD{2}, DWORD{2}), SelectionAfterTheKeys(program.output));
}

TEST_F(SelectAllKey, HeldKeySelectsOnceAndItsRepeatsDoNot) {
  FocusByClick(program.source);
  PressKey(VK_CONTROL);
  PressKey('A');
  EXPECT_EQ(Everything(kSourceText), SelectionAfterTheKeys(program.source));
  // Move the caret while the keys stay down; a second key-down of the held A
  // is an auto-repeat (bit 30 set) and must leave the selection alone.
  SendWithin(program.source, EM_SETSEL, 1, 1, deadline);
  PressKey('A');
  PressKey('A');
  EXPECT_EQ(std::make_pair(DWORD{1}, DWORD{1}), SelectionAfterTheKeys(program.source));
  ReleaseKey('A');
  // A new press selects again.
  PressKey('A');
  ReleaseKey('A');
  ReleaseKey(VK_CONTROL);
  EXPECT_EQ(Everything(kSourceText), SelectionAfterTheKeys(program.source));
  EXPECT_TRUE(SameText(kSourceText, PaneText(program.source, deadline)));
}

}  // namespace
}  // namespace e2e
