#include "MenuBar.h"

MenuBar::MenuBar(QWidget* parent) : QWidget(parent) {
    hide();
}

void MenuBar::langueChange(QString) {}
