#pragma once

#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/XvfbServer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QtTest>

// Test entry points that isolate the process before any Qt object exists.
// Widget suites default to the offscreen platform unless one is given.

#define NIMBRA_CORE_TEST_MAIN(TestClass)         \
    int main(int argc, char* argv[]) {           \
        IsolatedEnvironment isolatedEnvironment; \
        QCoreApplication app(argc, argv);        \
        TestClass tc;                            \
        QTEST_SET_MAIN_SOURCE_PATH               \
        return QTest::qExec(&tc, argc, argv);    \
    }

#define NIMBRA_GUI_TEST_MAIN(TestClass)                       \
    int main(int argc, char* argv[]) {                        \
        IsolatedEnvironment isolatedEnvironment;              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) { \
            qputenv("QT_QPA_PLATFORM", "offscreen");          \
        }                                                     \
        QApplication app(argc, argv);                         \
        TestClass tc;                                         \
        QTEST_SET_MAIN_SOURCE_PATH                            \
        return QTest::qExec(&tc, argc, argv);                 \
    }

// Widget suites that need a real X server (window placement, input, pixels):
// a private Xvfb with one screen of screenSize (a QSize). atExit runs after the
// tests while the application object still exists (e.g. to delete a singleton
// window before it).
#define NIMBRA_XVFB_TEST_MAIN(TestClass, screenSize, atExit) \
    int main(int argc, char* argv[]) {                       \
        IsolatedEnvironment isolatedEnvironment;             \
        XvfbServer xvfb({screenSize});                       \
        if (!xvfb.start()) {                                 \
            qCritical("%s", qPrintable(xvfb.errorString())); \
            return 1;                                        \
        }                                                    \
        qputenv("DISPLAY", xvfb.display().toLatin1());       \
        qputenv("QT_QPA_PLATFORM", "xcb");                   \
        QApplication app(argc, argv);                        \
        TestClass tc;                                        \
        const int rc = QTest::qExec(&tc, argc, argv);        \
        atExit;                                              \
        return rc;                                           \
    }
