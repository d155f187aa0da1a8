// The Debian packages as a user receives them: built by cpack from this
// build's install rules, unpacked into a temporary root (a prefix other than
// /usr, so nothing may depend on where the package lands), checked with the
// desktop's own validators, and the unpacked program started against the
// unpacked simulator to see that it finds its tutorial clips.
#include "tests/support/DesktopProcess.h"
#include "tests/support/DroneSimProcess.h"
#include "tests/support/TestMain.h"
#include "tests/support/XvfbServer.h"
#include "tools/autodrive/WizardScreen.h"
#include "tools/autodrive/XDisplay.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QXmlStreamReader>

namespace {

const QString kAppId = QStringLiteral(NIMBRA_APP_ID);
const QStringList kClips = {QStringLiteral("ng.mp4"), QStringLiteral("ok_forward.mp4"),
                            QStringLiteral("ok_downward.mp4"), QStringLiteral("finished.mp4")};
const QList<int> kIconSizes = {16, 24, 32, 48, 64, 128, 256, 512};

struct Run {
    int exitCode = -1;
    QString output;  // standard output and error, merged
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 60000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    Run result;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(2000);
        result.output = program + QStringLiteral(" did not finish: ") + process.errorString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

// Every file below root, as paths relative to it ("usr/bin/NimbraDesktop").
QSet<QString> filesBelow(const QString& root) {
    QSet<QString> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.insert(QDir(root).relativeFilePath(it.next()));
    }
    return files;
}

// Package names of a Depends field, alternatives included, versions dropped.
QSet<QString> dependedPackages(const QString& depends) {
    QSet<QString> names;
    for (const QString& item : depends.split(QRegularExpression(QStringLiteral("[,|]")))) {
        const QString name = item.trimmed().section(QLatin1Char(' '), 0, 0);
        if (!name.isEmpty()) {
            names.insert(name);
        }
    }
    return names;
}

// Number of pixels that differ between two pictures inside area.
int changedPixels(const QImage& a, const QImage& b, const QRect& area) {
    int changed = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            changed += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return changed;
}

}  // namespace

class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void eachPackageHoldsItsOwnFiles();
    void dependenciesCoverEveryLinkedLibrary_data();
    void dependenciesCoverEveryLinkedLibrary();
    void desktopEntryAndMetainfoPassTheValidators();
    void menuEntryIconAndMetainfoAgree();
    void unpackedProgramPlaysItsClips();

private:
    QString field(const QString& deb, const QString& name) const;
    // Sonames a program loads (its NEEDED entries).
    QStringList neededLibraries(const QString& program) const;
    // The packages that ship each library any packaged program loads.
    QMap<QString, QSet<QString>> libraryOwners();

    QTemporaryDir m_work;
    QMap<QString, QString> m_deb;             // package name -> .deb file
    QMap<QString, QString> m_root;            // package name -> unpacked root
    QMap<QString, QSet<QString>> m_ownersOf;  // soname -> packages that ship it
};

void TestPackage::initTestCase() {
    QVERIFY(m_work.isValid());
    const Run cpack =
        run(QStringLiteral(NIMBRA_CPACK_BIN),
            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
             QStringLiteral(NIMBRA_CPACK_CONFIG), QStringLiteral("-B"), m_work.path()},
            240000);
    QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));
    for (const QString& name : QDir(m_work.path()).entryList({QStringLiteral("*.deb")})) {
        const QString deb = m_work.filePath(name);
        const QString package = field(deb, QStringLiteral("Package"));
        const QString root = m_work.filePath(QStringLiteral("root-") + package);
        const Run unpack = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root});
        QVERIFY2(unpack.exitCode == 0, qPrintable(unpack.output));
        m_deb.insert(package, deb);
        m_root.insert(package, root);
    }
    QCOMPARE(m_deb.keys(), QStringList({QStringLiteral("nimbra-desktop"),
                                        QStringLiteral("nimbra-desktop-tools")}));
}

QStringList TestPackage::neededLibraries(const QString& program) const {
    const Run dynamic =
        run(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral("-W"), program});
    QStringList needed;
    const QRegularExpression neededLine(QStringLiteral(R"(\(NEEDED\).*\[(.+)\])"));
    for (auto it = neededLine.globalMatch(dynamic.output); it.hasNext();) {
        needed << it.next().captured(1);
    }
    return needed;
}

