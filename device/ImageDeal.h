#pragma once

#include <QThread>

// Client of the drone's data channel (TCP 9999): receives the circle centres of
// every captured image, hands each to an ordering task and uploads the results.
// Moves itself to its own thread; its thread is started for each run by the
// calibration window.
class ImageDeal : public QThread {
    Q_OBJECT

public:
    explicit ImageDeal(QObject* parent = nullptr);
    ~ImageDeal() override;

signals:
    // Images handled so far in this run, 52 right before result().
    void progress(int value);
    // The run's outcome: true when both pairs calibrated and were uploaded.
    void result(bool ok);
};
