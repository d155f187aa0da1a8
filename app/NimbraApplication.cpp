#include "app/NimbraApplication.h"

#include "app/MessageLog.h"
#include "app/SingleInstance.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>

#include <cstdlib>

void NimbraApplication::setSettingsIdentity() {
    setOrganizationName(QStringLiteral("Nimbra"));
    setOrganizationDomain(QStringLiteral("nimbra.example"));
    setApplicationName(QStringLiteral("NimbraDesktop"));
}

NimbraApplication::NimbraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setSettingsIdentity();
    // Lets the desktop match the window to the installed desktop entry (and
    // its icon) on Wayland as well as on X11.
    setDesktopFileName(QStringLiteral("example.nimbra.NimbraDesktop"));
    setWindowIcon(QIcon(QStringLiteral(":/image/app_icon.png")));

    const QString logDir = logDirPath();
    QDir().mkpath(logDir);
    if (QFile::exists(logFilePath())) {
        QFile::remove(logFilePath());
    }
    qDebug().noquote() << QStringLiteral("Log path: ") + logDir;

    // Tutorial clips and other relative paths resolve next to the executable.
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    installMessageLog();

    if (QGuiApplication::screens().size() < 2) {
        return;
    }
    const bool chinese = QLocale::system().language() == QLocale::Chinese;
    QMessageBox box(QMessageBox::Information, QString(), extendedScreenText(chinese),
                    QMessageBox::Ok);
    box.exec();
    std::exit(0);
}

QString NimbraApplication::extendedScreenText(bool chineseSystem) {
    return chineseSystem
               ? QStringLiteral("不支持在扩展屏幕下使用，请先移除您的扩展屏幕")
               : QStringLiteral(
                     "Does not support use under extended screens, please remove your extended "
                     "screens first");
}

int NimbraApplication::exec() {
    if (!IsSingleProcess()) {
        qDebug() << "process is run";
        return -1;
    }
    return QApplication::exec();
}

QString NimbraApplication::getRegLangue() {
    QSettings settings;
    const QString stored = settings.value(QStringLiteral("Langue")).toString();
    if (!stored.isEmpty()) {
        return stored;
    }
    return defaultLangue(QLocale::system().language());
}

QString NimbraApplication::defaultLangue(QLocale::Language systemLanguage) {
    return systemLanguage == QLocale::Chinese ? QStringLiteral("zh") : QStringLiteral("en");
}

void NimbraApplication::setRegLangue(QString langue) {
    QSettings settings;
    settings.setValue(QStringLiteral("Langue"), langue);
    settings.sync();
}
