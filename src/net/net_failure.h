// Why a request brought no usable answer, in the words the user reads:
// "无法连接到 photo.weibo.com（Connection refused）", "photo.weibo.com 服务器错误（HTTP 504）".
#pragma once

#include <string>
#include <string_view>

namespace wa {

// What kept an answer from arriving.
enum class NetFailure { kNone, kRefused, kTimedOut, kHostNotFound, kCertificate, kTls, kTooLarge, kOther };

struct FailedAnswer {
    long status = 0;  // 0 when no answer arrived
    NetFailure failure = NetFailure::kNone;
    // The system's words for a refused connection ("Connection refused"), or
    // what an answer too large went past ("超过 4 MiB").
    std::string failure_detail;
    std::string proxy;  // "host:port" of a proxy that could not be reached
};

// The reason for a request to `url` that gave `answer`; for an answer that
// arrived with status 200, the body was not what was asked for.
std::string FailureReason(std::string_view url, const FailedAnswer& answer);

// What a picture's failure line holds in its brackets: the status, "证书无效"
// for a refused certificate, else 0.
std::string FailureTag(const FailedAnswer& answer);

}  // namespace wa