QMap<QString, QSet<QString>> TestPackage::libraryOwners() {
    if (!m_ownersOf.isEmpty()) {
        return m_ownersOf;
    }
    // One search for the libraries of every packaged program: dpkg -S reads
    // every file list of the system each time.
    QSet<QString> needed;
    for (const QString& root : m_root) {
        const QDir bin(root + QStringLiteral("/usr/bin"));
        for (const QString& program : bin.entryList(QDir::Files)) {
            for (const QString& library : neededLibraries(bin.filePath(program))) {
                needed.insert(library);
            }
        }
    }
    // "libqt5core5a:amd64: /usr/lib/x86_64-linux-gnu/libQt5Core.so.5"; a
    // library name may also be shipped for other architectures (lib32stdc++6).
    const Run owners =
        run(QStringLiteral("dpkg"), QStringList{QStringLiteral("-S")} + needed.values());
    for (const QString& line : owners.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const int colon = line.indexOf(QStringLiteral(": /"));
        const QString file = QFileInfo(line.mid(colon + 2)).fileName();
        if (colon > 0 && needed.contains(file)) {
            for (const QString& owner : line.left(colon).split(QStringLiteral(", "))) {
                m_ownersOf[file].insert(owner.section(QLatin1Char(':'), 0, 0));
            }
        }
    }
    return m_ownersOf;
}

QString TestPackage::field(const QString& deb, const QString& name) const {
    return run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, name}).output.trimmed();
}

void TestPackage::eachPackageHoldsItsOwnFiles() {
    const QSet<QString> desktop = filesBelow(m_root.value(QStringLiteral("nimbra-desktop")));
    const QSet<QString> tools = filesBelow(m_root.value(QStringLiteral("nimbra-desktop-tools")));

    QSet<QString> expected = {
        QStringLiteral("usr/bin/NimbraDesktop"),
        QStringLiteral("usr/share/applications/%1.desktop").arg(kAppId),
        QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(kAppId),
        QStringLiteral("usr/share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId)};
    for (int size : kIconSizes) {
        expected.insert(
            QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId));
    }
    for (const QString& clip : kClips) {
        expected.insert(QStringLiteral("usr/share/nimbra-desktop/rc/") + clip);
    }
    QCOMPARE(desktop, expected);
    QCOMPARE(tools, QSet<QString>({QStringLiteral("usr/bin/nimbra-dronesim"),
                                   QStringLiteral("usr/bin/nimbra-replay"),
                                   QStringLiteral("usr/bin/nimbra-autodrive")}));

    // Debug information stays in the build: the packaged programs are stripped.
    for (const QString& package : m_root.keys()) {
        for (const QString& program :
             QDir(m_root[package] + QStringLiteral("/usr/bin")).entryList(QDir::Files)) {
            const Run sections = run(QStringLiteral("readelf"),
                                     {QStringLiteral("-S"), QStringLiteral("-W"),
                                      m_root[package] + QStringLiteral("/usr/bin/") + program});
            QCOMPARE(sections.exitCode, 0);
            QVERIFY2(!sections.output.contains(QStringLiteral(".debug_info")), qPrintable(program));
            QVERIFY2(!sections.output.contains(QStringLiteral(".symtab")), qPrintable(program));
        }
    }
}

void TestPackage::dependenciesCoverEveryLinkedLibrary_data() {
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("program");
    QTest::newRow("desktop") << "nimbra-desktop"
                             << "NimbraDesktop";
    QTest::newRow("simulator") << "nimbra-desktop-tools"
                               << "nimbra-dronesim";
    QTest::newRow("driver") << "nimbra-desktop-tools"
                            << "nimbra-autodrive";
    QTest::newRow("replay") << "nimbra-desktop-tools"
                            << "nimbra-replay";
}

// Every shared library a program loads belongs to a package its package
// depends on, with a lower version bound from the library's shlibs: the list
// is what dpkg-shlibdeps found, not one kept by hand.
void TestPackage::dependenciesCoverEveryLinkedLibrary() {
    QFETCH(QString, package);
    QFETCH(QString, program);
    const QString depends = field(m_deb.value(package), QStringLiteral("Depends"));
    const QSet<QString> declared = dependedPackages(depends);

    const QStringList needed =
        neededLibraries(m_root.value(package) + QStringLiteral("/usr/bin/") + program);
    QVERIFY(needed.size() > 4);
    const QMap<QString, QSet<QString>> ownersOf = libraryOwners();
    for (const QString& library : needed) {
        const QSet<QString> owners = ownersOf.value(library);
        QVERIFY2(!owners.isEmpty(), qPrintable(library + QStringLiteral(" has no package")));
        QVERIFY2(owners.intersects(declared),
                 qPrintable(
                     QStringLiteral("%1 needs %2 of %3, not in Depends: %4")
                         .arg(program, library, owners.values().join(QLatin1Char('/')), depends)));
    }
    QVERIFY2(depends.contains(QRegularExpression(QStringLiteral(R"(libc6 \(>= [0-9.]+\))"))),
             qPrintable(depends));
}

void TestPackage::desktopEntryAndMetainfoPassTheValidators() {
    const QString share =
        m_root.value(QStringLiteral("nimbra-desktop")) + QStringLiteral("/usr/share");
    const Run entry = run(QStringLiteral("desktop-file-validate"),
                          {share + QStringLiteral("/applications/%1.desktop").arg(kAppId)});
    QVERIFY2(entry.exitCode == 0 && entry.output.trimmed().isEmpty(), qPrintable(entry.output));

    // Strict: infos fail too. The one exception is the reserved "example" top
    // level domain of the application id, which the validator cannot know.
    const Run metainfo =
        run(QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--strict"),
             QStringLiteral("--override=cid-maybe-not-rdns=pedantic"),
             share + QStringLiteral("/metainfo/%1.metainfo.xml").arg(kAppId)});
    QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.output));
}

