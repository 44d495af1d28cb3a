// Identifiers shared by the dialog templates and the code: templates,
// controls, and the buttons of the wizard frame.
#pragma once

#define IDD_WELCOME 109
#define IDD_OPTIONS 110
#define IDD_CUSTOM 111
#define IDD_PROGRESS 112
#define IDD_LICENCE 113
#define IDI_SETUP 114
#define IDR_HAND_CURSOR 115

#define IDC_START_WITH_WINDOWS 1002
#define IDC_FOLDER 1006
#define IDC_LAUNCH_AFTER 1007
#define IDC_BROWSE 1008
#define IDC_PROGRESS_BAR 1009
#define IDC_LICENCE_TEXT 1010
#define IDC_TYPICAL 1011
#define IDC_CUSTOM 1012
#define IDC_HEADER 1013
#define IDC_MESSAGE 1014
#define IDC_UPGRADE 1015
#define IDC_LINK 1016
#define IDC_MIGRATE 1018

// Buttons of the wizard frame.
#define IDC_WIZARD_BACK 0x3023
#define IDC_WIZARD_NEXT 0x3024
#define IDC_WIZARD_FINISH 0x3025
