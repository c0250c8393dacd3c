// Identifiers of Velmora's resources: dialogs, menus, icons, strings and the
// controls inside the dialogs.
#pragma once

// Dialog templates.
#define IDD_START_SCREEN 102
#define IDD_OVERWRITE_QUESTION 103
#define IDD_MAIN_WINDOW 104
#define IDD_ACCOUNT_WINDOW 105

// Menus.
#define IDR_START_SCREEN_MENU 120
#define IDR_MAIN_WINDOW_MENU 121

// Icon groups: the program icon and the windows' small icon.
#define IDI_VELMORA 111
#define IDI_VELMORA_SMALL 112

// Menu commands.
#define IDM_EXIT 108
#define IDM_HOME_PAGE 109
#define IDM_TERMS_OF_USE 110

// Start screen.
#define IDC_READ_TERMS 1001
#define IDC_ACCEPT_TERMS 1002

// Overwrite question.
#define IDC_QUESTION_TEXT 1101
#define IDC_OVERWRITE 1102
#define IDC_APPEND 1103

// Main window.
#define IDC_SOURCE_PATH 1201
#define IDC_CHOOSE_SOURCE 1202
#define IDC_DESTINATION_PATH 1203
#define IDC_CHOOSE_DESTINATION 1204
#define IDC_CONVERT 1205
#define IDC_WINDOWS_LIVE 1206
#define IDC_MESSAGES 1207
#define IDC_EXIT 1208
#define IDC_INSTRUCTIONS 1209
#define IDC_FULL_LAYOUT 1210

// Account window.
#define IDC_ACCOUNT_TEXT 1301
#define IDC_SAVE_ACCOUNT 1302

// Strings.
#define IDS_EXIT_QUESTION 2001
#define IDS_EXIT_CAPTION 2002
#define IDS_HOME_PAGE_ADDRESS 2003
#define IDS_TERMS_OF_USE_ADDRESS 2004
#define IDS_SIGN_IN_ADDRESS 2005
#define IDS_INSTRUCTIONS 2006
#define IDS_OVERWRITE_QUESTION 2007
#define IDS_OVERWRITE 2008
#define IDS_APPEND 2009
#define IDS_OPEN_TITLE 2010
#define IDS_OPEN_FILTER 2011
#define IDS_OPEN_EXTENSION 2012
#define IDS_SAVE_TITLE 2013
#define IDS_SAVE_FILTER 2014
#define IDS_SAVE_EXTENSION 2015
#define IDS_SHELL_VERB 2016
#define IDS_ACCOUNT_LINE 2017
#define IDS_ACCOUNT_CUT 2018
#define IDS_ACCOUNT_FILTER 2019
#define IDS_ACCOUNT_EXTENSION 2020
#define IDS_ACCOUNT_UNSAVED 2021

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
