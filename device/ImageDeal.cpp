#include "device/ImageDeal.h"

#include "device/BCInstanceManager.h"
#include "device/DeviceAddress.h"
#include "device/wire/FeaturePacket.h"
#include "device/wire/FileChunkSender.h"
#include "device/wire/FileData.h"
#include "device/ImageCapture.h"
#include "device/UploadDelivery.h"
#include "Calibration/ImageData.h"
#include "device/wire/ResultData.h"
#include "device/record/RunFolders.h"
#include "Calibration/report/RunReportBuilder.h"
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
        connect(m_pSocket, &QTcpSocket::disconnected, this, [this] {
            qDebug() << "ImageDeal disconnected";
            // No record of this run can come any more.
            if (m_run) {
                m_run->connectionLost();
            }
        });
        connect(m_pSocket, &QAbstractSocket::stateChanged, this,
                [](QAbstractSocket::SocketState s) { qDebug() << s << "ImageDeal"; });
    }
    // A restart abandons the run of the earlier connection: it must neither
    // report into this one nor be waited for.
    abandonRun();
    m_pSocket->abort();
    m_assembler.reset();  // a new connection is a new stream
    m_pSocket->connectToHost(DeviceAddress::host(), kPort, QIODevice::ReadWrite);
    if (m_pSocket->waitForConnected(3000)) {
        qDebug() << "ImageDeal connected";
        QMetaObject::invokeMethod(BCInstanceManager::getInstance()->getImageCapture(),
                                  "startCapture", Qt::DirectConnection);
    }
    exec();
    abandonRun();
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
    // A fresh run; stale records of an earlier run must not be ordered into it.
    {
        QMutexLocker lock(&m_listMutex);
        qDeleteAll(m_dataList);
        m_dataList.clear();
    }
    beginRun();
    beginRunRecord();
}

void ImageDeal::beginRun() {
    abandonRun();
    const quint64 serial = ++m_runSerial;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                           QStringLiteral("/NimbraDesktop");
    // Called on a pool or watchdog thread; the outcome is handled here.
    m_run = CalibrationRun::create(folder, [this, serial](const RunOutcome& outcome) {
        QMetaObject::invokeMethod(
            this, [this, serial, outcome] { onRunFinished(serial, outcome); },
            Qt::QueuedConnection);
    });
    m_outcome = RunOutcome();
}

void ImageDeal::abandonRun() {
    if (m_run) {
        m_run->abort();
        m_run.reset();
        ++m_runSerial;
    }
}

void ImageDeal::onRunFinished(quint64 serial, const RunOutcome& outcome) {
    if (serial != m_runSerial || !m_run) {
        return;  // a run abandoned since
    }
    m_outcome = outcome;
    emit sendResult(outcome.passed());
}

void ImageDeal::onDownwardFinished() {
    if (m_run && !m_run->isFinished()) {
        qDebug() << "downward capture finished; the last image may take" << kLastImageBoundMs
                 << "ms";
        m_run->captureFinished(std::chrono::milliseconds(kLastImageBoundMs));
    }
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
    m_runGeometryTaken = true;
    if (m_run) {
        CMyCalculationPicThread::ScreenMetrics screen;
        screen.widthMm = m_fScreenWidthMm.load();
        screen.widthPx = m_fScreenWidthPx.load();
        m_run->setBoard(static_cast<float>(header.radiusPx), screen);
    }
    if (!m_strRunFolder.isEmpty()) {
        m_record.open(m_strRunFolder + QStringLiteral("/record.nrec"), header);
    }
}

