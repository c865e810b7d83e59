// Resource ids, shared by ombup.rc and the C++ code.
#ifndef OMBUP_RES_RESOURCE_H
#define OMBUP_RES_RESOURCE_H

#define IDS_APP_TITLE     103
#define IDS_WINDOW_CLASS  109

#define IDI_APP           107
#define IDI_SMALL         108

#define IDR_MAIN          109
#define IDM_ABOUT         104
#define IDM_EXIT          105

#define IDD_ABOUTBOX      103
#define IDD_DOWNLOAD      129
#define IDC_PROGRESS      1000

#ifndef IDC_STATIC
#define IDC_STATIC        (-1)
#endif

#endif
