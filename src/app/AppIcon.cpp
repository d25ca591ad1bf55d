// Registers the window library's resources (a static library needs this) and loads the icon.
#include "app/AppIcon.h"

static void RegisterResources() { Q_INIT_RESOURCE(tranvex); }

QIcon AppIcon() {
    static const bool registered = (RegisterResources(), true);
    (void)registered;
    return QIcon(QString::fromLatin1(APP_ICON_PATH));
}
