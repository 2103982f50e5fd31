// The GUI tests' entry: the application object on Qt's offscreen platform, made the way the
// program makes it, then every test on this one GUI thread.
#include "platform/platform.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>

#include <gtest/gtest.h>

namespace {

// The offscreen platform says so whenever a window asks for something it cannot do.
void quieter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quieter);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    platform::start(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
