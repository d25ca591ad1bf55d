// The two wrappers' methods: each calls its own control's DISPID with the arguments in order.
#include "controls/KVTCLientX.h"
#include "controls/KvtHRNX.h"

CString CKVTCLientX::SubmitRequest(const CString& strRequest, std::int16_t nOption, const CString& strExtra,
                                  const CString& strCaller) {
    return InvokeHelper(DISPID_SubmitRequest, {strRequest, nOption, strExtra, strCaller});
}

CString CKVTCLientX::StoreServerList(const CString& strServers, std::int16_t nOption) {
    return InvokeHelper(DISPID_StoreServerList, {strServers, nOption});
}

CString CKVTCLientX::PingServerList(const CString& strPort, std::int16_t nOption) {
    return InvokeHelper(DISPID_PingServerList, {strPort, nOption});
}

CString CKVTCLientX::GetIPFromServerName(const CString& strServer, std::int16_t nOption) {
    return InvokeHelper(DISPID_GetIPFromServerName, {strServer, nOption});
}

CString CKVTCLientX::PingSingleIP(const CString& strServer, const CString& strPort, std::int16_t nOption) {
    return InvokeHelper(DISPID_PingSingleIP, {strServer, strPort, nOption});
}

CString CKvtHRNX::SubmitRequest(const CString& strRequest, std::int16_t nOption, const CString& strExtra,
                               const CString& strCaller) {
    return InvokeHelper(DISPID_SubmitRequest, {strRequest, nOption, strExtra, strCaller});
}

CString CKvtHRNX::StoreServerList(const CString& strServers, std::int16_t nOption) {
    return InvokeHelper(DISPID_StoreServerList, {strServers, nOption});
}

CString CKvtHRNX::PingServerList(const CString& strPort, std::int16_t nOption) {
    return InvokeHelper(DISPID_PingServerList, {strPort, nOption});
}

CString CKvtHRNX::GetIPFromServerName(const CString& strServer, std::int16_t nOption) {
    return InvokeHelper(DISPID_GetIPFromServerName, {strServer, nOption});
}

CString CKvtHRNX::PingSingleIP(const CString& strServer, const CString& strPort, std::int16_t nOption) {
    return InvokeHelper(DISPID_PingSingleIP, {strServer, strPort, nOption});
}

CString CKvtHRNX::GetDeviceList() { return InvokeHelper(DISPID_GetDeviceList, {}); }
