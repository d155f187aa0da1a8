#include "wizard/ProgressBar.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>

namespace {
const QString kGrey = QStringLiteral("background-color: #BABCC6");
const QString kGreen = QStringLiteral("background-color: #54D583");
}  // namespace

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setSpacing(5);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < kSegments; ++i) {
        auto* label = new QLabel(this);
        label->setStyleSheet(kGrey);
        layout->addWidget(label);
        m_labels.append(label);
    }
}

void ProgressBar::setValue(int index) {
    if (index < 0 || index >= m_labels.size()) {
        qDebug() << "ProgressBar index out of range" << index;
        return;
    }
    m_labels.at(index)->setStyleSheet(kGreen);
}

void ProgressBar::reset() {
    for (QLabel* label : m_labels) {
        label->setStyleSheet(kGrey);
    }
}

bool ProgressBar::isSegmentDone(int index) const {
    QLabel* label = segment(index);
    return label && label->styleSheet() == kGreen;
}
