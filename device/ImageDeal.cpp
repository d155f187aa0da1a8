#include "device/ImageDeal.h"

#include "device/BCInstanceManager.h"
#include "Calibration/CalibrationRunTracker.h"
#include "device/DeviceAddress.h"
#include "device/wire/FeaturePacket.h"
#include "device/wire/FileChunkSender.h"
#include "device/wire/FileData.h"
#include "device/ImageCapture.h"
#include "Calibration/ImageData.h"
#include "device/wire/ResultData.h"
#include "device/record/RunFolders.h"
#include "Calibration/report/RunReportWriter.h"
#include "Calibration/ScreenScale.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThreadPool>

ImageDeal::ImageDeal(QObject* parent) : QThread(parent) {
    moveToThread(this);
    QThreadPool::globalInstance()->setMaxThreadCount(kMaxPoolThreads);
    connect(this, qOverload<bool>(&ImageDeal::sendResult), this, &ImageDeal::onResult);
}

ImageDeal::~ImageDeal() {
    quit();
    wait();
    qDeleteAll(m_dataList);
}

void ImageDeal::startDeal() {
    qDebug() << "startDeal";
    // The board's lattice unit needs the screen's physical width; only the GUI
    // thread may ask the screen, and it is the one that starts a run.
    if (m_fScreenWidthPx.load() <= 0.0f && qobject_cast<QGuiApplication*>(qApp) &&
        QThread::currentThread() == qApp->thread()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const ScreenScale::Screen s = ScreenScale::describe(*screen);
            setScreenMetrics(ScreenScale::widthMm(s), s.sizePx.width());
        }
    }
    if (isRunning()) {
        quit();
        wait();
    }
    start(QThread::InheritPriority);
}

void ImageDeal::quitDeal() {
    if (isRunning()) {
        quit();
        wait();
    }
}

void ImageDeal::setRadius(int r) {
    m_nRadius = r;
}

void ImageDeal::setScreenMetrics(double widthMm, int widthPx) {
    m_fScreenWidthMm = static_cast<float>(widthMm);
    m_fScreenWidthPx = static_cast<float>(widthPx);
}

void ImageDeal::run() {
    qDebug() << "run--ImageDeal" << QThread::currentThreadId();
    if (!m_pSocket) {
        m_pSocket = new QTcpSocket();
        connect(m_pSocket, &QTcpSocket::readyRead, this, &ImageDeal::onReadyRead);
        connect(m_pSocket, &QAbstractSocket::errorOccurred, this, &ImageDeal::onSocketError);
        connect(m_pSocket, &QTcpSocket::disconnected, this, [] {
            qDebug() << "ImageDeal disconnected";
            // No record of this run can come any more.
            CalibrationRunTracker::getInstance()->streamEnded();
        });
        connect(m_pSocket, &QAbstractSocket::stateChanged, this,
                [](QAbstractSocket::SocketState s) { qDebug() << s << "ImageDeal"; });
    }
    m_pSocket->abort();
    m_pSocket->connectToHost(DeviceAddress::host(), kPort, QIODevice::ReadWrite);
    if (m_pSocket->waitForConnected(3000)) {
        qDebug() << "ImageDeal connected";
        QMetaObject::invokeMethod(BCInstanceManager::getInstance()->getImageCapture(),
                                  "startCapture", Qt::DirectConnection);
    }
    exec();
    if (m_pSocket->state() == QAbstractSocket::ConnectedState) {
        m_pSocket->write("quit");
        m_pSocket->flush();
    }
    m_pSocket->disconnectFromHost();
    if (m_pSocket->state() != QAbstractSocket::UnconnectedState) {
        m_pSocket->waitForDisconnected(1000);
    }
}

void ImageDeal::writeStart() {
    qDebug() << "writeStart" << QThread::currentThreadId();
    const qint64 n = m_pSocket ? m_pSocket->write("start") : -1;
    qDebug() << "write start bytes" << n;
    // A fresh store and result for the new run; stale records of an earlier
    // run must not be ordered into it.
    {
        QMutexLocker lock(&m_listMutex);
        qDeleteAll(m_dataList);
        m_dataList.clear();
    }
    CalibrationRunTracker::getInstance()->beginRun();
    beginRunRecord();
}

