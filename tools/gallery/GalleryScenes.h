#pragma once

#include <QDir>
#include <QImage>
#include <QString>

// The scenes of the review gallery: each renders a part of the user interface
// into a PNG file under the output directory. File names carry the language.
class GalleryScenes {
public:
    GalleryScenes(const QDir& outDir, const QString& langue);

    // Main window with each of its five pages current.
    void renderPages();
    // The settings menu open over the main window, and the About dialog.
    void renderMenuAndAbout();
    // Calibration window with each overlay shown in turn, and mid-capture.
    void renderCalibrationWindow();
    // The NG page with each reason a run's report can give, and the OK page
    // with its quality line.
    void renderRunResults();

    // A synthetic camera frame (width x height) with a staggered dot pattern.
    static QImage syntheticFrame(int width, int height);

private:
    void save(QWidget* widget, const QString& name);

    QDir m_outDir;
    QString m_langue;
};
