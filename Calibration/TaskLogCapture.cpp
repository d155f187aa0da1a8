#include "TaskLogCapture.h"

#include <mutex>

namespace {

thread_local TaskLogCapture* t_capture = nullptr;
QtMessageHandler g_previous = nullptr;
std::once_flag g_installed;

}  // namespace

struct TaskLogCaptureHook {
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (TaskLogCapture* capture = t_capture) {
            if (capture->m_lines.size() < TaskLogCapture::kMaxLines) {
                capture->m_lines << message;
            }
        }
        if (g_previous) {
            g_previous(type, context, message);
        }
    }
};

TaskLogCapture::TaskLogCapture() : m_outer(t_capture) {
    std::call_once(g_installed,
                   [] { g_previous = qInstallMessageHandler(&TaskLogCaptureHook::handle); });
    t_capture = this;
}

TaskLogCapture::~TaskLogCapture() {
    t_capture = m_outer;
}

QString TaskLogCapture::stageLine() const {
    for (auto it = m_lines.crbegin(); it != m_lines.crend(); ++it) {
        if (it->startsWith(QStringLiteral("-------"))) {
            return *it;
        }
    }
    return m_lines.isEmpty() ? QString() : m_lines.last();
}
