#include "Calibration/TaskLogCapture.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace {

thread_local TaskLogCapture* t_capture = nullptr;
// Qt hands back its default handler when none was installed, so this is
// never null once set.
std::atomic<QtMessageHandler> g_previous{nullptr};
std::once_flag g_installed;

}  // namespace

struct TaskLogCaptureHook {
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (TaskLogCapture* capture = t_capture) {
            if (capture->m_lines.size() >= TaskLogCapture::kMaxLines) {
                capture->m_lines.removeFirst();
            }
            capture->m_lines << message;
        }
        // A line logged in the instant between installing the hook and
        // storing the previous handler waits for it instead of being lost.
        QtMessageHandler previous = g_previous.load();
        while (!previous) {
            std::this_thread::yield();
            previous = g_previous.load();
        }
        previous(type, context, message);
    }
};

TaskLogCapture::TaskLogCapture() : m_outer(t_capture) {
    std::call_once(g_installed,
                   [] { g_previous.store(qInstallMessageHandler(&TaskLogCaptureHook::handle)); });
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
