// Resource and control identifiers.
#pragma once

// Dialog templates, icon and strings
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDS_ABOUTBOX = 101;
constexpr int IDD_TRANVEX_DIALOG = 102;
constexpr int IDR_MAINFRAME = 128;
constexpr int IDD_DISCLAIMER = 132;

// System-menu command of the About box
constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Disclaimer
constexpr int IDC_DISCLAIMER_TEXT = 1012;

// Main window
constexpr int IDC_BROWSE_LOAD = 1002;
constexpr int IDC_XML_PATH = 1003;
constexpr int IDC_XML_PATH_LABEL = 1004;
constexpr int IDC_SERVER_NAME = 1006;
constexpr int IDC_STORE_SERVER_LIST = 1008;
constexpr int IDC_PING_SERVER_LIST = 1009;
constexpr int IDC_EXIT = 1010;
constexpr int IDC_CLIENT_CONTROL = 1011;
constexpr int IDC_PING_SINGLE_IP = 1016;
constexpr int IDC_GET_IP_FROM_NAME = 1017;
constexpr int IDC_PING_PORT = 1018;
constexpr int IDC_TARGET_CLIENT = 1019;
constexpr int IDC_TARGET_DEVICE = 1020;
constexpr int IDC_DEVICE_CONTROL = 1021;
constexpr int IDC_REQ_REFNO = 1022;
constexpr int IDC_COPY_REFNO = 1023;
constexpr int IDC_RESP_REFNO = 1024;
constexpr int IDC_REQ_AUTHCODE = 1025;
constexpr int IDC_COPY_AUTHCODE = 1026;
constexpr int IDC_RESP_AUTHCODE = 1027;
constexpr int IDC_REQ_PURCHASE = 1028;
constexpr int IDC_REQ_TRANCODE = 1029;
constexpr int IDC_REQ_TRANTYPE = 1030;
constexpr int IDC_RELOAD_FILE = 1031;
constexpr int IDC_LOAD_NEXT = 1032;
constexpr int IDC_RUN_IT = 1033;
constexpr int IDC_RESP_CMDSTATUS = 1034;
constexpr int IDC_RESP_ORIGIN = 1035;
constexpr int IDC_RESP_TEXT = 1036;
constexpr int IDC_LOAD_PREV = 1037;
constexpr int IDC_REQ_GRATUITY = 1038;
constexpr int IDC_RESP_ACQREFDATA = 1039;
constexpr int IDC_COPY_ACQREFDATA = 1040;
constexpr int IDC_RESP_PROCESSDATA = 1041;
constexpr int IDC_RESP_AUTHORIZE = 1042;
constexpr int IDC_RESP_PURCHASE = 1043;
constexpr int IDC_RESP_GRATUITY = 1044;
constexpr int IDC_COPY_AUTHORIZE = 1045;
constexpr int IDC_VIEW_XML = 1046;
constexpr int IDC_REQ_ACQREFDATA = 1047;
constexpr int IDC_REQ_PROCESSDATA = 1048;
constexpr int IDC_COPY_PROCESSDATA = 1049;
constexpr int IDC_VIEW_LAST_XML = 1050;
constexpr int IDC_RESP_BALANCE = 1051;
constexpr int IDC_EDIT_AND_RELOAD = 1052;
constexpr int IDC_OPEN_IN_EDITOR = 1053;
constexpr int IDC_RUN_IT_AND_LOAD_NEXT = 1054;
constexpr int IDC_VIEW_UPDATED_XML = 1055;
constexpr int IDC_COPY_PURCHASE = 1056;
constexpr int IDC_RESP_RECORDNO = 1057;
constexpr int IDC_REQ_RECORDNO = 1058;
constexpr int IDC_COPY_RECORDNO = 1059;
constexpr int IDC_GET_DEVICE_LIST = 1060;
constexpr int IDC_VIEW_LAST_SIGN = 1061;
constexpr int IDC_USE_PING_PORT = 1064;

// Results dialog
constexpr int IDD_RESULTS = 134;
constexpr int IDC_RESULTS_TEXT = 1061;

// Response Data dialog
constexpr int IDD_RESPONSE_DATA = 156;
constexpr int IDC_RESPONSE_BANNER = 1052;
constexpr int IDC_RESPONSE_ORIGIN = 1054;
constexpr int IDC_RESPONSE_DETAIL = 1055;
constexpr int IDC_RESPONSE_FRAME = 1056;

// Signature
constexpr int IDD_SIGNATURE = 135;
constexpr int IDC_SIGNATURE_PICTURE = 1064;
