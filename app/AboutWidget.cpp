#include "AboutWidget.h"

AboutWidget::AboutWidget(QWidget* parent) : QDialog(parent) {
    resize(480, 320);
}
