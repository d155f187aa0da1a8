#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "device/telnet/Telnet.h"

class Ui_NimbraDesktop;
class LinkWidget;
class GuidWidget;
class ProgressWidget;
class AboutWidget;
class OKWidget;
class NGWidget;
class ScreenSizeWidget;
class BCWidget;
class MenuBar;
class DeviceMonitor;
class QLabel;
class QPushButton;
class QStackedWidget;

// The main window and hub of the page flow: six pages in a stack (link, guide,
// progress, OK, NG, screen size check), a status bar with the product name and
// firmware version, and the owner of the calibration window, the console and
// the heartbeat.
class NimbraDesktop : public QWidget {
    Q_OBJECT

public:
    enum Page {
        LinkPage = 0,
        GuidePage = 1,
        ProgressPage = 2,
        OkPage = 3,
        NgPage = 4,
        ScreenSizePage = 5
    };

    // Built on the first call (GUI thread only).
    static NimbraDesktop* getInstance();
    // Deletes the singleton; main calls it before the application object goes.
    static void destroyInstance();

    ~NimbraDesktop() override;

    void setGuideShow();
    void setBCShow();
    void setProgressShow();
    void reboot();
    // Opens the screen size check for the screen showing this window; when it
    // ends, the page that was current comes back (or the one the heartbeat or
    // a result chose meanwhile).
    void showScreenSizeCheck();

    // Chinese <-> English through the tables loaded from "://ch_en.qm" and
    // "://ch_en_more.qm".
    QString zhToEn(QString text) const;
    QString enToZh(QString text) const;
    void setLabelLangue(QLabel* label, QString langue);
    void setButtonLangue(QPushButton* button, QString langue);

    // For tests and the pages: the form's parts.
    QStackedWidget* stack() const;
    QWidget* statusInfo() const;
    QLabel* versionLabel() const;
    BCWidget* bcWidget() const { return m_pBCWidget; }
    MenuBar* menuBar() const { return m_pMenu; }
    AboutWidget* aboutWidget() const { return m_pAbout; }
    const QStringList& pageNames() const { return m_pageNames; }
    ScreenSizeWidget* screenSizeWidget() const { return m_pScreenSize; }

public slots:
    void onLangueChanged(QString langue);
    void onSetBtnClicked();
    void onStateChanged(bool state);
    void onResult(bool ok);
    void onVersion(QString text);
    // The report of the run that just ended is in runFolder: the result page
    // shows what it says.
    void onRunReported(const QString& runFolder);
    void onScreenSizeChecked(bool saved);

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

private:
    NimbraDesktop();
    void loadQss();
    void loadCHEN();
    void loadTable(const QString& resource);
    // Makes a page current, unless the screen size check is: then the page
    // comes when the check ends.
    void showPage(int index);

    Ui_NimbraDesktop* ui = nullptr;
    LinkWidget* m_pLink = nullptr;
    GuidWidget* m_pGuid = nullptr;
    ProgressWidget* m_pProgress = nullptr;
    AboutWidget* m_pAbout = nullptr;
    OKWidget* m_pOK = nullptr;
    NGWidget* m_pNG = nullptr;
    ScreenSizeWidget* m_pScreenSize = nullptr;
    int m_nPageAfterCheck = LinkPage;
    BCWidget* m_pBCWidget = nullptr;
    MenuBar* m_pMenu = nullptr;
    Telnet m_telnet;
    DeviceMonitor* m_pMonitor = nullptr;
    QStringList m_pageNames;
    QMap<QString, QString> m_mapCHEN;
    bool m_bResult = false;

    static NimbraDesktop* s_instance;
};
