#include "app/NimbraDesktop.h"
#include "ui_NimbraDesktop.h"

#include "app/AboutWidget.h"
#include "device/BCInstanceManager.h"
#include "wizard/BCWidget.h"
#include "device/DeviceMonitor.h"
#include "wizard/GuidWidget.h"
#include "device/ImageDeal.h"
#include "wizard/LinkWidget.h"
#include "app/MenuBar.h"
#include "wizard/NGWidget.h"
#include "app/NimbraApplication.h"
#include "wizard/OKWidget.h"
#include "wizard/ProgressWidget.h"
#include "wizard/ScreenSizeWidget.h"
#include "Calibration/ScreenScale.h"
#include "Calibration/report/RunReportSummary.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QMouseEvent>
#include <QScreen>
#include <QTextCodec>
#include <QTextStream>
#include <QWindow>

NimbraDesktop* NimbraDesktop::s_instance = nullptr;

NimbraDesktop* NimbraDesktop::getInstance() {
    if (!s_instance) {
        s_instance = new NimbraDesktop();
    }
    return s_instance;
}

void NimbraDesktop::destroyInstance() {
    delete s_instance;
    s_instance = nullptr;
}

namespace {

QScreen* screenOfActiveWindow() {
    QWidget* active = QApplication::activeWindow();
    if (active && active->windowHandle() && active->windowHandle()->screen()) {
        return active->windowHandle()->screen();
    }
    return QGuiApplication::primaryScreen();
}

}  // namespace

NimbraDesktop::NimbraDesktop() : QWidget(nullptr), ui(new Ui_NimbraDesktop) {
    m_pageNames << "link"
                << "guid"
                << "progress"
                << "ok"
                << "ng"
                << "screen";
    ui->setupUi(this);

    if (QScreen* screen = screenOfActiveWindow()) {
        const QRect full = screen->geometry();
        setFixedSize(1080, 658);
        move((full.width() - 1080) / 2, (full.height() - 658) / 2);
    } else {
        setFixedSize(1080, 658);
    }
    setWindowTitle(QStringLiteral("NimbraDesktop 2.1.1116"));

    m_pLink = new LinkWidget(nullptr);
    m_pGuid = new GuidWidget(nullptr);
    m_pProgress = new ProgressWidget(nullptr);
    m_pOK = new OKWidget(nullptr);
    m_pNG = new NGWidget(nullptr);
    m_pScreenSize = new ScreenSizeWidget(nullptr);
    ui->stackedWidget->insertWidget(LinkPage, m_pLink);
    ui->stackedWidget->insertWidget(GuidePage, m_pGuid);
    ui->stackedWidget->insertWidget(ProgressPage, m_pProgress);
    ui->stackedWidget->insertWidget(OkPage, m_pOK);
    ui->stackedWidget->insertWidget(NgPage, m_pNG);
    ui->stackedWidget->insertWidget(ScreenSizePage, m_pScreenSize);
    connect(m_pScreenSize, &ScreenSizeWidget::finished, this, &NimbraDesktop::onScreenSizeChecked);

    loadQss();
    loadCHEN();

    m_pMenu = new MenuBar(this);
    connect(ui->setBtn, &QPushButton::clicked, this, &NimbraDesktop::onSetBtnClicked);
    connect(m_pMenu, &MenuBar::langueChanged, this, &NimbraDesktop::onLangueChanged);
    connect(m_pMenu, &MenuBar::screenSizeShow, this, &NimbraDesktop::showScreenSizeCheck);

    m_pMonitor = new DeviceMonitor();
    connect(m_pMonitor, &DeviceMonitor::stateChanged, this, &NimbraDesktop::onStateChanged);
    m_pMonitor->start(QThread::InheritPriority);

    ui->stackedWidget->setCurrentIndex(LinkPage);
    ui->widget->hide();

    connect(BCInstanceManager::getInstance()->getImageDeal(), &ImageDeal::result, this,
            &NimbraDesktop::onResult);
    connect(BCInstanceManager::getInstance()->getImageDeal(), &ImageDeal::runReported, this,
            &NimbraDesktop::onRunReported);
    connect(&m_telnet, &Telnet::version, this, &NimbraDesktop::onVersion);

    m_pBCWidget = new BCWidget(nullptr);
    connect(m_pMonitor, &DeviceMonitor::stateChanged, m_pBCWidget, &BCWidget::onStateChange);

    m_pAbout = new AboutWidget(nullptr);
    connect(m_pMenu, &MenuBar::aboutShow, m_pAbout, &AboutWidget::exec);
}

