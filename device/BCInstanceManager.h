#pragma once

#include <QObject>

class ImageCapture;
class ImageDeal;
class VideoShow;
class ModelChange;

// Registry of the four long-lived device-session objects. It is created by a
// static initialiser before main runs and never destroyed while the program
// runs, so the getters are plain reads that are safe from any thread.
class BCInstanceManager : public QObject {
    Q_OBJECT

public:
    explicit BCInstanceManager(QObject* parent = nullptr);
    ~BCInstanceManager() override;

    static BCInstanceManager* getInstance();

    ImageCapture* getImageCapture() const { return m_pCapture; }
    ImageDeal* getImageDeal() const { return m_pDeal; }
    VideoShow* getVideoShow() const { return m_pVideo; }
    ModelChange* getModelChange() const { return m_pModelChange; }

private:
    ImageCapture* m_pCapture = nullptr;
    ImageDeal* m_pDeal = nullptr;
    VideoShow* m_pVideo = nullptr;
    ModelChange* m_pModelChange = nullptr;

    static BCInstanceManager* m_BCMgr;
};
