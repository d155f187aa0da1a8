#pragma once

#include "Calibration/ImageData.h"
#include "tests/support/StereoRigSimulator.h"

#include <QDir>
#include <QStandardPaths>

#include <vector>

// Loads simulated views into a store as the ordering tasks would: slot v of
// the forward pair is image v, of the downward pair image 26 + v; left camera
// 1, right camera 2. Empty lists are not stored (a task that finds nothing
// stores nothing).
inline void storeViews(ImageData& store, const std::vector<SimulatedView>& views, bool forward) {
    for (size_t v = 0; v < views.size(); ++v) {
        const int index = static_cast<int>(v) + (forward ? 0 : ImageData::kSlotsPerPair);
        if (!views[v].leftImage.empty()) {
            store.storeSorted(index, 1, views[v].leftImage, views[v].leftBoard);
        }
        if (!views[v].rightImage.empty()) {
            store.storeSorted(index, 2, views[v].rightImage, views[v].rightBoard);
        }
    }
}

// The folders the application creates at start-up, under the test's own home.
inline QString prepareDocuments() {
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir(docs).mkpath("NimbraDesktop/log");
    return docs + "/NimbraDesktop";
}
