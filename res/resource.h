/* Resource identifiers of Varnokel: dialogs, controls, menus, icons,
 * bitmaps and strings. Included by the C++ sources and by Varnokel.rc, so it
 * holds nothing but #define lines (no windows.h needed).
 *
 * Controls reuse numbers across dialogs (1023 is a Rule Edit check box and an
 * Options check box, 1031 is a radio button and a password edit); each dialog
 * names its own controls, so use the names of the dialog at hand. */
#ifndef VARNOKEL_RES_RESOURCE_H
#define VARNOKEL_RES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* ---- Dialog templates ---------------------------------------------------- */
#define IDD_ABOUT        100
#define IDD_MAIN         102
#define IDD_NOTIFY       186
#define IDD_RULE_EDIT    187
#define IDD_TIPS         205
#define IDD_VALUE        210
#define IDD_PAGE_LOG     1208
#define IDD_PAGE_FILES   1209
#define IDD_PAGE_OPTIONS 1210
#define IDD_PASSWORD     1212

/* ---- About dialog (IDD_ABOUT) -------------------------------------------- */
#define IDC_ABOUT_ICON        1055 /* program icon */
#define IDC_ABOUT_VERSION     1056 /* string 102, a blank, string 223 */
#define IDC_ABOUT_DESCRIPTION 1057 /* string 222 */
#define IDC_ABOUT_TEXT        1058 /* read-only multi-line edit, string 221 */

/* ---- Main window (IDD_MAIN) ---------------------------------------------- */
/* The seven rule-kind buttons, then View, Options, Edit, Remove. Top to bottom
 * the column reads 1000..1005, 1010, 1007, 1006, 1008, 1009. */
#define IDC_BTN_NORUN    1000
#define IDC_BTN_NOCOPY   1001
#define IDC_BTN_NOOPEN   1002
#define IDC_BTN_NOMODIFY 1003
#define IDC_BTN_NODEL    1004
#define IDC_BTN_NOFIND   1005
#define IDC_BTN_OPTIONS  1006
#define IDC_BTN_VIEW     1007
#define IDC_BTN_EDIT     1008
#define IDC_BTN_REMOVE   1009
#define IDC_BTN_NOPRINT  1010
#define IDC_TAB          1011

/* ---- Files page (IDD_PAGE_FILES) ----------------------------------------- */
#define IDC_FILE_LIST 1012

/* ---- Log page (IDD_PAGE_LOG) --------------------------------------------- */
#define IDC_LOG_LIST 1013

/* ---- Progress window (IDD_NOTIFY) ---------------------------------------- */
#define IDC_NOTIFY_TEXT     1018
#define IDC_NOTIFY_PROGRESS 1019

/* ---- Rule Edit dialog (IDD_RULE_EDIT) ------------------------------------ */
#define IDC_RULE_BROWSE       3
#define IDC_RULE_ADD          4
#define IDC_RULE_DELETE       5
#define IDC_RULE_MODIFY       6
#define IDC_RULE_SOURCE       1020 /* read-only edit */
#define IDC_RULE_DESTS        1021 /* list box, one dest per line */
#define IDC_RULE_NORUN        1022
#define IDC_RULE_NOCOPY       1023
#define IDC_RULE_NOOPEN       1024
#define IDC_RULE_NODELETE     1025
#define IDC_RULE_NOFIND       1026
#define IDC_RULE_NOPRINT      1027
#define IDC_RULE_NOMODIFY     1028
#define IDC_RULE_SOURCE_LABEL 1046
#define IDC_RULE_DEST_LABEL   1047

/* ---- Options page (IDD_PAGE_OPTIONS) ------------------------------------- */
#define IDC_OPT_TRAYICON      1023 /* push-like check box, g_bTrayIcon */
#define IDC_OPT_LOGINTOFILE   1024 /* push-like check box, g_bLogIntoFile */
#define IDC_OPT_NORMAL        1027 /* radio, g_bToughHook = 0 */
#define IDC_OPT_CLR_RUN       1028 /* colour button, g_clrRun */
#define IDC_OPT_CLR_READ      1029 /* colour button, g_clrRead */
#define IDC_OPT_CLR_WRITE     1030 /* colour button, g_clrWrite */
#define IDC_OPT_TOUGH         1031 /* radio, g_bToughHook = 1 */
#define IDC_OPT_PASSWORD      1032
#define IDC_OPT_RUN_LABEL     1039
#define IDC_OPT_READ_LABEL    1040
#define IDC_OPT_WRITE_LABEL   1041
#define IDC_OPT_LEVEL_LABEL   1042
#define IDC_OPT_KEYWORD_LABEL 1043
#define IDC_OPT_KEYWORDS      1049 /* multi-line edit, regStrNoCpyText */
#define IDC_OPT_GENERAL_GROUP 1050
#define IDC_OPT_NOCOPY_GROUP  1051

