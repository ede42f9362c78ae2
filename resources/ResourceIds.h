/* resources/ResourceIds.h
   Every resource, control and command id of the add-in, named once. Read by windres too,
   so it holds nothing but #define lines. */
#pragma once

#define IDI_KESTREL 1
#define IDR_MANIFEST 1
#define IDV_VERSION 1

/* Lookup window */
#define IDD_LOOKUP 1000
#define IDC_ERROR_NUMBER 1001
#define IDC_TYPE 1002
#define IDC_ERROR 1003
#define IDC_DESCRIPTION 1004
#define IDC_NOTE 1005
#define IDC_SAVE_NOTE 1006
#define IDC_DELETE_NOTE 1007
#define IDC_FIND 1008
#define IDC_CATALOGUE_TREE 1009
#define IDC_ERROR_NUMBER_LABEL 1010
#define IDC_TYPE_LABEL 1013
#define IDC_ERROR_LABEL 1014
#define IDC_NOTE_LABEL 1017
#define IDC_NOTE_RULE 1018

/* Lookup window system menu commands */
#define IDM_ON_TOP 0
#define IDM_BROWSE_NOTES 1
#define IDM_ABOUT 2

/* About window */
#define IDD_ABOUT 2000
#define IDC_ABOUT_TITLE 2001
#define IDC_ABOUT_VERSION 2002
#define IDC_ABOUT_DESCRIPTION 2003
#define IDC_ABOUT_TOOLS_LABEL 2004
#define IDC_ABOUT_TOOLS 2005
#define IDC_ABOUT_TOTAL_LABEL 2006
#define IDC_ABOUT_TOTAL 2007
#define IDC_ABOUT_RULE_LOW 2008
#define IDC_ABOUT_WEB_LINK 2009
#define IDC_ABOUT_MAIL_LINK 2010
#define IDC_ABOUT_HOST 2011
#define IDC_ABOUT_RULE_HIGH 2012

/* Note browser */
#define IDD_NOTE_BROWSER 3000
#define IDC_BROWSER_DELETE_NOTE 3001
#define IDC_BROWSER_SAVE_NOTE 3002
#define IDC_BROWSER_NOTE 3003
#define IDC_BROWSER_TREE 3004

/* The maker's site and mail address, shown in and opened from the About window. */
#define KESTREL_WEB_HOST "kestrel.example.org"
#define KESTREL_MAIL_ADDRESS "kestrel@example.org"

/* Host messages */
#define WM_HOST_NEXT_MENU_ID 1124   /* WM_USER + 100 */
#define WM_HOST_GET_WORD 2039       /* WM_USER + 1015 */
