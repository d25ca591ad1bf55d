// Tranvex: the process entry point.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/TranvexApp.h"
#include "res/Version.h"

// Version 4.1.0.0 in the executable's build metadata (readelf -p .tranvex_version tranvex).
[[gnu::used, gnu::section(".tranvex_version")]] static const char kVersionInfo[] =
    "FileVersion=4.1.0.0\0FileVersionText=4, 1, 0, 0\0ProductVersion=4.1.0.0\0ProductVersionText=4, 1, 0, 0\0"
    "FileDescription=Tranvex\0InternalName=Tranvex\0"
    "Language=1033";

static CTranvexApp theApp;

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so it works without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tranvex %s\n", TRANVEX_PRODUCT_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tranvex"));
    QApplication::setApplicationVersion(QString::fromLatin1(TRANVEX_PRODUCT_VERSION));
    theApp.InitInstance();
    return 0;
}
