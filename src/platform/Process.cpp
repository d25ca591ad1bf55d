// The process seam: QProcess started without a shell, waited for in a local event loop.
#include "platform/Process.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QWidget>

bool RunAndWait(const CString& program, const CStringArray& args, QWidget* pWindow) {
    QStringList arguments;
    for (const CString& arg : args)
        arguments << QString::fromStdString(arg);
    QProcess process;
    process.setProgram(QString::fromStdString(program));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);

    // A window that stops painting is taken for a hung one, so the wait keeps the event loop going;
    // the window is disabled and input is held back, so nothing can be clicked meanwhile.
    const bool wasEnabled = pWindow && pWindow->isEnabled();
    if (pWindow)
        pWindow->setEnabled(false);
    QEventLoop loop;
    bool started = true;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            started = false;
            loop.quit();
        }
    });
    process.start();
    if (started) // a start that fails at once says so before the loop
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    // Input that arrived during the wait reaches the still disabled window and is dropped there.
    QCoreApplication::processEvents();
    if (pWindow)
        pWindow->setEnabled(wasEnabled);
    return started;
}
