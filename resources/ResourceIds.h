// Resource and control identifiers, shared by the resource script and the code.
// Plain #defines so that the resource compiler can read this file too.
#pragma once

// Dialog templates
#define IDD_ABOUT 100
#define IDD_PRINTER_SETTINGS 102
#define IDD_OS_SELECT 129
#define IDD_CREATE_PORT 138
#define IDD_PORT_SELECT 139

// Icon and strings
#define IDI_APP 128
#define IDS_ABOUTBOX 101

// About box: the system-menu command that opens it
#define IDM_ABOUTBOX 0x0010

// Operating-system page (129)
#define IDC_OS_WIN95 1000
#define IDC_OS_WIN98 1001
#define IDC_OS_WINNT4 1002
#define IDC_OS_WIN2000 1003
#define IDC_OS_WINXP 1004
#define IDC_OS_WIN7 1005
#define IDC_OS_WIN8 1006
#define IDC_OS_SLIDER 1007
#define IDC_OS_BACK 1008
#define IDC_OS_INSTALL 1009
#define IDC_OS_EXIT 1010
#define IDC_OS_WIN2003 1011
#define IDC_OS_EDIT 1013
#define IDC_OS_WINVISTA 1020
#define IDC_OS_USB_DRIVER 1022
#define IDC_OS_LEGACY_USB_DRIVER 1023

// Printer settings page (102)
#define IDC_SET_BACK 1008
#define IDC_SET_NEXT 1009
#define IDC_SET_EXIT 1010
#define IDC_SET_MODEL 1011
#define IDC_SET_DEFAULT_PRINTER 1012
#define IDC_SET_PRINTER_NAME 1013
#define IDC_SET_PORT 1014
#define IDC_SET_BAUD 1015
#define IDC_SET_DATA_BITS 1016
#define IDC_SET_FLOW 1017
#define IDC_SET_PARITY 1018
#define IDC_SET_STOP_BITS 1019

// Port creation dialog (138)
#define IDC_CP_MONITOR_LIST 1021
#define IDC_CP_NEW_PORT 1008
#define IDC_CP_CLOSE 1009

// Port selection page (139)
#define IDC_PS_SLIDER 1007
#define IDC_PS_CREATE_PORT 1008
#define IDC_PS_CONFIGURE_PORT 1009
#define IDC_PS_BACK 1010
#define IDC_PS_PORT_LIST 1021
#define IDC_PS_INSTALL 1022
#define IDC_PS_CANCEL 1023
#define IDC_PS_PROGRESS 1025
#define IDC_PS_SEARCH_PORT 1036

// The initial-items resource type (as MFC's RT_DLGINIT)
#define RT_VEXO_DLGINIT 240
