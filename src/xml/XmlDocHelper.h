// CXmlDocHelper: a failure-tolerant XML document (load, write in a fixed layout, read and change
// elements by name) and CXmlDocError, the record of its last failure.
#pragma once

#include <memory>
#include <string>

#include "platform/MfcTypes.h"

class CXmlDocError {
public:
    CXmlDocError(int nCode, CString strMessage, CString strMessageFr);
    virtual ~CXmlDocError() = default;
    CXmlDocError(const CXmlDocError&) = default;
    CXmlDocError& operator=(const CXmlDocError&) = default;

    int m_nCode;
    CString m_strMessage;   // English: what every caller shows
    CString m_strMessageFr; // French, shown nowhere
};

constexpr int XML_ERROR_NOT_SET = 3288;
constexpr int XML_ERROR_FAILED = 3325;

namespace pugi {
class xml_document;
struct xml_node_struct;
} // namespace pugi

class CXmlDocHelper {
public:
    CXmlDocHelper();
    virtual ~CXmlDocHelper();
    CXmlDocHelper(const CXmlDocHelper&) = delete;
    CXmlDocHelper& operator=(const CXmlDocHelper&) = delete;

    void Close();
    bool Load(const CString& strXml);
    bool GetXml(CString& strOut);
    CXmlDocError GetError() const { return m_error; }

    bool ReadValue(const CString& strName, CString& strOut);
    CString GetValue(const CString& strName);
    bool SetValue(const CString& strName, const CString& strText);
    bool HasElement(const CString& strName);
    bool AddElement(const CString& strParent, const CString& strName, const CString& strText);

    bool IsLoaded() const { return m_bLoaded; }

    // After a Load whose text did not parse: the line (from 1, in that text) and the parser's reason,
    // the two parts of the parse error message. Line 0 and no reason otherwise.
    int GetParseLine() const { return m_nParseLine; }
    const CString& GetParseReason() const { return m_strParseReason; }

private:
    // The first element of exactly that name in document order, the document element included.
    pugi::xml_node_struct* Find(const CString& strName) const;

    // False, with the "no document" record, when nothing is loaded.
    bool RequireDocument() noexcept;
    void SetError(const char* english, const char* french) noexcept;
    void SetNotFound(const CString& strName) noexcept;

    CXmlDocError m_error;
    bool m_bLoaded = false;
    std::unique_ptr<pugi::xml_document> m_pDoc;
    std::size_t m_nLoadedSize = 0; // length of the last loaded text: sizes the writer's output
    int m_nParseLine = 0;
    CString m_strParseReason;
};
