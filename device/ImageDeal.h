#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

#include "Calibration/CMyCalculationPicThread.h"
#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeatureData.h"
#include "device/record/RunRecordWriter.h"
#include "video/VideoShow.h"

class QTcpSocket;

// Client of the drone's data channel (TCP 9999). Once connected it starts the
// capture control channel; it receives one feature packet per captured image
// and camera, hands each to a circle-ordering task on the global thread pool
// (at most 5 threads), reports progress, waits for the run's calibration
// outcome and then uploads the four results and depth-unit maps ("right") or
// tells the drone that the calibration failed ("wrong").
//
// Moves itself to its own thread: the socket, parsing, upload and onResult run
// there. startDeal/quitDeal/setRadius/setScreenMetrics are called from the GUI
// thread; hand-off tasks run on pool threads. m_dataList is guarded by
// m_listMutex.
class ImageDeal : public QThread {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 9999;
    static constexpr int kMaxPoolThreads = 5;

    explicit ImageDeal(QObject* parent = nullptr);
    ~ImageDeal() override;

    // Uploads one camera: its ResultData (74 bytes) and then the file at path
    // in chunk packets numbered from 1. False, with a log line, when the file
    // does not exist or cannot be opened (nothing, resp. only the result, was
    // sent) or its upload ended early.
    bool sendResult(QString path, VideoShow::VideoPosition pos);

    int radius() const { return m_nRadius; }
    // The screen width (mm) last published with setScreenMetrics.
    double screenWidthMm() const { return m_fScreenWidthMm; }

signals:
    void progress(int value);
    void result(bool ret);
    // After result: the run's report.json and report.html are in this folder
    // (or could not be written there; the log says why).
    void runReported(const QString& runFolder);
    void sendResult(bool rst);
    // Declared for the channel's users; this channel never emits them.
    void connected();
    void disconnected();
    void communicationError(const QString& title, const QString& error);

public slots:
    void startDeal();
    void setRadius(int r);
    // Physical width of the screen that shows the board (mm) and its width in
    // pixels: with the radius they give the board's lattice unit.
    void setScreenMetrics(double widthMm, int widthPx);
    void quitDeal();
    void writeStart();
    void onSocketError();
    void onReadyRead();
    void onResult(bool ok);

protected:
    void run() override;

private:
    void dataDeal();
    void handOff();
    void acceptRecord(QByteArray& packet);
    void beginRunRecord();
    // Fixes the board geometry of the current run when its first bytes arrive
    // and opens the run's record with it. At "start" the calibration window
    // may not have painted its board yet; by the time the drone sends its
    // first image it has. Every ordering task of the run and the record's
    // header then use the same values, so a replay computes the same points.
    void takeRunGeometry();
    void finishRunRecord();
    // report.json and report.html of the run that just ended, into its folder.
    void writeRunReport(const QString& runFolder);

    QTcpSocket* m_pSocket = nullptr;
    DataStreamAssembler m_assembler;  // holds the cache
    QList<FeatureData*> m_dataList;
    QMutex m_listMutex;
    std::atomic<int> m_nRadius{0};
    std::atomic<float> m_fScreenWidthMm{0.0f};
    std::atomic<float> m_fScreenWidthPx{0.0f};
    // The run's folder and its record of every received chunk (channel thread).
    QString m_strRunFolder;
    RunRecordWriter m_record;
    RunRecordFormat::Header m_runHeader;  // the board geometry of the current run
    std::atomic<bool> m_runGeometryTaken{false};
    std::atomic<int> m_runRadius{0};
    std::atomic<float> m_runScreenWidthMm{0.0f};
    std::atomic<float> m_runScreenWidthPx{0.0f};
};
