// The transaction fields: one row per element that the window shows or writes, read by the request
// display, the copy-back buttons, Run It, the transaction cycle and tranvex-run.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/MfcTypes.h"
#include "res/resource.h"

struct STransactionField {
    const char* pszElement;
    const char* pszParent; // where Run It adds the element when the request lacks it; null: never written
    int nRequestBox;       // the request column's box, filled by Load Next; 0 for none
    int nResponseBox;      // the box Run It fills from the response; 0 for none
    // Written from the response box rather than the request box: each answer's token travels into
    // the next request.
    bool bCarried;
};

// Rows that are written come first, in the order they are written (a missing element is appended
// as its parent's last child, so the order shows in the request).
// clang-format off
inline constexpr std::array<STransactionField, 14> kTransactionFields{{
    {"RefNo",          "Transaction", IDC_REQ_REFNO,       IDC_RESP_REFNO,       false},
    {"AuthCode",       "Transaction", IDC_REQ_AUTHCODE,    IDC_RESP_AUTHCODE,    false},
    {"AcqRefData",     "Transaction", IDC_REQ_ACQREFDATA,  IDC_RESP_ACQREFDATA,  true},
    {"ProcessData",    "Transaction", IDC_REQ_PROCESSDATA, IDC_RESP_PROCESSDATA, true},
    {"RecordNo",       "Transaction", IDC_REQ_RECORDNO,    IDC_RESP_RECORDNO,    true},
    {"Purchase",       "Amount",      IDC_REQ_PURCHASE,    IDC_RESP_PURCHASE,    false},
    {"TranCode",       "Transaction", IDC_REQ_TRANCODE,    0,                    false},
    {"Gratuity",       nullptr,       IDC_REQ_GRATUITY,    IDC_RESP_GRATUITY,    false},
    {"TranType",       nullptr,       IDC_REQ_TRANTYPE,    0,                    false},
    {"ResponseOrigin", nullptr,       0,                   IDC_RESP_ORIGIN,      false},
    {"CmdStatus",      nullptr,       0,                   IDC_RESP_CMDSTATUS,   false},
    {"TextResponse",   nullptr,       0,                   IDC_RESP_TEXT,        false},
    {"Authorize",      nullptr,       0,                   IDC_RESP_AUTHORIZE,   false},
    {"Balance",        nullptr,       0,                   IDC_RESP_BALANCE,     false},
}};
// clang-format on

constexpr std::size_t kFieldCount = kTransactionFields.size();

// The row of an element; a name not in the table fails to compile where it is a constant.
constexpr std::size_t FieldIndex(std::string_view element) {
    for (std::size_t i = 0; i < kFieldCount; ++i)
        if (element == kTransactionFields[i].pszElement)
            return i;
    throw "not a transaction field";
}

constexpr const STransactionField& Field(std::string_view element) {
    return kTransactionFields[FieldIndex(element)];
}

// One text per row of the table.
class CFieldValues {
public:
    CString& operator[](std::size_t nRow) { return m_values[nRow]; }
    const CString& operator[](std::size_t nRow) const { return m_values[nRow]; }
    CString& operator[](std::string_view element) { return m_values[FieldIndex(element)]; }
    const CString& operator[](std::string_view element) const { return m_values[FieldIndex(element)]; }

private:
    std::array<CString, kFieldCount> m_values;
};
