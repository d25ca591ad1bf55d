// The version texts: the log's and the About box's.
#pragma once

constexpr const char* TRANVEX_VERSION_TEXT = "Tranvex Version 4.10";
constexpr const char* TRANVEX_ABOUT_VERSION_TEXT = "Tranvex Version 4.1";
constexpr const char* TRANVEX_ABOUT_MENU_TEXT = "&About Tranvex..."; // string 101
constexpr const char* TRANVEX_PRODUCT_VERSION = "4.1.0.0"; // tranvex --version; the build reads it too
