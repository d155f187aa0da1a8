#include "app/MenuBar.h"
#include "ui_MenuBar.h"

#include "app/NimbraDesktop.h"

#include <QEvent>
#include <QLayout>

namespace {

const QString kGreen = QStringLiteral("color:rgba(84,213,131,1);");
const QString kWhite = QStringLiteral("color:rgba(255, 255, 255,1);");

}  // namespace

MenuBar::MenuBar(QWidget* parent) : QWidget(parent), ui(new Ui_MenuBar) {
    ui->setupUi(this);
    for (QLabel* entry : {ui->text1, ui->text2, ui->text3, ui->text4, ui->text5}) {
        entry->installEventFilter(this);
    }
    fitToTexts();
    hide();
}

MenuBar::~MenuBar() {
    delete ui;
}

void MenuBar::markSelected(bool english) {
    ui->text3->setStyleSheet(english ? kWhite : kGreen);
    ui->text4->setStyleSheet(english ? kGreen : kWhite);
}

void MenuBar::fitToTexts() {
    // The font size comes from the style sheet: measure the polished labels.
    ensurePolished();
    // The panel fills the menu without margins; its own hint is never stale.
    ui->bgWidget->layout()->invalidate();
    const QSize hint = ui->bgWidget->sizeHint();
    const int w = qMax(kMinimumWidth, hint.width());
    const int h = qMax(kMinimumHeight, hint.height());
    const int right = kPosition.x() + kMinimumWidth;
    const int bottom = kPosition.y() + kMinimumHeight;
    setGeometry(right - w, bottom - h, w, h);
}

void MenuBar::langueChange(QString langue) {
    markSelected(langue == QLatin1String("en"));
    NimbraDesktop* main = NimbraDesktop::getInstance();
    // "English" names itself in either language.
    for (QLabel* entry : {ui->text1, ui->text2, ui->text3, ui->text5}) {
        main->setLabelLangue(entry, langue);
    }
    fitToTexts();
}

bool MenuBar::eventFilter(QObject* object, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress) {
        if (object == ui->text3) {
            markSelected(false);
        } else if (object == ui->text4) {
            markSelected(true);
        }
    } else if (type == QEvent::MouseButtonRelease) {
        if (object == ui->text2) {
            hide();
            emit aboutShow();
        } else if (object == ui->text5) {
            hide();
            emit screenSizeShow();
        } else if (object == ui->text3) {
            emit langueChanged(QStringLiteral("zh"));
            hide();
        } else if (object == ui->text4) {
            emit langueChanged(QStringLiteral("en"));
            hide();
        }
    }
    return QWidget::eventFilter(object, event);
}
