#include "tools/dronesim/RtspCameraServer.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include "tools/dronesim/CameraViewRenderer.h"
#include "tools/dronesim/CameraViewState.h"
#include "tools/dronesim/EventLog.h"
#include "tools/dronesim/SimCamera.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char* const kService = "rtsp";

// One client's pipeline: its appsrc and the camera it shows.
struct Feed {
    SimCamera camera;
    GstRTSPMedia* media;  // not owned; valid until its "unprepared" signal
    GstElement* appsrc;   // owned reference
    gulong unpreparedHandler = 0;
    gulong needDataHandler = 0;
    std::atomic<bool> flowing{false};  // the pipeline has asked for data at least once
};

struct FactoryBinding {
    RtspCameraServer::Impl* impl;
    SimCamera camera;
};

std::string launchLine(int width, int height, int fps, int keyInterval) {
    // A live appsrc stamped on push; at most two frames queued, the oldest
    // dropped, so a slow client never makes the queue grow. One encoder thread:
    // four streams share two cores with everything else.
    return "( appsrc name=src is-live=true format=time do-timestamp=true max-buffers=2 "
           "leaky-type=downstream caps=video/x-raw,format=I420,width=" +
           std::to_string(width) + ",height=" + std::to_string(height) +
           ",framerate=" + std::to_string(fps) +
           "/1 ! x264enc tune=zerolatency speed-preset=ultrafast threads=1 key-int-max=" +
           std::to_string(keyInterval) +
           " ! video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 config-interval=-1 )";
}

}  // namespace

struct RtspCameraServer::Impl {
    CameraViewRenderer& renderer;
    const CameraViewState& view;
    Config config;

    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    GstRTSPServer* server = nullptr;
    GSource* listenSource = nullptr;
    GSource* frameTimer = nullptr;
    std::thread thread;
    std::vector<FactoryBinding*> bindings;

    std::atomic<bool> available{true};
    std::mutex feedMutex;  // feeds are added, fed and removed from different threads
    std::vector<Feed*> feeds;
    std::map<std::string, int> opensByPath;
    cv::Mat frame;  // render target, reused for every push

    Impl(CameraViewRenderer& r, const CameraViewState& v, Config c)
        : renderer(r), view(v), config(std::move(c)) {}

    void addFeed(GstRTSPMedia* media, SimCamera camera);
    void removeFeed(GstRTSPMedia* media);
    void pushFrames();
    void pushFrame(Feed& feed);
    GstRTSPStatusCode onDescribe(GstRTSPContext* ctx);
    void dropClients();
    void closeEverything();
};

namespace {

void onNeedData(GstElement*, guint, gpointer data) {
    static_cast<Feed*>(data)->flowing.store(true);
}

void onUnprepared(GstRTSPMedia* media, gpointer data) {
    static_cast<RtspCameraServer::Impl*>(data)->removeFeed(media);
}

void onMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer data) {
    auto* binding = static_cast<FactoryBinding*>(data);
    binding->impl->addFeed(media, binding->camera);
}

gboolean onFrameTimer(gpointer data) {
    static_cast<RtspCameraServer::Impl*>(data)->pushFrames();
    return G_SOURCE_CONTINUE;
}

GstRTSPStatusCode onPreDescribe(GstRTSPClient*, GstRTSPContext* ctx, gpointer data) {
    return static_cast<RtspCameraServer::Impl*>(data)->onDescribe(ctx);
}

void onClientConnected(GstRTSPServer*, GstRTSPClient* client, gpointer data) {
    g_signal_connect(client, "pre-describe-request", G_CALLBACK(onPreDescribe), data);
}

gboolean dropClientsNow(gpointer data) {
    static_cast<RtspCameraServer::Impl*>(data)->dropClients();
    return G_SOURCE_REMOVE;
}

gboolean quitLoop(gpointer data) {
    auto* impl = static_cast<RtspCameraServer::Impl*>(data);
    impl->closeEverything();
    g_main_loop_quit(impl->loop);
    return G_SOURCE_REMOVE;
}

GstRTSPFilterResult removeClient(GstRTSPServer*, GstRTSPClient*, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult removeSession(GstRTSPSessionPool*, GstRTSPSession*, gpointer) {
    return GST_RTSP_FILTER_REMOVE;
}

}  // namespace

