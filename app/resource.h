// Resource and control identifiers. Numbered blocks: dialogs and strings
// (100s), icons (128+), main-window controls (1000+). Values are fixed by the
// dialog templates and must stay unique (a win-tier test checks).
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialogs and strings
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_LUMAGRID_DIALOG 102
#define IDS_RECORD_DUMP_STREAM 103
#define IDS_SWEEP_TEST 104
#define IDS_CHECK_FRAME 105
#define IDS_OPEN_RECORDING 106

// Icons
#define IDR_MAINFRAME 128
#define IDI_SCOPE 132
#define IDI_DEVICE 133

// System menu commands: multiples of 16 below 0xF000 (the system uses the
// low four bits and the range above)
#define IDM_ABOUTBOX 0x0010
#define IDM_RECORD_DUMP_STREAM 0x0020
#define IDM_SWEEP_TEST 0x0030
#define IDM_CHECK_FRAME 0x0040
#define IDM_OPEN_RECORDING 0x0050

// Charts and panels
#define IDC_Y_CHART 1000
#define IDC_X_CHART 1001
#define IDC_STATUS 1002
#define IDC_X_GROUP 1003
#define IDC_Y_GROUP 1004

// Range track bar and its read-out
#define IDC_RANGE 1010
#define IDC_RANGE_LABEL 1044

// Scope mode buttons
#define IDC_SCOPE_AMBIENT_IR 1011
#define IDC_SCOPE_AMBIENT 1012
#define IDC_SCOPE_PERCENT 1013
#define IDC_SCOPE_MAXIMAL_IR 1014
#define IDC_SCOPE_STOP 1015
#define IDC_SCOPE_IR 1016
#define IDC_SCOPE_LEFT_TILT_PERCENT 1050
#define IDC_SCOPE_LEFT_TILT_MAXIMAL 1052
#define IDC_SCOPE_RIGHT_TILT_PERCENT 1053
#define IDC_SCOPE_RIGHT_TILT_MAXIMAL 1054

#define IDC_FOOTER 1017
#define IDC_LED_CHECK 1018
#define IDC_FILE_REPORT 1043

// Module buttons: Total, 1 to 8, then 9 and 10 elsewhere in the numbering
#define IDC_X_TOTAL 1019
#define IDC_X_MODULE1 1020
#define IDC_X_MODULE8 1027
#define IDC_X_MODULE9 1038
#define IDC_X_MODULE10 1039
#define IDC_Y_TOTAL 1028
#define IDC_Y_MODULE1 1029
#define IDC_Y_MODULE8 1036
#define IDC_Y_MODULE9 1041
#define IDC_Y_MODULE10 1042

#define IDC_DEVICE_LIST 1037

// Average read-outs and display toggles
#define IDC_X_AVERAGE 1045
#define IDC_Y_AVERAGE 1046
#define IDC_BAR 1047
#define IDC_CAPTURE1 1048
#define IDC_FILTER 1049
#define IDC_CAPTURE2 1051

// Advanced controls
#define IDC_AUTO_FILE_SAVE 1055
#define IDC_DUMP_AXIS_LABEL 1057
#define IDC_AXIS_OT 1058
#define IDC_AXIS_TL1 1059
#define IDC_AXIS_TR1 1060
#define IDC_AXIS_TL2 1061
#define IDC_AXIS_TR2 1062
