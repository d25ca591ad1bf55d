// Bytes to Qt text: valid UTF-8 shows as the characters it encodes; any other bytes (a Latin-1
// script, say) show as one character per byte rather than as replacement characters.
#pragma once

#include <QString>
#include <QStringDecoder>

#include "platform/MfcTypes.h"

inline QString BytesToQt(const CString& text, bool* pLatin1 = nullptr) {
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8(bytes);
    const bool bLatin1 = utf8.hasError();
    if (pLatin1)
        *pLatin1 = bLatin1;
    return bLatin1 ? QString::fromLatin1(bytes) : s;
}
