// nimbra-autodrive: clicks through NimbraDesktop on an X display the way a
// person would, from screenshots, and saves a picture of every step.
#include "tools/autodrive/BoardScaleProbe.h"
#include "tools/autodrive/RunDriver.h"
#include "tools/autodrive/ScenarioRunner.h"
#include "tools/autodrive/WizardScreen.h"
#include "tools/autodrive/XDisplay.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>

#include <cstdio>

namespace {

void print(const QString& line) {
    std::fprintf(stdout, "%s\n", qPrintable(line));
    std::fflush(stdout);
}

RunDriver::LogSource fileLog(const QString& path) {
    return [path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nimbra-autodrive"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Drives a running NimbraDesktop on the current X display from screenshots and\n"
        "xdotool clicks, and saves a screenshot of every step.\n\n"
        "Steps (one per call, in the order of a run):\n"
        "  link      wait for the main window's link page (before a drone is there)\n"
        "  run       guide page countdown, start, both captures, result page;\n"
        "            with --expect ok: press OK and wait for the reboot (also with\n"
        "            --expect any when the run passed)\n"
        "  check-screen  on the NG or guide page: the screen size check, the card\n"
        "            outline set to a real card's width with the arrow keys for a\n"
        "            screen of --true-mm-per-px, saved\n"
        "  recalibrate   on the NG page: re-calibration, back to the guide page\n"
        "Exit status 0 when every step came within its time limit, 1 otherwise\n"
        "(the failed step and what the screen showed are printed)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("STEP"), QStringLiteral("link or run"));
    QCommandLineOption shots(QStringLiteral("shots"), QStringLiteral("Screenshot folder."),
                             QStringLiteral("DIR"));
    QCommandLineOption appLog(QStringLiteral("app-log"),
                              QStringLiteral("NimbraDesktop's debug.log."), QStringLiteral("FILE"));
    QCommandLineOption simLog(QStringLiteral("sim-log"),
                              QStringLiteral("The drone simulator's event log."),
                              QStringLiteral("FILE"));
    QCommandLineOption expect(QStringLiteral("expect"),
                              QStringLiteral("Expected result page: ok (default), ng or any."),
                              QStringLiteral("RESULT"), QStringLiteral("ok"));
    QCommandLineOption trueMmPerPx(
        QStringLiteral("true-mm-per-px"),
        QStringLiteral("check-screen: the screen's true width of one pixel in mm."),
        QStringLiteral("MM"));
    QCommandLineOption boardScale(
        QStringLiteral("board-scale"),
        QStringLiteral("Print the drone simulator's board options for what the calibration\n"
                       "window draws on this display, and exit."));
    QCommandLineOption inspect(QStringLiteral("inspect"),
                               QStringLiteral("Print which page a screenshot shows, and exit."),
                               QStringLiteral("PNG"));
    parser.addOptions({shots, appLog, simLog, expect, trueMmPerPx, boardScale, inspect});
    parser.process(app);

    if (parser.isSet(boardScale)) {
        const BoardScaleProbe::Scale scale = BoardScaleProbe::measure();
        if (scale.radiusPx <= 0 || scale.mmPerPx <= 0.0) {
            std::fprintf(stderr, "nimbra-autodrive: cannot measure the board on this display\n");
            return 1;
        }
        print(QStringLiteral("--board-radius-px %1 --screen-mm-per-px %2")
                  .arg(scale.radiusPx)
                  .arg(scale.mmPerPx, 0, 'g', 9));
        return 0;
    }
    if (parser.isSet(inspect)) {
        const WizardScreen screen{QImage(parser.value(inspect))};
        const QRect b = screen.button();
        print(QStringLiteral("%1%2").arg(WizardScreen::name(screen.page()),
                                         b.isNull() ? QString()
                                                    : QStringLiteral(", button %1x%2 at (%3, %4)")
                                                          .arg(b.width())
                                                          .arg(b.height())
                                                          .arg(b.x())
                                                          .arg(b.y())));
        return 0;
    }

    const QStringList steps = parser.positionalArguments();
    const QStringList known = {QStringLiteral("link"), QStringLiteral("run"),
                               QStringLiteral("check-screen"), QStringLiteral("recalibrate")};
    if (steps.size() != 1 || !known.contains(steps[0])) {
        std::fprintf(stderr,
                     "nimbra-autodrive: give one STEP, link, run, check-screen or recalibrate "
                     "(see --help)\n");
        return 2;
    }
    const double mmPerPx = parser.value(trueMmPerPx).toDouble();
    if (steps[0] == QLatin1String("check-screen") && !(mmPerPx > 0.0)) {
        std::fprintf(stderr, "nimbra-autodrive: check-screen needs --true-mm-per-px\n");
        return 2;
    }
    XDisplay display;
    RunDriver driver(display, parser.value(shots), fileLog(parser.value(appLog)),
                     fileLog(parser.value(simLog)));
    ScenarioRunner scenario(driver);
    bool ok = false;
    if (steps[0] == QLatin1String("link")) {
        ok = scenario.linkPage();
    } else if (steps[0] == QLatin1String("check-screen")) {
        driver.settle(0);
        ok = scenario.checkScreenSize(mmPerPx);
    } else if (steps[0] == QLatin1String("recalibrate")) {
        driver.settle(0);
        qint64 lockedMs = 0;
        ok = scenario.recalibrate(&lockedMs);
    } else if (parser.value(expect) == QLatin1String("any")) {
        ok = scenario.startFromGuide() && scenario.captureBothPairs() &&
             scenario.awaitAnyResult() &&
             (driver.page() != WizardScreen::Page::Ok || scenario.confirmOkAndReboot());
    } else {
        const bool expectOk = parser.value(expect) != QLatin1String("ng");
        ok = scenario.startFromGuide() && scenario.captureBothPairs() &&
             scenario.awaitResult(expectOk) && (!expectOk || scenario.confirmOkAndReboot());
    }
    for (const QString& line : driver.timeline()) {
        print(QStringLiteral("autodrive: ") + line);
    }
    if (!ok) {
        std::fprintf(stderr, "nimbra-autodrive: %s\n", qPrintable(driver.error()));
    }
    return ok ? 0 : 1;
}
