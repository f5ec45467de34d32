// Identifiers shared by the dialog template and the code that drives it.
#pragma once

#define IDD_MAIN 101

#define IDC_SOURCE 1001   // upper pane: the source text
#define IDC_OUTPUT 1002   // lower pane: the report, read-only
#define IDC_COMPILE 1003  // the "Compile" push button
