// Tranvex: the process entry point.
#include <QApplication>

#include "app/TranvexApp.h"

// Version 4.1.0.0 in the executable's build metadata (readelf -p .tranvex_version tranvex).
[[gnu::used, gnu::section(".tranvex_version")]] static const char kVersionInfo[] =
    "FileVersion=4.1.0.0\0FileVersionText=4, 1, 0, 0\0ProductVersion=4.1.0.0\0ProductVersionText=4, 1, 0, 0\0"
    "FileDescription=Tranvex\0InternalName=Tranvex\0"
    "Language=1033";

static CTranvexApp theApp;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tranvex"));
    QApplication::setApplicationVersion(QStringLiteral("4.1.0.0"));
    theApp.InitInstance();
    return 0;
}
