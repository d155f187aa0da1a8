#include "NimbraApplication.h"
#include "NimbraDesktop.h"
#include "TestMain.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextCodec>

// The Chinese/English table and switching the whole main window.
class TestTranslation : public QObject {
    Q_OBJECT

private slots:
    void tableResourceIsGbkOfTheReadableSource() {
        QFile resource(QStringLiteral("://ch_en.qm"));
        QVERIFY(resource.open(QIODevice::ReadOnly));
        const QByteArray raw = resource.readAll();
        QFile source(QStringLiteral(NIMBRA_TABLE_SOURCE));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(source.readAll());
        QCOMPARE(QTextCodec::codecForName("GBK")->toUnicode(raw), text);
        QVERIFY(raw != text.toUtf8());  // really re-encoded, not copied
        QCOMPARE(raw.count('\n'), 49);
        QVERIFY(raw.endsWith('\n'));
    }

    void conversionsBothWays() {
        NimbraDesktop* w = NimbraDesktop::getInstance();
        QCOMPARE(w->zhToEn(QStringLiteral("确定")), QStringLiteral("OK"));
        QCOMPARE(w->enToZh(QStringLiteral("OK")), QStringLiteral("确定"));
        QCOMPARE(w->zhToEn(QStringLiteral("Step 1")), QStringLiteral("Step 1"));
        QCOMPARE(w->enToZh(QStringLiteral("Step 1")), QStringLiteral("Step 1"));
        QCOMPARE(w->enToZh(QStringLiteral("Keep your screen straight up")),
                 QStringLiteral("使显示器屏幕垂直于桌面"));
    }

    void switchingTwiceAndBackRestoresEveryText() {
        NimbraDesktop* w = NimbraDesktop::getInstance();
        auto texts = [w] {
            QStringList t;
            for (QLabel* l : w->findChildren<QLabel*>())
                t << l->objectName() + "=" + l->text();
            for (QPushButton* b : w->findChildren<QPushButton*>())
                t << b->objectName() + "=" + b->text();
            return t;
        };
        w->onLangueChanged(QStringLiteral("zh"));
        const QStringList chinese = texts();
        w->onLangueChanged(QStringLiteral("en"));
        const QStringList english = texts();
        w->onLangueChanged(QStringLiteral("en"));
        QCOMPARE(texts(), english);
        QVERIFY(english.contains(QStringLiteral("title=Connect to your device")));
        QVERIFY(english.contains(QStringLiteral("verName=Firmware version")));
        w->onLangueChanged(QStringLiteral("zh"));
        QCOMPARE(texts(), chinese);
        QCOMPARE(NimbraApplication::getRegLangue(), QStringLiteral("zh"));
        w->onLangueChanged(QStringLiteral("en"));
        QCOMPARE(NimbraApplication::getRegLangue(), QStringLiteral("en"));
        NimbraDesktop::destroyInstance();
    }
};

NIMBRA_GUI_TEST_MAIN(TestTranslation)
#include "tst_Translation.moc"
