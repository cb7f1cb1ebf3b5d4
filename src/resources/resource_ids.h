#pragma once
// Resource ids of the installer executable. Plain #defines so that both the
// resource compiler (installer.rc) and C++ code can include this header; it
// needs no Windows header.
//
// Different resource types may share a number: 126 is both the restart
// window's dialog template and the close-button strip for 200 % scaling.

// Dialog templates.
#define IDD_INSTALL 101            // install wizard
#define IDD_LICENSE 111            // licence text window
#define IDD_CONTAINER_INSTALL 122  // progress window of a container
#define IDD_UNINSTALL 123          // uninstall window
#define IDD_ELEVATION_FOCUS 125    // shown while the elevated copy starts
#define IDD_REBOOTING 126          // restart countdown

// Close-button strips: four frames side by side (normal, pressed, hover,
// focus), image row above mask row; one strip per display scale bucket.
#define IDB_CLOSE_100 102  // up to 124 %: 88 x 44, frames of 22 x 22
#define IDB_CLOSE_125 103  // 125 to 149 %: 112 x 56
#define IDB_CLOSE_150 104  // 150 to 199 %: 132 x 66
#define IDB_CLOSE_200 126  // 200 to 299 %: 176 x 88
#define IDB_CLOSE_300 127  // from 300 %: 264 x 132

// Header emblem: colour bitmap (drawn with SRCPAINT) and monochrome mask
// (drawn first with SRCAND), centred at the top of the framed windows.
#define IDB_EMBLEM_100 105       // 190 x 25
#define IDB_EMBLEM_125 106       // 238 x 31
#define IDB_EMBLEM_150 107       // 285 x 38
#define IDB_EMBLEM_200 128       // 380 x 50
#define IDB_EMBLEM_300 129       // 570 x 75
#define IDB_EMBLEM_MASK_100 108
#define IDB_EMBLEM_MASK_125 109
#define IDB_EMBLEM_MASK_150 110
#define IDB_EMBLEM_MASK_200 130
#define IDB_EMBLEM_MASK_300 131

// Icons. Each holds 16, 20, 24, 32 and 48 px (list rows at the five scale
// buckets) and 75, 94, 112, 150 and 256 px (large status icons).
#define IDI_APPLICATION_ICON 100  // the executable's own icon (lowest id: shown by the shell)
#define IDI_CHECK_TICKED 112
#define IDI_CHECK_TICKED_GREY 113
#define IDI_CHECK_EMPTY 114
#define IDI_CHECK_EMPTY_GREY 115
#define IDI_RUN_PROGRAM 116  // "Run Program:" rows
#define IDI_RESTART 117      // restart row and restart window
#define IDI_SHORTCUT 118     // "Create Icon:" rows
#define IDI_SUCCESS 119
#define IDI_FAILURE 120
#define IDI_UNINSTALL 124    // uninstall window, ready page

// Controls of the dialog templates.
#define IDC_PROGRESS 1001       // install and uninstall windows
#define IDC_INSTALL 1002
#define IDC_CANCEL_INSTALL 1003
#define IDC_INSTALL_FOLDER 1004
#define IDC_CHOOSE_FOLDER 1005
#define IDC_LICENSE_LINK 1007
#define IDC_LICENSE_TEXT 1008
#define IDC_REBOOT_NOW 1016
#define IDC_CANCEL_REBOOT 1017
#define IDC_SCOPE_ALL_USERS 1018  // install window, ready page: who the install is for
#define IDC_SCOPE_JUST_ME 1019

// The payload's member methods this installer reads (RT_RCDATA), for the
// packer. Below the payload (24356) and the uninstaller's recipe (24357),
// which must be the last names of their type.
#define IDR_MEMBER_METHODS 24355

// Version of the executable; the build passes the project's version.
#ifndef PLOVE_VERSION_MAJOR
#define PLOVE_VERSION_MAJOR 0
#endif
#ifndef PLOVE_VERSION_MINOR
#define PLOVE_VERSION_MINOR 0
#endif
#ifndef PLOVE_VERSION_PATCH
#define PLOVE_VERSION_PATCH 0
#endif
