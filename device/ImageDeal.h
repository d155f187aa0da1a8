#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

#include "Calibration/CalibrationRun.h"
#include "Calibration/RunOutcome.h"
#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeatureData.h"
#include "device/record/RunRecordWriter.h"
#include "video/VideoShow.h"

class QTcpSocket;

// Client of the drone's data channel (TCP 9999). Once connected it starts the
// capture control channel; it receives one feature packet per captured image
// and camera and feeds each to the run's CalibrationRun (ordering and
// calibration on the global thread pool, at most 5 threads), reports
// progress, and when the run reports its outcome uploads the four results and
// depth-unit maps ("right") or tells the drone that the calibration failed
// ("wrong").
//
// A run always ends with progress(52) and result: also when the data
// connection drops before the last image, or when the last image has not
// arrived kLastImageBoundMs after the capture channel reported the downward
// pair finished (onDownwardFinished), or when the upload fails.
//
// Moves itself to its own thread: the socket, parsing, the run's feeding,
// upload and onResult run there. startDeal/quitDeal/setRadius/
// setScreenMetrics are called from the GUI thread. Nothing here waits for a
// calculation: restarting or quitting abandons the run, which then finishes
// its current step on the pool and never reports.
class ImageDeal : public QThread {
    Q_OBJECT

public:
    static constexpr quint16 kPort = 9999;
    static constexpr int kMaxPoolThreads = 5;
    // How long the last image may take to arrive once the drone reported the
    // downward capture finished; ordering it takes well under a second.
    static constexpr int kLastImageBoundMs = 10000;

    explicit ImageDeal(QObject* parent = nullptr);
    ~ImageDeal() override;

    // Uploads one camera: its ResultData (74 bytes, from the finished run's
    // store) and then the file at path in chunk packets numbered from 1.
    // False, with a log line, when there is no finished run, the file does
    // not exist or cannot be opened (nothing, resp. only the result, was
    // sent) or a write to the socket failed.
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
    // While the upload travels to the drone: bytes it has acknowledged so far.
    void uploadProgress(qint64 delivered, qint64 total);
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
    // The capture channel reported the downward pair finished.
    void onDownwardFinished();

protected:
    void run() override;

private:
    void dataDeal();
    void acceptRecord(QByteArray& packet);
    // A fresh CalibrationRun for the run that "start" begins; an earlier one
    // still calculating is abandoned.
    void beginRun();
    void abandonRun();
    void onRunFinished(quint64 serial, const RunOutcome& outcome);
    // The one place where a calibration leaves the computer: "right", then
    // for each camera (forward left, forward right, downward left, downward
    // right) its result packet and depth-unit map. False, with why, when the
    // connection is down or a part could not be handed to the socket; "right"
    // and the cameras before may have gone out by then.
    bool uploadCalibration(QString* why);
    void beginRunRecord();
    // Fixes the board geometry of the current run when its first bytes arrive
    // and opens the run's record with it. At "start" the calibration window
    // may not have painted its board yet; by the time the drone sends its
    // first image it has. Every ordering task of the run and the record's
    // header then use the same values, so a replay computes the same points.
    void takeRunGeometry();
    void finishRunRecord();
    // report.json and report.html of the run that just ended, into its folder.
    void writeRunReport(const QString& runFolder, const RunOutcome& outcome);

    QTcpSocket* m_pSocket = nullptr;
    DataStreamAssembler m_assembler;  // holds the cache
    QList<FeatureData*> m_dataList;
    QMutex m_listMutex;
    // The current run (channel thread only); the serial tells its outcome
    // from that of a run abandoned since.
    std::shared_ptr<CalibrationRun> m_run;
    quint64 m_runSerial = 0;
    RunOutcome m_outcome;
    std::atomic<int> m_nRadius{0};
    std::atomic<float> m_fScreenWidthMm{0.0f};
    std::atomic<float> m_fScreenWidthPx{0.0f};
    // The run's folder and its record of every received chunk (channel thread).
    QString m_strRunFolder;
    RunRecordWriter m_record;
    RunRecordFormat::Header m_runHeader;  // the board geometry of the current run
    bool m_runGeometryTaken = false;
};
