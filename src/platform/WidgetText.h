// The text of a control as bytes: whatever bytes a control was given come back unchanged while it
// still shows them; text the operator typed comes back as UTF-8.
#pragma once

#include "platform/MfcTypes.h"

class QWidget;

CString WidgetText(const QWidget* widget);
void SetWidgetText(QWidget* widget, const CString& text);
