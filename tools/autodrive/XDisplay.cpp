#include "tools/autodrive/XDisplay.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QElapsedTimer>

XDisplay::XDisplay(QString display) : m_display(std::move(display)) {
    if (m_display.isEmpty()) {
        m_display = QProcessEnvironment::systemEnvironment().value(QStringLiteral("DISPLAY"));
    }
}

bool XDisplay::run(const QString& program, const QStringList& args, QByteArray* out) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForStarted(5000)) {
        m_error = QStringLiteral("%1 did not start: %2").arg(program, process.errorString());
        return false;
    }
    if (out) {
        out->clear();
    }
    // Read while waiting: a whole-screen picture is larger than a pipe buffer.
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < 10000) {
        process.waitForReadyRead(200);
        const QByteArray chunk = process.readAllStandardOutput();
        if (out) {
            out->append(chunk);
        }
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(1000);
        m_error = QStringLiteral("%1 took more than 10 s").arg(program);
        return false;
    }
    if (out) {
        out->append(process.readAllStandardOutput());
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2")
                      .arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}

QImage XDisplay::grab() {
    QByteArray ppm;
    // PPM is uncompressed: the cheapest format for a picture read many times a second.
    if (!run(QStringLiteral("import"),
             {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("ppm:-")}, &ppm)) {
        return QImage();
    }
    QImage image;
    if (!image.loadFromData(ppm, "PPM")) {
        m_error = QStringLiteral("import gave no readable picture (%1 bytes)").arg(ppm.size());
        return QImage();
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

bool XDisplay::click(QPoint at) {
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                QStringLiteral("click"), QStringLiteral("1")},
               nullptr);
}

bool XDisplay::key(const QString& keysym, int times) {
    if (times <= 0) {
        return true;
    }
    return run(QStringLiteral("xdotool"),
               {QStringLiteral("key"), QStringLiteral("--repeat"), QString::number(times),
                QStringLiteral("--delay"), QStringLiteral("15"), keysym},
               nullptr);
}
