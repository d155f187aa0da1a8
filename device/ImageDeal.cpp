#include "ImageDeal.h"

ImageDeal::ImageDeal(QObject* parent) : QThread(parent) {
    moveToThread(this);
}

ImageDeal::~ImageDeal() {
    quit();
    wait();
}
