// nimbra_gallery OUTDIR LANGUE: renders the main window's pages and the
// calibration window with its overlays into OUTDIR for visual review. Run it
// through scripts/gallery, which gives it a private X server and home.
#include "tools/gallery/GalleryScenes.h"
#include "app/NimbraDesktop.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: nimbra_gallery OUTDIR zh|en\n";
        return 2;
    }
    QDir out(args.at(1));
    if (!out.mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << "nimbra_gallery: cannot create " << args.at(1) << "\n";
        return 1;
    }
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->onLangueChanged(args.at(2));
    GalleryScenes scenes(out, args.at(2));
    scenes.renderPages();
    scenes.renderMenuAndAbout();
    scenes.renderCalibrationWindow();
    scenes.renderRunResults();
    NimbraDesktop::destroyInstance();
    return 0;
}
