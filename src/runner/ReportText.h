// Text helpers the reports share: escaping for XML and HTML, and the request and response as shown.
#pragma once

#include <string_view>

#include "platform/MfcTypes.h"

// Escapes & < > " ' and keeps the text valid for an XML 1.0 or HTML reader: line ends become LF,
// other control characters and bytes that are not UTF-8 become U+FFFD.
void AppendEscaped(CString& out, std::string_view text);
CString Escaped(std::string_view text);

// Text as an XML CDATA section: the same checks for valid characters, no escaping ("]]>" is split).
void AppendCData(CString& out, std::string_view text);

// Seconds with three decimals, as JUnit readers expect ("0.012").
CString FormatSeconds(double dSeconds);
