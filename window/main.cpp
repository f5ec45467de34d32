// Quorvel: type 68000 source, press Compile, see the bytes.
#include <windows.h>

#include "main_dialog.h"
#include "resource.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDlgProc, 0);
    return 0;
}
