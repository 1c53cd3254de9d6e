// Control IDs of the stand-in: the same numbers the program under test uses.
#pragma once

#define IDD_STANDIN 102
#define IDD_ABOUT 100
#define IDC_DEVICE_LIST 1037
#define IDC_STOP 1015
#define IDC_LED_CHECK 1018
#define IDC_FILE_REPORT 1043
#define IDC_TOTAL_X 1019
#define IDC_TILT 1050
#define IDC_BAR 1047
#define IDC_AUTO_SAVE 1055
#define IDC_TRACKBAR 1010
#define IDC_RANGE 1044
#define IDC_AVERAGE_X 1045
#define IDC_ABOUT_TEXT 1100
#define IDC_STATUS 1002
// The stand-in's own buttons, outside the program's numbering.
#define IDC_SAVE_AS 1200
#define IDC_STATUS_LINES 1201