void ImageDeal::beginRunRecord() {
    m_record.close();
    const QString runs =
        RunFolders::root(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    RunFolders::prune(runs, RunFolders::kKept - 1);
    m_strRunFolder = RunFolders::create(runs, QDateTime::currentDateTime());
    m_runGeometryTaken = false;
}

void ImageDeal::takeRunGeometry() {
    RunRecordFormat::Header header;
    header.radiusPx = m_nRadius.load();
    header.screenWidthMm = m_fScreenWidthMm.load();
    header.screenWidthPx = static_cast<std::uint32_t>(m_fScreenWidthPx.load());
    m_runHeader = header;
    m_runRadius = header.radiusPx;
    m_runScreenWidthMm = m_fScreenWidthMm.load();
    m_runScreenWidthPx = m_fScreenWidthPx.load();
    m_runGeometryTaken = true;
    if (!m_strRunFolder.isEmpty()) {
        m_record.open(m_strRunFolder + QStringLiteral("/record.nrec"), header);
    }
}

void ImageDeal::finishRunRecord() {
    m_record.close();
    if (m_strRunFolder.isEmpty()) {
        return;
    }
    ImageData* store = ImageData::getInstance();
    for (const QString& path :
         {store->m_strLogFile, store->m_strFrontLeftDpuMap, store->m_strFrontRightDpuMap,
          store->m_strDownLeftDpuMap, store->m_strDownRightDpuMap}) {
        if (!QFile::exists(path)) {
            continue;
        }
        const QString copy = m_strRunFolder + QLatin1Char('/') + QFileInfo(path).fileName();
        QFile::remove(copy);
        if (!QFile::copy(path, copy)) {
            qDebug().noquote() << QStringLiteral("run record: cannot copy %1").arg(path);
        }
    }
    m_strRunFolder.clear();
}

void ImageDeal::onSocketError() {
    if (m_pSocket) {
        qDebug() << m_pSocket->errorString();
    }
}

void ImageDeal::onReadyRead() {
    const QByteArray chunk = m_pSocket->readAll();
    if (!m_runGeometryTaken) {
        takeRunGeometry();
    }
    m_record.append(RunRecordFormat::kDataChannel, chunk);
    m_assembler.receive(chunk, [this](QByteArray& packet) { acceptRecord(packet); });
}

void ImageDeal::acceptRecord(QByteArray& packet) {
    std::unique_ptr<FeatureData> record = FeaturePacket::parse(packet);
    if (!record) {
        return;
    }
    {
        QMutexLocker lock(&m_listMutex);
        m_dataList.append(record.release());
    }
    dataDeal();
}

void ImageDeal::dataDeal() {
    QThreadPool* pool = QThreadPool::globalInstance();
    qDebug() << "activeThreadCount" << pool->activeThreadCount();
    qDebug() << "maxThreadCount" << pool->maxThreadCount();
    QThreadPool::globalInstance()->start([this] { handOff(); });
}

void ImageDeal::handOff() {
    QThreadPool* pool = QThreadPool::globalInstance();
    CalibrationRunTracker* tracker = CalibrationRunTracker::getInstance();
    int n = pool->activeThreadCount();
    bool lastWasFinal = false;
    // Every queued record is handed off: a full pool queues the ordering task
    // instead of dropping the record, so no packet waits for a later one.
    for (;;) {
        FeatureData* record = nullptr;
        CalibrationRunTracker::RunId runId = 0;
        {
            QMutexLocker lock(&m_listMutex);
            qDebug() << "m_dataList" << m_dataList.size();
            if (m_dataList.isEmpty()) {
                break;
            }
            record = m_dataList.takeFirst();
            n = record->view == 5 ? static_cast<int>(record->index) + 26
                                  : static_cast<int>(record->index);
            runId = tracker->taskStarted(n, record->view1);
        }
        lastWasFinal = n == 51 && record->view1 == 2;
        if (runId == 0) {
            qDebug() << "no run open for image" << n << "camera" << record->view1;
            delete record;
            continue;
        }

        // The geometry fixed for the run (the record's header); the live
        // values only when records come outside a run's bytes (never live).
        const bool fixed = m_runGeometryTaken.load();
        auto* task = new CMyCalculationPicThread(0, QString());
        task->setRadius(static_cast<float>(fixed ? m_runRadius.load() : m_nRadius.load()));
        task->setRun(tracker, runId);
        const cv::Mat homography(3, 3, CV_64F, record->mat.data());
        const std::vector<size_t> marks{static_cast<size_t>(record->size[0]),
                                        static_cast<size_t>(record->size[1]),
                                        static_cast<size_t>(record->size[2])};
        CMyCalculationPicThread::ScreenMetrics screen;
        screen.widthMm = fixed ? m_runScreenWidthMm.load() : m_fScreenWidthMm.load();
        screen.widthPx = fixed ? m_runScreenWidthPx.load() : m_fScreenWidthPx.load();
        task->startTask(static_cast<unsigned long>(n), record->view1, record->points, marks,
                        homography.clone(), screen);
        pool->start(task);
        if (record->view1 == 2) {
            emit progress(n);
        }
        delete record;
    }

    if (lastWasFinal) {
        qDebug() << "index" << 51 << pool->activeThreadCount();
        tracker->streamEnded();
        ImageData* store = ImageData::getInstance();
        while (store->m_nCalibResult.load() == ImageData::kResultPending) {
            QThread::msleep(1000);
        }
        emit sendResult(store->m_nCalibResult.load() != ImageData::kResultFailed);
    }
}

void ImageDeal::onResult(bool ok) {
    qDebug() << "onResult" << (ok ? "true" : "false");
    if (ok) {
        m_pSocket->write("right");
        ImageData* store = ImageData::getInstance();
        sendResult(store->m_strFrontLeftDpuMap, VideoShow::ForwardLeft);
        sendResult(store->m_strFrontRightDpuMap, VideoShow::ForwardRight);
        sendResult(store->m_strDownLeftDpuMap, VideoShow::DownwardLeft);
        sendResult(store->m_strDownRightDpuMap, VideoShow::DownwardRight);
        store->InitData();
    } else {
        m_pSocket->write("wrong");
    }
    m_pSocket->flush();
    const QString runFolder = m_strRunFolder;
    finishRunRecord();
    emit progress(52);
    emit result(ok);
    // After the upload and the result: the report costs the run nothing.
    writeRunReport(runFolder);
    if (!runFolder.isEmpty()) {
        emit runReported(runFolder);
    }
}

void ImageDeal::writeRunReport(const QString& runFolder) {
    if (runFolder.isEmpty()) {
        return;
    }
    RunReport::Board board;
    board.radiusPx = m_runHeader.radiusPx;
    board.screenWidthMm = m_runHeader.screenWidthMm;
    board.screenWidthPx = static_cast<int>(m_runHeader.screenWidthPx);
    RunReportWriter::writeForCurrentRun(runFolder, QStringLiteral("live"),
                                        runFolder + QStringLiteral("/record.nrec"), board);
}

bool ImageDeal::sendResult(QString path, VideoShow::VideoPosition pos) {
    const QFileInfo info(path);
    if (!info.exists()) {
        qDebug().noquote() << info.fileName() + "is not exist";
        return false;
    }
    const qint64 size = info.size();
    ResultData data;
    ImageData::getInstance()->packResult(&data, static_cast<int>(pos));
    qDebug() << "ResultData" << data.typeCode() << "file size" << size;
    qDebug().noquote() << QString(44, QLatin1Char('*'));
    m_pSocket->write(data.toBytes());

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << path << file.errorString();
        return false;
    }
    const FileChunkSender::Outcome outcome = FileChunkSender::send(
        file, size,
        [this](const QByteArray& packet) { return m_pSocket->write(packet) == packet.size(); },
        info.fileName());
    return outcome.status == FileChunkSender::Status::Complete;
}
