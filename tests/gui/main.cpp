// Test main for window tests: one QApplication, offscreen unless told otherwise. With
// TRANVEX_TEST_MONOSPACE=family, the run's own fontconfig file (in a temporary folder) makes that
// family the system's monospace, so that the fixed-font checks run under it; a family that is not
// installed skips the run (exit 77).
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <cstdio>
#include <gtest/gtest.h>
#include <optional>

#include "TestSupport.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString family = qEnvironmentVariable("TRANVEX_TEST_MONOSPACE");
    std::optional<tvxtest::CTempDir> fonts;
    if (!family.isEmpty()) {
        fonts.emplace();
        tvxtest::WriteFile(
            *fonts / "fonts.conf",
            "<?xml version=\"1.0\"?>\n<fontconfig>\n"
            "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
            "  <match target=\"pattern\"><test name=\"family\"><string>monospace</string></test>\n"
            "    <edit name=\"family\" mode=\"prepend_first\" binding=\"strong\"><string>" +
                family.toHtmlEscaped().toStdString() + "</string></edit></match>\n</fontconfig>\n");
        setenv("FONTCONFIG_FILE", (*fonts / "fonts.conf").c_str(), 1);
    }
    QApplication app(argc, argv);
    const QString resolved = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    if (!family.isEmpty() && !QFontDatabase::hasFamily(family)) {
        std::fprintf(stderr, "%s is not installed\n", qPrintable(family));
        return 77;
    }
    if (!resolved.startsWith(family)) { // "Nimbus Mono PS [urw]": the family with its foundry
        std::fprintf(stderr, "monospace is %s, not %s\n", qPrintable(resolved), qPrintable(family));
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
