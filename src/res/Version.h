// The version texts, all made from the project version in CMakeLists.txt, which the build passes in as
// TRANVEX_VERSION_MAJOR, _MINOR, _PATCH and _TWEAK.
#pragma once

#if !defined(TRANVEX_VERSION_MAJOR) || !defined(TRANVEX_VERSION_MINOR) || !defined(TRANVEX_VERSION_PATCH) || \
    !defined(TRANVEX_VERSION_TWEAK)
#error "the version numbers come from CMakeLists.txt's project(VERSION ...)"
#endif

#define TRANVEX_VERSION_STR_(x) #x
#define TRANVEX_VERSION_STR(x) TRANVEX_VERSION_STR_(x)
#define TRANVEX_V_MAJOR TRANVEX_VERSION_STR(TRANVEX_VERSION_MAJOR)
#define TRANVEX_V_MINOR TRANVEX_VERSION_STR(TRANVEX_VERSION_MINOR)
#define TRANVEX_V_PATCH TRANVEX_VERSION_STR(TRANVEX_VERSION_PATCH)
#define TRANVEX_V_TWEAK TRANVEX_VERSION_STR(TRANVEX_VERSION_TWEAK)

// "4.1.0.0": tranvex --version and tranvex-run --version.
#define TRANVEX_PRODUCT_VERSION_LITERAL TRANVEX_V_MAJOR "." TRANVEX_V_MINOR "." TRANVEX_V_PATCH "." TRANVEX_V_TWEAK
// "4, 1, 0, 0": the text fields of the executable's version record.
#define TRANVEX_PRODUCT_VERSION_COMMAS TRANVEX_V_MAJOR ", " TRANVEX_V_MINOR ", " TRANVEX_V_PATCH ", " TRANVEX_V_TWEAK

constexpr const char* TRANVEX_PRODUCT_VERSION = TRANVEX_PRODUCT_VERSION_LITERAL;
// The log writes the patch number as a second digit of the minor one (4.1.0: "4.10"); the About box
// shows major and minor only ("4.1").
constexpr const char* TRANVEX_VERSION_TEXT = "Tranvex Version " TRANVEX_V_MAJOR "." TRANVEX_V_MINOR TRANVEX_V_PATCH;
constexpr const char* TRANVEX_ABOUT_VERSION_TEXT = "Tranvex Version " TRANVEX_V_MAJOR "." TRANVEX_V_MINOR;
constexpr const char* TRANVEX_ABOUT_MENU_TEXT = "&About Tranvex..."; // string 101