NimbraDesktop::~NimbraDesktop() {
    // The heartbeat thread is left running on purpose: it lives until the
    // process ends.
    m_pBCWidget->deleteLater();
    m_pAbout->deleteLater();
    delete ui;
}

void NimbraDesktop::loadQss() {
    QFile mainSheet(QStringLiteral("://main.qss"));
    if (mainSheet.open(QIODevice::ReadOnly)) {
        setStyleSheet(QString::fromUtf8(mainSheet.readAll()));
    } else {
        qDebug() << "main.qss" << mainSheet.errorString();
    }

    for (int i = 0; i < m_pageNames.size(); ++i) {
        QFile sheet(QStringLiteral("://%1.qss").arg(m_pageNames.at(i)));
        if (sheet.open(QIODevice::ReadOnly)) {
            ui->stackedWidget->widget(i)->setStyleSheet(QString::fromUtf8(sheet.readAll()));
        } else {
            qDebug() << m_pageNames.at(i) + ".qss" << sheet.errorString();
        }
    }
}

void NimbraDesktop::loadCHEN() {
    loadTable(QStringLiteral("ch_en.qm"));
    // The texts added since: their keys are not those of the first table, so
    // its texts translate exactly as before.
    loadTable(QStringLiteral("ch_en_more.qm"));
}

void NimbraDesktop::loadTable(const QString& resource) {
    QFile file(QStringLiteral("://") + resource);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << resource << file.errorString();
        return;
    }
    QTextStream stream(&file);
    stream.setCodec(QTextCodec::codecForName("GBK"));
    while (!stream.atEnd()) {
        const QStringList parts = stream.readLine().split(QLatin1Char('|'));
        // A line without "|" has no English side: nothing to translate.
        if (parts.size() < 2) {
            continue;
        }
        m_mapCHEN.insert(parts.at(0), parts.at(1));
    }
}

QString NimbraDesktop::zhToEn(QString text) const {
    const auto it = m_mapCHEN.constFind(text);
    if (it != m_mapCHEN.constEnd() && !it.value().isEmpty()) {
        return it.value();
    }
    return text;
}

QString NimbraDesktop::enToZh(QString text) const {
    for (auto it = m_mapCHEN.constBegin(); it != m_mapCHEN.constEnd(); ++it) {
        if (it.value() == text) {
            return it.key().isEmpty() ? text : it.key();
        }
    }
    return text;
}

void NimbraDesktop::setLabelLangue(QLabel* label, QString langue) {
    label->setText(langue == QLatin1String("en") ? zhToEn(label->text()) : enToZh(label->text()));
}

void NimbraDesktop::setButtonLangue(QPushButton* button, QString langue) {
    button->setText(langue == QLatin1String("en") ? zhToEn(button->text())
                                                  : enToZh(button->text()));
}

QStackedWidget* NimbraDesktop::stack() const {
    return ui->stackedWidget;
}
QWidget* NimbraDesktop::statusInfo() const {
    return ui->widget;
}
QLabel* NimbraDesktop::versionLabel() const {
    return ui->version;
}

