#pragma once

#include "IsolatedEnvironment.h"

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
