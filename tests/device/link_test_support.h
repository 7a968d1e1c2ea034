#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/device_link.h"
#include "device/hid_transport.h"

// A transport that lists what a test gives it and answers feature reports
// through functions, recording every call. Its connections keep no pointer
// back to it beyond the call handlers' lifetime: tests release the link
// before the transport goes.
class ScriptedTransport : public HidTransport {
public:
    struct Call {
        std::thread::id thread;
        bool send;
        std::vector<uint8_t> data;  // as sent, or as answered
    };
    using SendHandler = std::function<HidResult(const uint8_t* data, size_t length)>;
    using FetchHandler = std::function<HidResult(uint8_t* data, size_t length)>;

    // By default a single configuration interface that takes every report and
    // answers every fetch with the requested id and status 1.
    ScriptedTransport()
        : interfaces{{"config", kVendorId, kProductId, kConfigUsagePage, kConfigUsage}} {}

    std::vector<HidInterfaceInfo> Enumerate(uint16_t, uint16_t) override { return interfaces; }

    std::unique_ptr<HidConnection> Open(const std::string& path) override {
        std::lock_guard lock(mutex_);
        opened.push_back(path);
        if (failingOpens.count(path))
            return nullptr;
        return std::make_unique<Connection>(*this);
    }

    std::vector<Call> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    std::vector<HidInterfaceInfo> interfaces;
    std::set<std::string> failingOpens;
    std::vector<std::string> opened;
    SendHandler onSend = [](const uint8_t*, size_t) { return HidResult::Ok; };
    FetchHandler onFetch = [](uint8_t* data, size_t length) {
        if (length > 1)
            data[1] = kStatusDone;
        return HidResult::Ok;
    };

private:
    class Connection : public HidConnection {
    public:
        explicit Connection(ScriptedTransport& owner) : owner_(owner) {}
        HidResult SendFeatureReport(const uint8_t* data, size_t length) override {
            owner_.Record(true, data, length);
            return owner_.onSend(data, length);
        }
        HidResult GetFeatureReport(uint8_t* data, size_t length) override {
            const HidResult result = owner_.onFetch(data, length);
            owner_.Record(false, data, length);
            return result;
        }
        int ReadInput(uint8_t*, size_t, int) override { return -1; }
        void InterruptRead() override {}

    private:
        ScriptedTransport& owner_;
    };

    void Record(bool send, const uint8_t* data, size_t length) {
        std::lock_guard lock(mutex_);
        calls_.push_back({std::this_thread::get_id(), send, {data, data + length}});
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

// Drops whatever connection the link holds, so that no test leaves one behind.
inline void ReleaseLink() {
    ScriptedTransport nothing;
    nothing.interfaces.clear();
    SetHidTransport(&nothing);
    FindDevice(kProductId);
    SetHidTransport(nullptr);
}
