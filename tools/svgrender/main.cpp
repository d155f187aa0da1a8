// Renders one SVG to a PNG at a given scale or pixel size. The build uses it to
// turn the artwork sources under resources/image into the compiled-in pictures,
// at twice their nominal size so that they stay crisp on high-DPI screens, and
// the application icon into the PNG sizes of the desktop's icon theme.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg OUTPUT.png SCALE|WIDTHxHEIGHT\n", argv[0]);
        return 2;
    }
    // Text in the artwork needs a font database, so a GUI application it is;
    // the offscreen platform keeps the build free of any display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "svgrender: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString sizeArg = QString::fromLatin1(argv[3]);
    QSize size;
    const QStringList wh = sizeArg.split(QLatin1Char('x'));
    if (wh.size() == 2) {
        bool okW = false;
        bool okH = false;
        size = QSize(wh[0].toInt(&okW), wh[1].toInt(&okH));
        if (!okW || !okH || size.width() < 1 || size.height() < 1 || size.width() > 4096 ||
            size.height() > 4096) {
            std::fprintf(stderr, "svgrender: bad size %s\n", argv[3]);
            return 2;
        }
    } else {
        bool ok = false;
        const double scale = sizeArg.toDouble(&ok);
        if (!ok || scale <= 0.0 || scale > 16.0) {
            std::fprintf(stderr, "svgrender: bad scale %s\n", argv[3]);
            return 2;
        }
        size = renderer.defaultSize() * scale;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "svgrender: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
