#include "app/MessageLog.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>

// Starts the real NimbraDesktop executable (offscreen, in this test's private
// home) to see which language it applies and what it stores for next time.
class TestLanguageRestart : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startLanguage_data();
    void startLanguage();

private:
    // The code the started program applied ("current langue: ..."), or a
    // null string when it did not say so in time.
    QString runOnce(const QByteArray& systemLocale);
    static void store(const QVariant& langue);
    static QVariant stored();
};

void TestLanguageRestart::initTestCase() {
    QVERIFY(QFile::exists(QStringLiteral(NIMBRA_DESKTOP_BIN)));
    // The program's own names: the settings file is the one it reads.
    QCoreApplication::setOrganizationName(QStringLiteral("Nimbra"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("nimbra.example"));
    QCoreApplication::setApplicationName(QStringLiteral("NimbraDesktop"));
}

void TestLanguageRestart::store(const QVariant& langue) {
    QSettings settings;
    if (langue.isNull()) {
        settings.remove(QStringLiteral("Langue"));
    } else {
        settings.setValue(QStringLiteral("Langue"), langue);
    }
    settings.sync();
}

QVariant TestLanguageRestart::stored() {
    return QSettings().value(QStringLiteral("Langue"));
}

QString TestLanguageRestart::runOnce(const QByteArray& systemLocale) {
    QFile::remove(logFilePath());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(systemLocale));
    env.insert(QStringLiteral("LANG"), QString::fromLatin1(systemLocale));
    // Nothing listens here: the heartbeat finds no drone.
    env.insert(QStringLiteral("NIMBRA_DEVICE_ADDRESS"), QStringLiteral("127.0.0.102"));
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(QStringLiteral(NIMBRA_DESKTOP_BIN), QStringList());
    if (!app.waitForStarted()) {
        return QString();
    }
    const QRegularExpression applied(QStringLiteral("\\]: current langue: (.*)\\n"));
    QString langue;
    for (int waited = 0; waited < 15000 && langue.isNull(); waited += 50) {
        QTest::qWait(50);
        QFile log(logFilePath());
        if (log.open(QIODevice::ReadOnly)) {
            const QRegularExpressionMatch m = applied.match(QString::fromUtf8(log.readAll()));
            if (m.hasMatch()) {
                langue = m.captured(1);
            }
        }
    }
    // The code is logged before it is stored: give the write its time.
    for (int waited = 0; waited < 5000 && !langue.isNull() && stored().toString() != langue;
         waited += 50) {
        QTest::qWait(50);
    }
    app.terminate();
    if (!app.waitForFinished(10000)) {
        app.kill();
        app.waitForFinished(10000);
    }
    return langue;
}

void TestLanguageRestart::startLanguage_data() {
    QTest::addColumn<QVariant>("before");
    QTest::addColumn<QByteArray>("system");
    QTest::addColumn<QString>("applied");

    QTest::newRow("nothing stored, Chinese system")
        << QVariant() << QByteArray("zh_CN.UTF-8") << QStringLiteral("zh");
    QTest::newRow("nothing stored, other system")
        << QVariant() << QByteArray("de_DE.UTF-8") << QStringLiteral("en");
    QTest::newRow("empty counts as nothing stored")
        << QVariant(QString()) << QByteArray("zh_CN.UTF-8") << QStringLiteral("zh");
    QTest::newRow("stored en on a Chinese system")
        << QVariant(QStringLiteral("en")) << QByteArray("zh_CN.UTF-8") << QStringLiteral("en");
    QTest::newRow("stored zh on another system")
        << QVariant(QStringLiteral("zh")) << QByteArray("C") << QStringLiteral("zh");
    // Applied as Chinese (only "en" is English) and kept as it was.
    QTest::newRow("unknown code kept")
        << QVariant(QStringLiteral("fr")) << QByteArray("C") << QStringLiteral("fr");
}

void TestLanguageRestart::startLanguage() {
    QFETCH(QVariant, before);
    QFETCH(QByteArray, system);
    QFETCH(QString, applied);
    store(before);
    QCOMPARE(runOnce(system), applied);
    // Applying writes the code back: the next start keeps it, whatever the
    // system's language then is.
    QCOMPARE(stored().toString(), applied);
}

NIMBRA_CORE_TEST_MAIN(TestLanguageRestart)
#include "tst_LanguageRestart.moc"
