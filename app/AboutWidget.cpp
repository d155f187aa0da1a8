#include "app/AboutWidget.h"
#include "ui_AboutWidget.h"

#include <QDebug>
#include <QDesktopServices>
#include <QEvent>

namespace {

const QString kWebStyle = QStringLiteral("font-size:10px;color:blue");
const QString kWebHoverStyle =
    QStringLiteral("font-size:10px;color:blue;text-decoration: underline;");

}  // namespace

AboutWidget::AboutWidget(QWidget* parent) : QDialog(parent), ui(new Ui_AboutWidget) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    // Fixed so that the main window can centre it before it is first shown.
    setFixedSize(400, 300);
    connect(ui->btn, &QPushButton::clicked, this, &QWidget::close);
    ui->web->installEventFilter(this);
    hide();
}

AboutWidget::~AboutWidget() {
    delete ui;
}

QUrl AboutWidget::webUrl() const {
    const QString suffix =
        m_langue == QLatin1String("en") ? QStringLiteral("en") : QStringLiteral("cn");
    return QUrl(QStringLiteral("%1/%2").arg(ui->web->text(), suffix));
}

bool AboutWidget::eventFilter(QObject* object, QEvent* event) {
    if (object == ui->web) {
        switch (event->type()) {
            case QEvent::Enter:
                ui->web->setStyleSheet(kWebHoverStyle);
                break;
            case QEvent::Leave:
                ui->web->setStyleSheet(kWebStyle);
                break;
            case QEvent::MouseButtonRelease:
                if (!QDesktopServices::openUrl(webUrl())) {
                    qDebug() << "cannot open" << webUrl().toString();
                }
                break;
            default:
                break;
        }
    }
    return QDialog::eventFilter(object, event);
}
