// Renders one tutorial clip of the program and encodes it as MP4:
//   clipmaker KIND OUTPUT.mp4 [--size WxH] [--rate NUM/DEN] [--frames N]
// KIND is ng, ok_forward, ok_downward or finished. The default is 500x300 at
// 25 fps for the kind's loop length; --rate and --frames make odd clips for
// the player's tests (a rate below 1 fps, a handful of frames).
#include "tools/clipmaker/ClipEncoder.h"
#include "tools/clipmaker/ClipScene.h"

#include <QGuiApplication>
#include <QStringList>

#include <cmath>
#include <cstdio>

namespace {

bool parsePair(const QString& text, QChar sep, int* a, int* b) {
    const QStringList parts = text.split(sep);
    bool okA = false, okB = false;
    if (parts.size() == 2) {
        *a = parts[0].toInt(&okA);
        *b = parts[1].toInt(&okB);
    }
    return okA && okB && *a > 0 && *b > 0 && *a <= 4096 && *b <= 4096;
}

int usage(const char* self) {
    std::fprintf(stderr,
                 "usage: %s ng|ok_forward|ok_downward|finished OUTPUT.mp4 [--size WxH] "
                 "[--rate NUM/DEN] [--frames N]\n",
                 self);
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Painting text-free artwork needs no display: offscreen keeps the build
    // headless.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        return usage(argv[0]);
    }
    ClipScene::Kind kind;
    if (!ClipScene::kindFromName(args[1], &kind)) {
        return usage(argv[0]);
    }
    int width = 500, height = 300, rateNum = 25, rateDen = 1, frames = -1;
    for (int i = 3; i + 1 < args.size(); i += 2) {
        bool ok = true;
        if (args[i] == QLatin1String("--size")) {
            ok = parsePair(args[i + 1], QLatin1Char('x'), &width, &height) && width % 2 == 0 &&
                 height % 2 == 0;
        } else if (args[i] == QLatin1String("--rate")) {
            ok = parsePair(args[i + 1], QLatin1Char('/'), &rateNum, &rateDen);
        } else if (args[i] == QLatin1String("--frames")) {
            frames = args[i + 1].toInt(&ok);
            ok = ok && frames > 0 && frames <= 10000;
        } else {
            ok = false;
        }
        if (!ok) {
            return usage(argv[0]);
        }
    }
    if (args.size() % 2 == 0) {
        return usage(argv[0]);
    }

    const ClipScene scene(kind, width, height);
    if (frames < 0) {
        frames = static_cast<int>(std::lround(scene.seconds() * rateNum / rateDen));
        frames = std::max(frames, 1);
    }
    ClipEncoder encoder;
    if (!encoder.open(args[2], width, height, rateNum, rateDen)) {
        return 1;
    }
    for (int i = 0; i < frames; ++i) {
        if (!encoder.addFrame(scene.frame(static_cast<double>(i) / frames))) {
            return 1;
        }
    }
    if (!encoder.finish()) {
        return 1;
    }
    std::printf("clipmaker: %s, %d frames, %s\n", qPrintable(args[2]), frames,
                qPrintable(encoder.encoderName()));
    return 0;
}