void RtspCameraServer::Impl::addFeed(GstRTSPMedia* media, SimCamera camera) {
    GstElement* element = gst_rtsp_media_get_element(media);
    GstElement* appsrc = gst_bin_get_by_name_recurse_up(GST_BIN(element), "src");
    gst_object_unref(element);
    if (!appsrc) {
        EventLog::error(kService, "pipeline of " + streamPath(camera) + " has no appsrc");
        return;
    }
    auto* feed = new Feed{camera, media, appsrc};
    feed->needDataHandler = g_signal_connect(appsrc, "need-data", G_CALLBACK(onNeedData), feed);
    feed->unpreparedHandler = g_signal_connect(media, "unprepared", G_CALLBACK(onUnprepared), this);
    std::lock_guard<std::mutex> lock(feedMutex);
    feeds.push_back(feed);
}

void RtspCameraServer::Impl::removeFeed(GstRTSPMedia* media) {
    std::lock_guard<std::mutex> lock(feedMutex);
    auto it = std::find_if(feeds.begin(), feeds.end(), [&](Feed* f) { return f->media == media; });
    if (it == feeds.end()) {
        return;
    }
    Feed* feed = *it;
    feeds.erase(it);
    EventLog::event(kService, "stream " + streamPath(feed->camera) + " closed");
    g_signal_handler_disconnect(feed->media, feed->unpreparedHandler);
    g_signal_handler_disconnect(feed->appsrc, feed->needDataHandler);
    gst_object_unref(feed->appsrc);
    delete feed;
}

void RtspCameraServer::Impl::pushFrames() {
    if (!available.load()) {
        return;
    }
    std::lock_guard<std::mutex> lock(feedMutex);
    for (Feed* feed : feeds) {
        if (feed->flowing.load()) {
            pushFrame(*feed);
        }
    }
}

void RtspCameraServer::Impl::pushFrame(Feed& feed) {
    renderer.render(feed.camera, view.poseIndex(pairOf(feed.camera)), frame);
    const size_t lumaSize = frame.total();
    const size_t chromaSize = lumaSize / 2;  // two quarter-size planes, neutral grey
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, lumaSize + chromaSize, nullptr);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return;
    }
    if (frame.isContinuous()) {
        std::memcpy(map.data, frame.data, lumaSize);
    } else {
        for (int row = 0; row < frame.rows; ++row) {
            std::memcpy(map.data + static_cast<size_t>(row) * static_cast<size_t>(frame.cols),
                        frame.ptr(row), static_cast<size_t>(frame.cols));
        }
    }
    std::memset(map.data + lumaSize, 128, chromaSize);
    gst_buffer_unmap(buffer, &map);
    gst_app_src_push_buffer(GST_APP_SRC(feed.appsrc), buffer);  // takes the buffer
}

GstRTSPStatusCode RtspCameraServer::Impl::onDescribe(GstRTSPContext* ctx) {
    const std::string path = (ctx && ctx->uri && ctx->uri->abspath) ? ctx->uri->abspath : "";
    const int attempt = ++opensByPath[path];
    std::string camera = "unknown stream";
    for (SimCamera c : kAllCameras) {
        if (streamPath(c) == path) {
            camera = cameraName(c) + " camera";
        }
    }
    if (!available.load()) {
        EventLog::event(kService, "open " + std::to_string(attempt) + " of " + path +
                                      " refused (503): the drone is away");
        return GST_RTSP_STS_SERVICE_UNAVAILABLE;
    }
    auto fault = config.faults.find(path);
    if (fault != config.faults.end() &&
        (fault->second.always || attempt <= fault->second.failFirstOpens)) {
        EventLog::fault(kService,
                        "stream " + path + " open " + std::to_string(attempt) + " refused (503)");
        return GST_RTSP_STS_SERVICE_UNAVAILABLE;
    }
    EventLog::event(kService,
                    "open " + std::to_string(attempt) + " of " + path + " (" + camera + ")");
    return GST_RTSP_STS_OK;
}

void RtspCameraServer::Impl::dropClients() {
    gst_rtsp_server_client_filter(server, removeClient, nullptr);
    GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(server);
    if (pool) {
        gst_rtsp_session_pool_filter(pool, removeSession, nullptr);
        g_object_unref(pool);
    }
}

void RtspCameraServer::Impl::closeEverything() {
    if (frameTimer) {
        g_source_destroy(frameTimer);
        g_source_unref(frameTimer);
        frameTimer = nullptr;
    }
    if (listenSource) {
        g_source_destroy(listenSource);
        g_source_unref(listenSource);
        listenSource = nullptr;
    }
    dropClients();
}