// The menu finds the program, its icon and its software-centre entry through
// names in three files: they must agree with what the package installs.
void TestPackage::menuEntryIconAndMetainfoAgree() {
    const QString root = m_root.value(QStringLiteral("nimbra-desktop"));
    const QString desktopFile = QStringLiteral("%1.desktop").arg(kAppId);
    QSettings entry(root + QStringLiteral("/usr/share/applications/") + desktopFile,
                    QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    const QString exec =
        entry.value(QStringLiteral("Exec")).toString().section(QLatin1Char(' '), 0, 0);
    const QString icon = entry.value(QStringLiteral("Icon")).toString();
    QVERIFY(QFileInfo(root + QStringLiteral("/usr/bin/") + exec).isExecutable());

    const QString icons = root + QStringLiteral("/usr/share/icons/hicolor/");
    QVERIFY(QFileInfo::exists(icons + QStringLiteral("scalable/apps/%1.svg").arg(icon)));
    for (int size : kIconSizes) {
        const QImage png(icons + QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(icon));
        QCOMPARE(png.size(), QSize(size, size));
        // Drawn, not blank: the centre of the icon is opaque.
        QCOMPARE(qAlpha(png.pixel(size / 2, size / 2)), 255);
    }

    QFile metainfo(root + QStringLiteral("/usr/share/metainfo/%1.metainfo.xml").arg(kAppId));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    QMap<QString, QString> elements;
    const QStringList names = {QStringLiteral("id"), QStringLiteral("launchable"),
                               QStringLiteral("binary")};
    for (QXmlStreamReader xml(&metainfo); !xml.atEnd();) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            names.contains(xml.name().toString())) {
            elements.insert(xml.name().toString(), xml.readElementText().trimmed());
        }
    }
    QCOMPARE(elements.value(QStringLiteral("id")), icon);
    QCOMPARE(elements.value(QStringLiteral("launchable")), desktopFile);
    QCOMPARE(elements.value(QStringLiteral("binary")), exec);
}

// The unpacked program lives under a prefix it was not built for; it must
// still find its clips beside its own executable's install location and play
// them on the guide page, which it reaches once the (unpacked) simulator
// answers its heartbeat.
void TestPackage::unpackedProgramPlaysItsClips() {
    const QString desktopRoot = m_root.value(QStringLiteral("nimbra-desktop"));
    DroneSimProcess sim(m_root.value(QStringLiteral("nimbra-desktop-tools")) +
                        QStringLiteral("/usr/bin/nimbra-dronesim"));
    QVERIFY2(sim.start(QStringLiteral("127.0.0.1")), qPrintable(sim.errorOutput()));
    XvfbServer xvfb;
    QVERIFY2(xvfb.start(), qPrintable(xvfb.errorString()));
    DesktopProcess::setLanguage(QStringLiteral("en"));
    DesktopProcess app(desktopRoot + QStringLiteral("/usr/bin/NimbraDesktop"));
    QVERIFY(app.start(xvfb.display(), QStringLiteral("127.0.0.1")));

    XDisplay display(xvfb.display());
    QImage first;
    WizardScreen::Page page = WizardScreen::Page::Unknown;
    QRect start;
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        first = display.grab();
        const WizardScreen screen(first);
        page = screen.page();
        start = screen.button();
        if (page == WizardScreen::Page::GuideLocked || page == WizardScreen::Page::GuideReady) {
            break;
        }
        QTest::qWait(300);
    }
    QVERIFY2(page == WizardScreen::Page::GuideLocked || page == WizardScreen::Page::GuideReady,
             qPrintable(WizardScreen::name(page) + QStringLiteral("\n") + app.log().right(2000)));

    // The two clips loop above the start button, where nothing else moves
    // (the countdown sits beside the button).
    QTest::qWait(700);
    const QImage second = display.grab();
    QVERIFY(!second.isNull());
    const QRect clips(0, 0, first.width(), start.top() - 10);
    QVERIFY2(changedPixels(first, second, clips) > 500, "the tutorial clips do not play");
    QVERIFY2(!app.log().contains(QStringLiteral("open url error")), qPrintable(app.log()));
    QVERIFY(app.isRunning());
}

NIMBRA_CORE_TEST_MAIN(TestPackage)
#include "tst_Package.moc"