/* ---- Tips window (IDD_TIPS) ---------------------------------------------- */
#define IDC_TIPS_TEXT           1033 /* mark-up static */
#define IDC_TIPS_DONTSHOW       1034
#define IDC_TIPS_CATEGORY       1035 /* owner-drawn drop-down list */
#define IDC_TIPS_CATEGORY_LABEL 1048

/* ---- Password dialog (IDD_PASSWORD) -------------------------------------- */
#define IDC_PWD_NEW       1031
#define IDC_PWD_OLD       1036
#define IDC_PWD_OLD_LABEL 1037
#define IDC_PWD_NEW_LABEL 1038

/* ---- Value dialog (IDD_VALUE) -------------------------------------------- */
#define IDC_VALUE_EDIT 1054

/* ---- Menus and commands -------------------------------------------------- */
#define IDR_MAINMENU 129
#define IDR_TRAYMENU 130 /* also the tray icon's identifier */

#define ID_HELP_ABOUT        16 /* also appended to the system menu */
#define ID_TRAY_EXIT         32773
#define ID_FILE_CLOSE        32774
#define ID_NOP_COMMAND       32782 /* accepted and ignored by the main window */
#define ID_TRAY_OPEN         32783
#define ID_TRAY_HIDE         32784
#define ID_ADD_SYSTEM_RULE   32785
#define ID_HELP_TIPS         32787
#define ID_ADD_CUSTOM_RULE   32790
#define ID_ADD_REGISTRY_RULE 32791
#define ID_GO_WEB            32792

/* ---- Icons --------------------------------------------------------------- */
#define IDI_MAIN 128

/* Main-window button icons: normal and mouse-over ("_HOT"). */
#define IDI_FIND        142
#define IDI_MODIFY      143
#define IDI_DEL         145
#define IDI_COPY        148
#define IDI_OPTIONS     149
#define IDI_RUN         150
#define IDI_PRINT       152
#define IDI_OPEN        153
#define IDI_EDIT        155
#define IDI_REMOVE      156
#define IDI_VIEW        157
#define IDI_COPY_HOT    164
#define IDI_OPTIONS_HOT 165
#define IDI_DEL_HOT     166
#define IDI_RUN_HOT     167
#define IDI_OPEN_HOT    168
#define IDI_MODIFY_HOT  169
#define IDI_FIND_HOT    172
#define IDI_PRINT_HOT   173
#define IDI_VIEW_HOT    174
#define IDI_EDIT_HOT    176
#define IDI_REMOVE_HOT  177

/* Greyed (disabled) variants of the button symbols and spare shields. */
#define IDI_RUN_DISABLED     144
#define IDI_COPY_DISABLED    146
#define IDI_OPEN_DISABLED    147
#define IDI_MODIFY_DISABLED  151
#define IDI_DEL_DISABLED     154
#define IDI_FIND_DISABLED    158
#define IDI_PRINT_DISABLED   159
#define IDI_VIEW_DISABLED    160
#define IDI_OPTIONS_DISABLED 161
#define IDI_EDIT_DISABLED    162
#define IDI_REMOVE_DISABLED  163
#define IDI_SHIELD_ALERT     170 /* shield with a red cross (denied) */
#define IDI_SHIELD_OK        171 /* shield with a green tick (approved) */
#define IDI_SHIELD_HOT       175 /* the program shield, highlighted */

/* Tray animation frames, IDI_ANIM_FIRST..IDI_ANIM_LAST. */
#define IDI_ANIM_FIRST 188
#define IDI_ANIM_01    188
#define IDI_ANIM_02    189
#define IDI_ANIM_03    190
#define IDI_ANIM_04    191
#define IDI_ANIM_05    192
#define IDI_ANIM_06    193
#define IDI_ANIM_07    194
#define IDI_ANIM_08    195
#define IDI_ANIM_09    196
#define IDI_ANIM_10    197
#define IDI_ANIM_11    198
#define IDI_ANIM_12    199
#define IDI_ANIM_13    200
#define IDI_ANIM_14    201
#define IDI_ANIM_15    202
#define IDI_ANIM_16    203
#define IDI_ANIM_LAST  203

/* Tips window categories. */
#define IDI_TIPS_RULES 207
#define IDI_TIPS_LOG   209

