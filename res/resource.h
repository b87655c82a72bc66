// Identifiers of the program's resources: dialog templates (IDD_), their
// controls (IDC_), strings (IDS_), icons (IDI_) and system-menu commands
// (IDM_). The numbers are fixed: tests and the end-to-end check use them.
#pragma once

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_TESTER 102
#define IDD_MEMORYMAP 104

// String table.
#define IDS_ABOUT_MENU 101
#define IDS_MEMORYMAP_MENU 103

// Icons.
#define IDI_TESTER 128

// System-menu command of the About item (a multiple of 16, as system
// commands are compared with their low four bits masked).
#define IDM_ABOUT 16
// The memory map's item, after the About item.
#define IDM_MEMORYMAP 32

// Controls of IDD_TESTER. 1002 is not used.
#define IDC_READ 1000
#define IDC_WRITE 1001
#define IDC_REF_ADDRESS 1003
#define IDC_COM4 1004
#define IDC_COM1 1005
#define IDC_COM2 1006
#define IDC_COM3 1007
#define IDC_ADDRESS 1008
#define IDC_REF_CODE 1009
#define IDC_CODE 1010
#define IDC_NEW_CODE 1011
#define IDC_REF_PAGE 1012
#define IDC_PAGE 1013

// Controls of IDD_MEMORYMAP (its Close button is IDCANCEL).
#define IDC_MAP_PAGE0 1020
#define IDC_MAP_PAGE1 1021
#define IDC_MAP_PROGRESS 1022
#define IDC_MAP_STATUS 1023
#define IDC_MAP_READ 1024
#define IDC_MAP_STOP 1025
#define IDC_MAP_SAVE 1026
#define IDC_MAP_COMPARE 1027
#define IDC_MAP_RESTORE 1028
#define IDC_MAP_UNDO 1029
