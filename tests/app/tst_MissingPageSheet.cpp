#include "app/NimbraDesktop.h"
#include "tests/support/TestMain.h"

#include <QStackedWidget>

namespace {
QStringList g_messages;
void capture(QtMsgType, const QMessageLogContext&, const QString& msg) {
    g_messages << msg;
}
}  // namespace

// Built with a style bundle that lacks "progress.qss" (see CMakeLists.txt): the
// window must say so in one line and leave only that page unstyled.
class TestMissingPageSheet : public QObject {
    Q_OBJECT

private slots:
    void missingSheetLogsOneLineAndLeavesThePageUnstyled() {
        qInstallMessageHandler(capture);
        NimbraDesktop* w = NimbraDesktop::getInstance();
        qInstallMessageHandler(nullptr);

        QStringList sheetLines;
        for (const QString& m : g_messages) {
            if (m.contains(".qss"))
                sheetLines << m;
        }
        QCOMPARE(sheetLines.size(), 1);
        QVERIFY2(sheetLines[0].startsWith("\"progress.qss\" "), qPrintable(sheetLines[0]));
        QVERIFY(sheetLines[0].size() > QString("\"progress.qss\" \"\"").size());

        QVERIFY(!w->styleSheet().isEmpty());
        for (int i = 0; i < w->stack()->count(); ++i) {
            QCOMPARE(w->stack()->widget(i)->styleSheet().isEmpty(),
                     i == NimbraDesktop::ProgressPage);
        }
        NimbraDesktop::destroyInstance();
    }
};

NIMBRA_GUI_TEST_MAIN(TestMissingPageSheet)
#include "tst_MissingPageSheet.moc"