/* ---- Bitmaps ------------------------------------------------------------- */
#define IDB_BACKGROUND  132 /* tiled dialog background */
#define IDB_TABS        163 /* 3 x 16x16: Files, Log, Options; magenta = transparent */
#define IDB_FILE_IMAGES 183 /* 6 x 16x16: denied, approved, -, registry, net, file */

/* ---- Strings ------------------------------------------------------------- */
#define IDS_ABOUTBOX             101
#define IDS_APP_TITLE            102
#define IDS_LOADING_RULES        103
#define IDS_WRITING_RULES        104
#define IDS_STOPPING_LOG_READER  105
#define IDS_CONFIRM_REMOVE       106
#define IDS_SELECT_IN_EXPLORER   107
#define IDS_INVALID_OLD_PASSWORD 110
#define IDS_INVALID_NEW_PASSWORD 111
#define IDS_PASSWORD_CHANGED     112
#define IDS_SIBLING_RUNNING      113

/* Main-window button captions. */
#define IDS_BTN_NORUN    114
#define IDS_BTN_NOCOPY   115
#define IDS_BTN_NOOPEN   116
#define IDS_BTN_NOMODIFY 117
#define IDS_BTN_NODEL    118
#define IDS_BTN_NOFIND   119
#define IDS_BTN_NOPRINT  120
#define IDS_BTN_VIEW     121
#define IDS_BTN_OPTIONS  122
#define IDS_BTN_EDIT     123
#define IDS_BTN_REMOVE   124

/* Tab titles. */
#define IDS_TAB_FILES   125
#define IDS_TAB_LOG     126
#define IDS_TAB_OPTIONS 127

/* Main-window button tooltips. */
#define IDS_TIP_NORUN    128
#define IDS_TIP_NOCOPY   129
#define IDS_TIP_NOOPEN   130
#define IDS_TIP_NOMODIFY 131
#define IDS_TIP_NODEL    132
#define IDS_TIP_NOFIND   133
#define IDS_TIP_NOPRINT  134
#define IDS_TIP_VIEW     135
#define IDS_TIP_OPTIONS  136
#define IDS_TIP_EDIT     137
#define IDS_TIP_REMOVE   138

/* Progress window. */
#define IDS_NOTIFY_FORMAT 139

/* Files page column titles. */
#define IDS_COL_ICON     140
#define IDS_COL_FILENAME 141
#define IDS_COL_RUN      142
#define IDS_COL_COPY     143
#define IDS_COL_OPEN     144
#define IDS_COL_MODIFY   145
#define IDS_COL_DELETE   146
#define IDS_COL_FIND     147
#define IDS_COL_PRINT    148

/* Log record action names (bits 0x01..0x40) and type names (0x01..0x08). */
#define IDS_ACTION_READ   149
#define IDS_ACTION_MODIFY 150
#define IDS_ACTION_RUN    151
#define IDS_ACTION_COPY   152
#define IDS_ACTION_DELETE 153
#define IDS_ACTION_FIND   154
#define IDS_ACTION_PRINT  155
#define IDS_TYPE_FILE     156
#define IDS_TYPE_REGISTRY 157
#define IDS_TYPE_NET      158
#define IDS_TYPE_SYSTEM   159

/* Log page. */
#define IDS_ITEMS_NOT_DISPLAYED 160
#define IDS_LOGCOL_TIME         161
#define IDS_LOGCOL_TYPE         162
#define IDS_LOGCOL_PROCESS      163
#define IDS_LOGCOL_ACTION       164
#define IDS_LOGCOL_DETAIL       165

/* Options page. */
#define IDS_OPT_TRAYICON      166
#define IDS_OPT_LOGINTOFILE   167
#define IDS_OPT_CLR_RUN       168
#define IDS_OPT_CLR_READ      169
#define IDS_OPT_CLR_WRITE     170
#define IDS_OPT_LEVEL         171
#define IDS_OPT_NORMAL        172
#define IDS_OPT_TOUGH         173
#define IDS_OPT_PASSWORD      174
#define IDS_OPT_KEYWORD_LABEL 213
#define IDS_OPT_GENERAL       214
#define IDS_OPT_NOCOPY        215

/* Password dialog. */
#define IDS_PWD_OLD    175
#define IDS_PWD_OK     176
#define IDS_PWD_NEW    177
#define IDS_PWD_CANCEL 178

