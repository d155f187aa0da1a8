#pragma once

#include <map>
#include <memory>
#include <string>

class CameraViewRenderer;
class CameraViewState;

// The drone's four camera streams over RTSP (gst-rtsp-server): "/ov7251_01" to
// "/ov7251_04", H.264 (x264, zero latency, a key frame every `keyInterval`
// frames) packed for RTP, delivered interleaved over TCP or over UDP as the
// client asks. Each client that opens a stream gets its own pipeline, fed by an
// appsrc with frames drawn by CameraViewRenderer for the pose CameraViewState
// names at that moment.
//
// Runs its own GLib main loop on its own thread between start() and stop(); this
// header and its source include no Qt so that GStreamer's headers stay clear of
// Qt's keyword macros. Every open, refusal and close goes to the EventLog under
// the service name "rtsp".
class RtspCameraServer {
public:
    // An injected open failure for one stream path: the first `failFirstOpens`
    // DESCRIBE requests (or all of them with `always`) are answered
    // "503 Service Unavailable".
    struct OpenFault {
        int failFirstOpens = 0;
        bool always = false;
    };

    struct Config {
        std::string address = "127.0.0.1";
        int port = 554;
        int framesPerSecond = 15;
        int keyInterval = 15;
        std::map<std::string, OpenFault> faults;  // by stream path, e.g. "/ov7251_02"
    };

    RtspCameraServer(CameraViewRenderer& renderer, const CameraViewState& view, Config config);
    ~RtspCameraServer();

    RtspCameraServer(const RtspCameraServer&) = delete;
    RtspCameraServer& operator=(const RtspCameraServer&) = delete;

    // Binds the port and starts serving. False with `error` set when GStreamer
    // lacks an element or the port cannot be bound.
    bool start(std::string* error);

    // Closes every client and the listening socket and ends the thread. Safe to
    // call twice or without start().
    void stop();

    // While unavailable (the drone is away), clients are disconnected and every
    // open is answered "503 Service Unavailable". Thread-safe; available at start.
    void setAvailable(bool available);

    // Implementation detail, public only so that the GLib callbacks can name it.
    struct Impl;

private:
    std::unique_ptr<Impl> d;
};