RtspCameraServer::RtspCameraServer(CameraViewRenderer& renderer, const CameraViewState& view,
                                   Config config)
    : d(std::make_unique<Impl>(renderer, view, std::move(config))) {}

RtspCameraServer::~RtspCameraServer() {
    stop();
}

bool RtspCameraServer::start(std::string* error) {
    if (!gst_is_initialized()) {
        gst_init(nullptr, nullptr);
    }
    for (const char* element : {"appsrc", "x264enc", "rtph264pay"}) {
        GstElementFactory* factory = gst_element_factory_find(element);
        if (!factory) {
            *error = std::string("GStreamer element ") + element + " is not installed";
            return false;
        }
        gst_object_unref(factory);
    }

    d->context = g_main_context_new();
    d->loop = g_main_loop_new(d->context, FALSE);
    d->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(d->server, d->config.address.c_str());
    gst_rtsp_server_set_service(d->server, std::to_string(d->config.port).c_str());
    g_signal_connect(d->server, "client-connected", G_CALLBACK(onClientConnected), d.get());

    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(d->server);
    for (SimCamera camera : kAllCameras) {
        GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
        // Rendering one frame gives the stream's size and warms the renderer's
        // caches before the first client comes.
        cv::Mat probe;
        d->renderer.render(camera, 0, probe);
        gst_rtsp_media_factory_set_launch(
            factory,
            launchLine(probe.cols, probe.rows, d->config.framesPerSecond, d->config.keyInterval)
                .c_str());
        gst_rtsp_media_factory_set_shared(factory, FALSE);
        gst_rtsp_media_factory_set_protocols(
            factory,
            static_cast<GstRTSPLowerTrans>(GST_RTSP_LOWER_TRANS_TCP | GST_RTSP_LOWER_TRANS_UDP));
        auto* binding = new FactoryBinding{d.get(), camera};
        d->bindings.push_back(binding);
        g_signal_connect(factory, "media-configure", G_CALLBACK(onMediaConfigure), binding);
        gst_rtsp_mount_points_add_factory(mounts, streamPath(camera).c_str(), factory);
    }
    g_object_unref(mounts);

    GError* gerror = nullptr;
    d->listenSource = gst_rtsp_server_create_source(d->server, nullptr, &gerror);
    if (!d->listenSource) {
        *error = "cannot listen on " + d->config.address + ":" + std::to_string(d->config.port) +
                 ": " + (gerror ? gerror->message : "unknown error");
        g_clear_error(&gerror);
        return false;
    }
    g_source_attach(d->listenSource, d->context);

    d->frameTimer =
        g_timeout_source_new(static_cast<guint>(1000 / std::max(1, d->config.framesPerSecond)));
    g_source_set_callback(d->frameTimer, onFrameTimer, d.get(), nullptr);
    g_source_attach(d->frameTimer, d->context);

    Impl* impl = d.get();
    d->thread = std::thread([impl] {
        g_main_context_push_thread_default(impl->context);
        g_main_loop_run(impl->loop);
        g_main_context_pop_thread_default(impl->context);
    });
    return true;
}

void RtspCameraServer::setAvailable(bool available) {
    d->available.store(available);
    if (!available && d->context && d->thread.joinable()) {
        GSource* idle = g_idle_source_new();
        g_source_set_callback(idle, dropClientsNow, d.get(), nullptr);
        g_source_attach(idle, d->context);
        g_source_unref(idle);
    }
}

void RtspCameraServer::stop() {
    if (!d->loop) {
        return;
    }
    if (d->thread.joinable()) {
        GSource* idle = g_idle_source_new();
        g_source_set_callback(idle, quitLoop, d.get(), nullptr);
        g_source_attach(idle, d->context);
        g_source_unref(idle);
        d->thread.join();
    } else {
        d->closeEverything();
    }
    {
        std::lock_guard<std::mutex> lock(d->feedMutex);
        for (Feed* feed : d->feeds) {
            g_signal_handler_disconnect(feed->media, feed->unpreparedHandler);
            g_signal_handler_disconnect(feed->appsrc, feed->needDataHandler);
            gst_object_unref(feed->appsrc);
            delete feed;
        }
        d->feeds.clear();
    }
    g_object_unref(d->server);
    d->server = nullptr;
    g_main_loop_unref(d->loop);
    d->loop = nullptr;
    g_main_context_unref(d->context);
    d->context = nullptr;
    for (FactoryBinding* binding : d->bindings) {
        delete binding;
    }
    d->bindings.clear();
}
