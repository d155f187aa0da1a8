#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Takes the URLs the program asks the desktop to open: register it with
// QDesktopServices::setUrlHandler(scheme, &catcher, "open"), so that no
// browser starts and the test sees which URL would have been opened.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls << url; }
};
