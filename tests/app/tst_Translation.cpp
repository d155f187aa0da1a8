#include "app/AboutWidget.h"
#include "wizard/BCWidget.h"
#include "app/NimbraApplication.h"
#include "app/NimbraDesktop.h"
#include "tests/support/TestMain.h"
#include "video/VideoWidget.h"
#include "wizard/WaitOpenVideo.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTextCodec>

namespace {

// Every label and button text of the main window (pages, status bar, menu),
// the calibration window (overlays included) and the About dialog, keyed by
// the widget's path so that equal texts of different widgets stay apart.
QMap<QString, QString> everyText() {
    NimbraDesktop* w = NimbraDesktop::getInstance();
    QMap<QString, QString> texts;
    for (QWidget* root : {static_cast<QWidget*>(w), static_cast<QWidget*>(w->bcWidget()),
                          static_cast<QWidget*>(w->aboutWidget())}) {
        auto path = [root](QObject* o) {
            QString p;
            for (; o && o != root->parent(); o = o->parent())
                p.prepend(
                    QStringLiteral("/%1(%2)").arg(o->objectName(), o->metaObject()->className()));
            return p;
        };
        for (QLabel* l : root->findChildren<QLabel*>())
            texts.insert(path(l), l->text());
        for (QPushButton* b : root->findChildren<QPushButton*>())
            texts.insert(path(b), b->text());
    }
    VideoWidget* video = w->bcWidget()->video();
    texts.insert(QStringLiteral("camera caption"), video->videoPosition());
    texts.insert(QStringLiteral("camera tip"), video->tip());
    return texts;
}

// Han ideographs. Corner brackets are not counted: one English text of the
// table quotes its button in 「」.
const QRegularExpression kChinese(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"));

}  // namespace

// The Chinese/English table and switching every page and overlay.
class TestTranslation : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Nothing listens here: the heartbeat of the main window stays idle.
        qputenv("NIMBRA_DEVICE_ADDRESS", "127.0.0.100");
    }

    void addedTableLeavesTheFirstAloneAndKeepsItsPlaceholders() {
        auto pairs = [](const QString& resource) {
            QFile file(resource);
            file.open(QIODevice::ReadOnly);
            QMap<QString, QString> table;
            for (const QString& line :
                 QTextCodec::codecForName("GBK")->toUnicode(file.readAll()).split('\n')) {
                table.insert(line.section('|', 0, 0), line.section('|', 1));
            }
            table.remove(QString());
            return table;
        };
        const QMap<QString, QString> first = pairs(QStringLiteral("://ch_en.qm"));
        const QMap<QString, QString> added = pairs(QStringLiteral("://ch_en_more.qm"));
        QVERIFY(!first.isEmpty());
        QVERIFY(added.size() > 20);
        auto marks = [](const QString& text) {
            QStringList all;
            for (auto m = QRegularExpression(QStringLiteral("%\\d")).globalMatch(text);
                 m.hasNext();) {
                all << m.next().captured();
            }
            all.sort();
            return all;
        };
        for (auto it = added.begin(); it != added.end(); ++it) {
            // Neither side may reach a text of the first table: its labels
            // and buttons must translate exactly as before, both ways.
            QVERIFY2(!first.contains(it.key()) && !first.values().contains(it.value()),
                     qPrintable(it.key()));
            QVERIFY2(!it.value().isEmpty() && !it.value().contains(kChinese), qPrintable(it.key()));
            QCOMPARE(marks(it.value()), marks(it.key()));
        }
        QCOMPARE(NimbraDesktop::getInstance()->zhToEn(QStringLiteral("查看报告")),
                 QStringLiteral("View report"));
    }

    void everyLabelAndButtonOfEveryPageAndOverlayFollowsBothWays() {
        NimbraDesktop* w = NimbraDesktop::getInstance();
        BCWidget* bc = w->bcWidget();
        w->onLangueChanged(QStringLiteral("zh"));
        // Texts the calibration window sets itself during a run.
        bc->onImageChanged(VideoShow::ForwardLeft);
        bc->onFlightStateChange(ImageCapture::MoveCloser);
        bc->waitOverlay()->setVideoType(WaitOpenVideo::Downward);
        const QMap<QString, QString> chinese = everyText();
        QVERIFY(chinese.size() > 60);
        QVERIFY(chinese.value("camera caption").contains(kChinese));
        QVERIFY(chinese.value("camera tip").contains(kChinese));

        w->onLangueChanged(QStringLiteral("en"));
        // Kept for the next start.
        QCOMPARE(NimbraApplication::getRegLangue(), QStringLiteral("en"));
        const QMap<QString, QString> english = everyText();
        QCOMPARE(english.keys(), chinese.keys());
        int converted = 0;
        for (auto it = english.constBegin(); it != english.constEnd(); ++it) {
            QVERIFY2(!it.value().contains(kChinese), qPrintable(it.key() + " = " + it.value()));
            const QString before = chinese.value(it.key());
            QCOMPARE(it.value(), w->zhToEn(before));
            converted += it.value() != before;
        }
        // The walk really reached the pages and overlays.
        QVERIFY2(converted > 30, qPrintable(QString::number(converted)));

        // Switching to the language shown changes nothing; back restores all.
        w->onLangueChanged(QStringLiteral("en"));
        QCOMPARE(everyText(), english);
        w->onLangueChanged(QStringLiteral("zh"));
        QCOMPARE(everyText(), chinese);
        QCOMPARE(NimbraApplication::getRegLangue(), QStringLiteral("zh"));
    }

    void everyCodeButEnIsChinese_data() {
        QTest::addColumn<QString>("langue");
        QTest::newRow("empty") << QString();
        QTest::newRow("EN") << QStringLiteral("EN");
        QTest::newRow("en-US") << QStringLiteral("en-US");
        QTest::newRow("fr") << QStringLiteral("fr");
    }

    void everyCodeButEnIsChinese() {
        QFETCH(QString, langue);
        NimbraDesktop* w = NimbraDesktop::getInstance();
        w->onLangueChanged(QStringLiteral("zh"));
        const QMap<QString, QString> chinese = everyText();
        w->onLangueChanged(QStringLiteral("en"));
        w->onLangueChanged(langue);
        QCOMPARE(everyText(), chinese);
        QCOMPARE(w->aboutWidget()->webUrl().toString().right(3), QStringLiteral("/cn"));
    }

    void cleanupTestCase() { NimbraDesktop::destroyInstance(); }
};

NIMBRA_GUI_TEST_MAIN(TestTranslation)
#include "tst_Translation.moc"