void NimbraDesktop::onLangueChanged(QString langue) {
    qDebug().noquote() << QStringLiteral("current langue: ") + langue;
    NimbraApplication::setRegLangue(langue);
    m_pLink->langueChange(langue);
    m_pGuid->langueChange(langue);
    m_pBCWidget->langueChange(langue);
    m_pProgress->langueChange(langue);
    m_pOK->langueChange(langue);
    m_pNG->langueChange(langue);
    m_pScreenSize->langueChange(langue);
    setLabelLangue(ui->verName, langue);
    m_pMenu->langueChange(langue);
    m_pAbout->setLangue(langue);
}

void NimbraDesktop::onSetBtnClicked() {
    m_pMenu->show();
}

void NimbraDesktop::onStateChanged(bool state) {
    if (state) {
        m_telnet.connectToHost();
        ui->widget->show();
        m_pGuid->startGuid();
        showPage(GuidePage);
    } else {
        ui->widget->hide();
        showPage(LinkPage);
    }
}

void NimbraDesktop::onResult(bool ok) {
    m_bResult = ok;
    showPage(ok ? OkPage : NgPage);
}

void NimbraDesktop::onRunReported(const QString& runFolder) {
    const RunReportSummary report = RunReportSummary::read(runFolder);
    if (!report.readable) {
        qDebug().noquote() << QStringLiteral("run report: %1").arg(report.error);
    }
    if (m_bResult) {
        m_pOK->showRunReport(report);
    } else {
        m_pNG->showRunReport(report);
    }
}

void NimbraDesktop::showPage(int index) {
    if (ui->stackedWidget->currentIndex() == ScreenSizePage && index != ScreenSizePage) {
        m_nPageAfterCheck = index;
        return;
    }
    ui->stackedWidget->setCurrentIndex(index);
}

void NimbraDesktop::showScreenSizeCheck() {
    if (ui->stackedWidget->currentIndex() != ScreenSizePage) {
        m_nPageAfterCheck = ui->stackedWidget->currentIndex();
    }
    QScreen* shown = screen();
    if (!shown) {
        return;
    }
    m_pScreenSize->begin(ScreenScale::describe(*shown));
    ui->stackedWidget->setCurrentIndex(ScreenSizePage);
}

void NimbraDesktop::onScreenSizeChecked(bool saved) {
    qDebug() << "screen size check" << (saved ? "saved" : "left without saving");
    ui->stackedWidget->setCurrentIndex(m_nPageAfterCheck);
    m_pGuid->updateScreenCheck();
}

void NimbraDesktop::onVersion(QString text) {
    ui->version->setText(text);
}

void NimbraDesktop::setGuideShow() {
    m_pGuid->startGuid();
    ui->stackedWidget->setCurrentIndex(GuidePage);
}

void NimbraDesktop::setBCShow() {
    // A new run: its end must show its own progress and result.
    m_pProgress->resetForRun();
    m_pOK->resetForRun();
    m_pNG->resetForRun();
    m_pBCWidget->show();
    hide();
}

void NimbraDesktop::setProgressShow() {
    show();
    ui->stackedWidget->setCurrentIndex(ProgressPage);
    if (m_pProgress->isFinished()) {
        ui->stackedWidget->setCurrentIndex(m_bResult ? OkPage : NgPage);
    }
}

void NimbraDesktop::reboot() {
    m_telnet.reboot();
}

bool NimbraDesktop::event(QEvent* e) {
    if (e->type() == QEvent::MouseButtonRelease && m_pMenu && m_pMenu->isVisible()) {
        const QPoint pos = static_cast<QMouseEvent*>(e)->localPos().toPoint();
        if (!m_pMenu->geometry().contains(pos)) {
            m_pMenu->hide();
        }
    }
    return QWidget::event(e);
}

void NimbraDesktop::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
}

void NimbraDesktop::moveEvent(QMoveEvent* e) {
    if (m_pAbout) {
        m_pAbout->move(x() + (width() - m_pAbout->width()) / 2,
                       y() + (height() - m_pAbout->height()) / 2);
    }
    QWidget::moveEvent(e);
}
