// Resource numbers of cvupdate.exe, shared by resources/cvupdate.rc and the dialog code.
#pragma once

#define IDD_CVUPDATE 102
#define IDS_SOCKETS_FAILED 103
#define IDI_CVUPDATE 128
#define IDB_CVUPDATE_PICTURE 131

#define IDC_PICTURE 1000
#define IDC_PROGRESS 1002
#define IDC_LIST 1011
#define IDC_STATUS 1012

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
