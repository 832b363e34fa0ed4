// Resource identifiers of the report program.
#pragma once

#define IDI_REPORT_APP 1
#define IDD_REPORT     100

#define IDC_REPORT_ICON    1001
#define IDC_REPORT_HEADING 1002
#define IDC_REPORT_INFO    1003
#define IDC_REPORT_LABEL   1004
#define IDC_REPORT_TEXT    1005
#define IDC_REPORT_FOLDER  1006
#define IDC_REPORT_OPEN    1007
