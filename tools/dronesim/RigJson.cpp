#include "tools/dronesim/RigJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

template <int N>
QJsonArray toArray(const cv::Vec<double, N>& v) {
    QJsonArray out;
    for (int i = 0; i < N; ++i) {
        out.append(v[i]);
    }
    return out;
}

QJsonObject cameraToJson(const CameraModel& c) {
    return QJsonObject{{"width", c.width},
                       {"height", c.height},
                       {"fx", c.fx},
                       {"fy", c.fy},
                       {"cx", c.cx},
                       {"cy", c.cy},
                       {"distortion", toArray(c.distortion)}};
}

QJsonObject pairToJson(const CameraPair& p) {
    QJsonArray poses;
    for (const DronePose& pose : p.poses) {
        poses.append(QJsonObject{{"rvec", toArray(pose.rvec)}, {"tvec", toArray(pose.tvec)}});
    }
    return QJsonObject{{"left", cameraToJson(p.left)},
                       {"right", cameraToJson(p.right)},
                       {"rotation", toArray(p.rvec)},
                       {"translation", toArray(p.translation)},
                       {"poses", poses}};
}

// Reads optional keys of one object into existing values; the first error wins.
class Reader {
public:
    QString error;

    bool ok() const { return error.isEmpty(); }

    void number(const QJsonObject& o, const QString& key, const QString& path, double* out) {
        if (!ok() || !o.contains(key)) {
            return;
        }
        if (!o.value(key).isDouble()) {
            error = path + "." + key + ": expected a number";
            return;
        }
        *out = o.value(key).toDouble();
    }

    void integer(const QJsonObject& o, const QString& key, const QString& path, int* out) {
        double value = *out;
        number(o, key, path, &value);
        if (ok() && o.contains(key)) {
            if (value != static_cast<int>(value)) {
                error = path + "." + key + ": expected a whole number";
                return;
            }
            *out = static_cast<int>(value);
        }
    }

    template <int N>
    void vector(const QJsonObject& o, const QString& key, const QString& path,
                cv::Vec<double, N>* out) {
        if (!ok() || !o.contains(key)) {
            return;
        }
        const QJsonArray a = o.value(key).toArray();
        if (!o.value(key).isArray() || a.size() != N) {
            error = path + "." + key + QStringLiteral(": expected an array of %1 numbers").arg(N);
            return;
        }
        for (int i = 0; i < N; ++i) {
            if (!a[i].isDouble()) {
                error =
                    path + "." + key + QStringLiteral(": expected an array of %1 numbers").arg(N);
                return;
            }
            (*out)[i] = a[i].toDouble();
        }
    }

    QJsonObject object(const QJsonObject& o, const QString& key, const QString& path,
                       bool* present) {
        *present = false;
        if (!ok() || !o.contains(key)) {
            return {};
        }
        if (!o.value(key).isObject()) {
            error = (path.isEmpty() ? key : path + "." + key) + ": expected an object";
            return {};
        }
        *present = true;
        return o.value(key).toObject();
    }

    void camera(const QJsonObject& o, const QString& path, CameraModel* c) {
        integer(o, "width", path, &c->width);
        integer(o, "height", path, &c->height);
        number(o, "fx", path, &c->fx);
        number(o, "fy", path, &c->fy);
        number(o, "cx", path, &c->cx);
        number(o, "cy", path, &c->cy);
        vector(o, "distortion", path, &c->distortion);
    }

    void pair(const QJsonObject& o, const QString& path, CameraPair* p) {
        bool present = false;
        const QJsonObject left = object(o, "left", path, &present);
        if (present) {
            camera(left, path + ".left", &p->left);
        }
        const QJsonObject right = object(o, "right", path, &present);
        if (present) {
            camera(right, path + ".right", &p->right);
        }
        vector(o, "rotation", path, &p->rvec);
        vector(o, "translation", path, &p->translation);
        if (!ok() || !o.contains("poses")) {
            return;
        }
        const QJsonArray poses = o.value("poses").toArray();
        if (!o.value("poses").isArray() || poses.size() != Rig::kImagesPerCamera) {
            error =
                path +
                QStringLiteral(".poses: expected an array of %1 poses").arg(Rig::kImagesPerCamera);
            return;
        }
        std::vector<DronePose> parsed(static_cast<size_t>(poses.size()));
        for (int i = 0; i < poses.size() && ok(); ++i) {
            const QString posePath = path + QStringLiteral(".poses[%1]").arg(i);
            if (!poses[i].isObject()) {
                error = posePath + ": expected an object";
                return;
            }
            const QJsonObject pose = poses[i].toObject();
            if (!pose.contains("rvec") || !pose.contains("tvec")) {
                error = posePath + ": needs both rvec and tvec";
                return;
            }
            vector(pose, "rvec", posePath, &parsed[static_cast<size_t>(i)].rvec);
            vector(pose, "tvec", posePath, &parsed[static_cast<size_t>(i)].tvec);
        }
        if (ok()) {
            p->poses = parsed;
        }
    }
};

}  // namespace

namespace RigJson {

QByteArray write(const Rig& rig) {
    const QJsonObject root{{"forward", pairToJson(rig.forward)},
                           {"downward", pairToJson(rig.downward)}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool read(const QByteArray& json, Rig* rig, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        *error = QStringLiteral("not valid JSON (%1 at offset %2)")
                     .arg(parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("the rig must be a JSON object");
        return false;
    }
    Rig result = Rig::defaults();
    Reader reader;
    const QJsonObject root = doc.object();
    for (const QString& key : root.keys()) {
        if (key != "forward" && key != "downward") {
            *error = key + ": unknown key (expected \"forward\" or \"downward\")";
            return false;
        }
    }
    bool present = false;
    const QJsonObject forward = reader.object(root, "forward", QString(), &present);
    if (present) {
        reader.pair(forward, "forward", &result.forward);
    }
    const QJsonObject downward = reader.object(root, "downward", QString(), &present);
    if (present) {
        reader.pair(downward, "downward", &result.downward);
    }
    if (!reader.ok()) {
        *error = reader.error;
        return false;
    }
    const std::string problem = result.validate();
    if (!problem.empty()) {
        *error = QString::fromStdString(problem);
        return false;
    }
    *rig = result;
    return true;
}

}  // namespace RigJson
