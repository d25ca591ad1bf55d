// Tranvex: the process entry point.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "app/TranvexApp.h"
#include "res/Version.h"

// The version record in the executable's build metadata (readelf -p .tranvex_version tranvex).
[[gnu::used, gnu::section(".tranvex_version")]] static const char kVersionInfo[] =
    "FileVersion=" TRANVEX_PRODUCT_VERSION_LITERAL "\0FileVersionText=" TRANVEX_PRODUCT_VERSION_COMMAS "\0"
    "ProductVersion=" TRANVEX_PRODUCT_VERSION_LITERAL "\0ProductVersionText=" TRANVEX_PRODUCT_VERSION_COMMAS "\0"
    "FileDescription=Tranvex\0InternalName=Tranvex\0"
    "Language=1033";

static CTranvexApp theApp;

namespace {

const char kUsage[] =
    "Usage: tranvex [--version | --help]\n"
    "Opens the Tranvex window. The script, target and commands are chosen there.\n"
    "\n"
    "  --version  print the version and exit\n"
    "  -h, --help print this text and exit\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are accepted too.\n"
    "\n"
    "Environment:\n"
    "  TRANVEX_CLIENT_COMPONENT, TRANVEX_DEVICE_COMPONENT\n"
    "      the library behind the client control (\"KVT CLient X\") and the device control\n"
    "      (\"KVT HRN X\"): sim (the simulated component), net (the network component),\n"
    "      replay (the answers recorded in TRANVEX_REPLAY's cassette) or the absolute path\n"
    "      of a component library. A value that names nothing usable\n"
    "      is shown in a message box at start, and every call on that control then fails\n"
    "      with the same text.\n"
    "  TRANVEX_COMPONENT_PATH\n"
    "      when a control's variable above is unset, its library is looked for in these\n"
    "      colon-separated folders, then in the program's components folder (which holds\n"
    "      the simulated components)\n"
    "  TRANVEX_RECORD\n"
    "      write every call to either control, with its answer, to this cassette file\n"
    "  TRANVEX_REPLAY, TRANVEX_REPLAY_IGNORE\n"
    "      the cassette a replay control answers from, and the elements (Name,...) whose\n"
    "      values it does not compare\n"
    "  TRANVEX_VARS\n"
    "      a variables file (NAME=VALUE lines, '#' comments) giving ${NAME} in the script's\n"
    "      blocks, before the environment; an undefined variable is shown as a message\n"
    "  TRANVEX_EDITOR\n"
    "      the text editor of the two editor buttons (a name on PATH or a path); else the\n"
    "      first found on PATH of gnome-text-editor, gedit, mousepad, pluma, xed, kwrite,\n"
    "      kate, featherpad, leafpad, geany\n";

} // namespace

int main(int argc, char* argv[]) {
    // Answered before Qt starts, so that they work without a display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Tranvex %s\n", TRANVEX_PRODUCT_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    QApplication app(argc, argv);
    // Qt has taken its own options out; anything left is a mistake worth saying rather than ignoring.
    const QStringList rest = QApplication::arguments().mid(1);
    if (!rest.isEmpty()) {
        std::fprintf(stderr, "tranvex: unknown argument '%s'\nTry 'tranvex --help'.\n",
                     rest.front().toLocal8Bit().constData());
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Tranvex"));
    QApplication::setApplicationVersion(QString::fromLatin1(TRANVEX_PRODUCT_VERSION));
    theApp.InitInstance();
    return 0;
}
