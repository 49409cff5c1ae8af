// Fetches one picture for the download engine: time-outs of its own,
// certificates checked as for every request, the numeric status reported,
// and no cookies from the shared jar. Passing the same RequestHandle to many requests keeps the
// connection open between them.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/net_failure.h"

namespace wa {

class JobToken;

// A reusable request object: the connection it holds is kept alive for the
// next request on the same handle. Used by one thread at a time.
class RequestHandle {
public:
    RequestHandle();
    ~RequestHandle();
    RequestHandle(const RequestHandle&) = delete;
    RequestHandle& operator=(const RequestHandle&) = delete;

private:
    friend struct ObjectRequestAccess;
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

inline constexpr std::size_t kMaxPictureSize = 512u << 20;

struct ObjectRequestOptions {
    std::optional<int> method;                 // 0 GET, 1 POST, 2 HEAD; others GET
    std::optional<std::string> post_text;
    std::optional<std::string> cookies;        // sent as the first header when not empty
    std::optional<std::string> extra_headers;  // CR LF separated
    std::optional<bool> no_redirect;
    std::optional<std::string> post_bytes;     // takes precedence over the post text
    std::optional<std::string> proxy;
    // -1 keeps the handle's defaults, 1 or more is seconds, anything else 15 s.
    std::optional<int> timeout_seconds;
    std::optional<std::string> proxy_user;
    std::optional<std::string> proxy_password;
    std::optional<int> proxy_credential_flag;
    RequestHandle* handle = nullptr;           // reuse this handle's connection
    JobToken* job = nullptr;                   // pause and stop reach the transfer through it
    std::size_t max_body = kMaxPictureSize;
    // When set, the body goes here chunk by chunk instead of into the result;
    // returning false abandons the transfer.
    std::function<bool(std::string_view chunk)> body_sink;
};

struct ObjectRequestResult {
    std::string body;              // empty when the answer did not arrive whole
    long status = 0;               // 0 when no answer arrived
    bool stopped = false;          // abandoned because the job was stopped
    bool sink_failed = false;      // the body sink refused a chunk
    std::string error;
    NetFailure failure = NetFailure::kNone;  // why no answer arrived, when none did
    std::string failure_detail;
    std::string headers;           // the response's header lines
    std::string returned_cookies;
    std::string cookies;           // the supplied cookie text merged with the returned ones
    std::string sent_headers;      // the complete request header block, without the Cookie line

    std::string proxy;             // a proxy that could not be reached

    FailedAnswer Answer() const { return {status, failure, failure_detail, proxy}; }
};

ObjectRequestResult ObjectRequest(std::string_view url, const ObjectRequestOptions& options = {});

struct PreparedRequest;
class TransferDriver;

// Several requests at once: each slot is a handle of its own that keeps its
// connection alive for its next request, and all are driven together, so
// their waits for the server overlap. Used by one thread at a time.
class RequestBatch {
public:
    explicit RequestBatch(int slots);
    ~RequestBatch();  // abandons what is still running
    RequestBatch(const RequestBatch&) = delete;
    RequestBatch& operator=(const RequestBatch&) = delete;

    int Slots() const { return static_cast<int>(slots_.size()); }
    // A slot with no request running; -1 when all are busy.
    int FreeSlot() const;
    // Starts a request, as ObjectRequest would make it, on a free slot. The
    // options' handle is not used; its body sink must outlive the request.
    bool Start(int slot, std::string_view url, const ObjectRequestOptions& options);

    struct Done {
        int slot;
        ObjectRequestResult result;
    };
    // Waits for a started request to end and reports it; nullopt when none is
    // running. The job's pause holds every request; its stop ends them all,
    // the first reported as stopped. When `wake` says so it returns at once
    // with no request (slot -1).
    std::optional<Done> Next(JobToken* job, const std::function<bool()>& wake = {});
    // Abandons every running request; all slots are free again.
    void Cancel();

private:
    struct Slot;
    struct MultiDeleter {
        void operator()(void* multi) const;
    };
    std::unique_ptr<void, MultiDeleter> multi_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::unique_ptr<TransferDriver> driver_;
};

}  // namespace wa
