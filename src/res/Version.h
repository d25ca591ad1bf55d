// The version texts: the log's and the About box's.
#pragma once

constexpr const char* TRANVEX_VERSION_TEXT = "Tranvex Version 4.10";
constexpr const char* TRANVEX_ABOUT_VERSION_TEXT = "Tranvex Version 4.1";
constexpr const char* TRANVEX_ABOUT_MENU_TEXT = "&About Tranvex..."; // string 101