void ImageDeal::finishRunRecord() {
    m_record.close();
    if (m_strRunFolder.isEmpty() || !m_run) {
        m_strRunFolder.clear();
        return;
    }
    const ImageData& store = m_run->store();
    // The maps in the folder are this run's only when it passed; a failed run
    // may have left an earlier run's there.
    QStringList files{store.m_strLogFile};
    if (m_outcome.passed()) {
        files << store.m_strFrontLeftDpuMap << store.m_strFrontRightDpuMap
              << store.m_strDownLeftDpuMap << store.m_strDownRightDpuMap;
    }
    for (const QString& path : files) {
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
    for (;;) {
        std::unique_ptr<FeatureData> record;
        {
            QMutexLocker lock(&m_listMutex);
            qDebug() << "m_dataList" << m_dataList.size();
            if (m_dataList.isEmpty()) {
                break;
            }
            record.reset(m_dataList.takeFirst());
        }
        if (!m_run) {
            qDebug() << "no run open for pair" << record->view << "image" << record->index
                     << "camera" << record->view1;
            continue;
        }
        // The run starts the image's ordering task on the pool; nothing here
        // waits for it.
        const CalibrationRun::Admission admission = m_run->addRecord(*record);
        if (!admission.accepted) {
            continue;
        }
        if (record->view1 == 2) {
            emit progress(admission.imageIndex);
        }
        if (admission.imageIndex == CalibrationRun::kLastImageIndex &&
            record->view1 == CalibrationRun::kLastCamera) {
            qDebug() << "index" << admission.imageIndex << pool->activeThreadCount();
        }
    }
}

void ImageDeal::onResult(bool ok) {
    qDebug() << "onResult" << (ok ? "true" : "false");
    RunOutcome outcome = m_outcome;
    if (ok) {
        QString why;
        bool sent = uploadCalibration(&why);
        if (sent) {
            // The OK page's button reboots the drone: success only once it
            // holds every map.
            const UploadDelivery::Result delivery = UploadDelivery::wait(
                m_pSocket, UploadDelivery::kDefaultTimeoutMs,
                [this](qint64 done, qint64 total) { emit uploadProgress(done, total); });
            if (delivery.outcome == UploadDelivery::Outcome::Stopped) {
                return;  // the run was abandoned (quitDeal): its pages have moved on
            }
            if (delivery.outcome != UploadDelivery::Outcome::Delivered) {
                sent = false;
                why = delivery.reason;
            }
        }
        if (!sent) {
            ok = false;
            outcome = RunOutcome::failure(
                RunOutcome::Reason::UploadFailed,
                QStringLiteral("the calibration could not be sent to the drone: %1").arg(why));
            qDebug().noquote() << "upload failed:" << why;
        }
    } else if (m_pSocket) {
        m_pSocket->write("wrong");
    }
    if (m_pSocket) {
        m_pSocket->flush();
    }
    const QString runFolder = m_strRunFolder;
    finishRunRecord();
    emit progress(52);
    emit result(ok);
    // After the upload and the result: the report costs the run nothing.
    writeRunReport(runFolder, outcome);
    if (!runFolder.isEmpty()) {
        emit runReported(runFolder);
    }
}

bool ImageDeal::uploadCalibration(QString* why) {
    if (!m_run || !m_pSocket || m_pSocket->state() != QAbstractSocket::ConnectedState) {
        *why = QStringLiteral("the data connection is closed");
        return false;
    }
    if (m_pSocket->write("right") != 5) {
        *why = QStringLiteral("\"right\" could not be written (%1)").arg(m_pSocket->errorString());
        return false;
    }
    const ImageData& store = m_run->store();
    const struct {
        const QString& path;
        VideoShow::VideoPosition position;
    } uploads[] = {{store.m_strFrontLeftDpuMap, VideoShow::ForwardLeft},
                   {store.m_strFrontRightDpuMap, VideoShow::ForwardRight},
                   {store.m_strDownLeftDpuMap, VideoShow::DownwardLeft},
                   {store.m_strDownRightDpuMap, VideoShow::DownwardRight}};
    for (const auto& upload : uploads) {
        if (!sendResult(upload.path, upload.position)) {
            *why = QStringLiteral("%1 could not be sent").arg(QFileInfo(upload.path).fileName());
            return false;
        }
    }
    return true;
}

void ImageDeal::writeRunReport(const QString& runFolder, const RunOutcome& outcome) {
    if (runFolder.isEmpty() || !m_run) {
        return;
    }
    RunReport::Board board;
    board.radiusPx = m_runHeader.radiusPx;
    board.screenWidthMm = m_runHeader.screenWidthMm;
    board.screenWidthPx = static_cast<int>(m_runHeader.screenWidthPx);
    RunReportWriter::write(runFolder,
                           RunReportBuilder::build(*m_run, outcome, board, QStringLiteral("live"),
                                                   runFolder + QStringLiteral("/record.nrec")));
}

bool ImageDeal::sendResult(QString path, VideoShow::VideoPosition pos) {
    const QFileInfo info(path);
    if (!info.exists()) {
        qDebug().noquote() << info.fileName() + "is not exist";
        return false;
    }
    if (!m_run || !m_pSocket) {
        qDebug() << "no calibration to send for camera" << pos;
        return false;
    }
    const qint64 size = info.size();
    ResultData data;
    m_run->store().packResult(&data, static_cast<int>(pos));
    qDebug() << "ResultData" << data.typeCode() << "file size" << size;
    qDebug().noquote() << QString(44, QLatin1Char('*'));
    const QByteArray bytes = data.toBytes();
    if (m_pSocket->write(bytes) != bytes.size()) {
        qDebug() << "ResultData" << data.typeCode() << "not sent:" << m_pSocket->errorString();
        return false;
    }

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
