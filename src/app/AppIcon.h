// The application icon (resource 128) from the Qt resources.
#pragma once

#include <QIcon>

// Also makes sure the resources of the window library are registered.
QIcon AppIcon();
constexpr const char* APP_ICON_PATH = ":/icons/128.png";