/* Rule Edit and value dialogs. */
#define IDS_RULE_SOURCE       183
#define IDS_RULE_DEST         184
#define IDS_RULE_BROWSE       185
#define IDS_RULE_NORUN        186
#define IDS_RULE_NOCOPY       187
#define IDS_RULE_NOOPEN       188
#define IDS_RULE_NOMODIFY     189
#define IDS_RULE_NODELETE     190
#define IDS_RULE_NOFIND       191
#define IDS_RULE_NOPRINT      192
#define IDS_RULE_OK           193
#define IDS_RULE_CANCEL       194
#define IDS_RULE_ADD          227
#define IDS_SOURCE_DEST_EMPTY 228
#define IDS_RULE_DELETE       229
#define IDS_RULE_MODIFY       230
#define IDS_VALUE_SELECT_KEY  231
#define IDS_VALUE_CHANGE      232
#define IDS_NO_KIND_CHECKED   233 /* a new rule must deny at least one kind of access */

/* Tips window: labels, category names (list order 220, 197..204) and hints
 * (219, 205..212). */
#define IDS_TIPS_CATEGORY    195
#define IDS_TIPS_DONTSHOW    196
#define IDS_TIPCAT_RULES     197
#define IDS_TIPCAT_ADD       198
#define IDS_TIPCAT_EDIT      199
#define IDS_TIPCAT_DELETE    200
#define IDS_TIPCAT_LOG       201
#define IDS_TIPCAT_VIEW_LOG  202
#define IDS_TIPCAT_SAVE_LOG  203
#define IDS_TIPCAT_JUMP      204
#define IDS_TIPTEXT_RULES    205
#define IDS_TIPTEXT_ADD      206
#define IDS_TIPTEXT_EDIT     207
#define IDS_TIPTEXT_DELETE   208
#define IDS_TIPTEXT_LOG      209
#define IDS_TIPTEXT_VIEW_LOG 210
#define IDS_TIPTEXT_SAVE_LOG 211
#define IDS_TIPTEXT_JUMP     212
#define IDS_TIPTEXT_OVERALL  219
#define IDS_TIPCAT_OVERALL   220

/* Clipboard guard. */
#define IDS_NOTICE_FILE       216
#define IDS_NOTICE_TEXT       217
#define IDS_KEYWORD_SEPARATOR 218

/* About dialog. */
#define IDS_ABOUT_TEXT        221
#define IDS_ABOUT_DESCRIPTION 222
#define IDS_VERSION_TEXT      223

/* Miscellaneous. */
#define IDS_FILE_LIST_LAYOUT  224 /* saved column layout name of the Files page */
#define IDS_CAUTION_HAND_RULE 225
#define IDS_SYSTEM_RULE_TIP   226

/* Rule file problems told to the user (%1 rule file path, %2 the system's
 * reason or the damaged copy's path, %n rules read). */
#define IDS_RULES_NOT_WRITTEN 240
#define IDS_RULES_NOT_READ    241
#define IDS_RULES_DAMAGED     242

/* The stored settings password cannot be read, so nothing can match it. */
#define IDS_PASSWORD_DAMAGED 245
/* The rule file full, rules lost at the end, and the log's shared objects
 * (%1 file path, %2 reason or number, %n number of rules). */
#define IDS_RULES_FULL            260
#define IDS_SYSTEM_RULES_LEFT_OUT 261
#define IDS_RULES_LOST_UNREAD     262
#define IDS_RULES_LOST_UNWRITTEN  263
#define IDS_LOG_NOT_FOLLOWED      264

/* Denial notifications and the Options page's switch for them. */
#define IDC_OPT_NOTIFY_DENIED 450 /* check box, g_bNotifyDenied */
#define IDS_OPT_NOTIFY_DENIED 451

/* The Log page's row menu and its Find dialog (400-449). */
#define IDR_LOG_ROW_MENU         400
#define ID_LOGROW_WHICH_RULE     401
#define ID_LOGROW_PROTECT        402
#define ID_LOGROW_ALLOW          403
#define ID_LOGROW_COPY           404
#define ID_LOGROW_FIND           405
#define ID_LOGROW_EXPORT         406
#define IDD_LOG_FIND             410
#define IDC_LOG_FIND_TEXT        411
#define IDS_LOGROW_NO_RULE       420 /* no rule matches the row */
#define IDS_LOGROW_ALLOW_ASK     421 /* %1 the access, %2 the rules, one a line */
#define IDS_LOGROW_NOT_FOUND     422 /* %1 the text looked for */
#define IDS_LOGROW_EXPORT_FAILED 423 /* %1 path, %2 reason */
#define IDS_LOGROW_BUSY          424

#endif /* VARNOKEL_RES_RESOURCE_H */
