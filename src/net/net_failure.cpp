#include "net/net_failure.h"

#include "net/http_text.h"

namespace wa {

std::string FailureReason(std::string_view url, const FailedAnswer& answer) {
    const std::string host = UrlHost(url, true);
    const std::string status = "（HTTP " + std::to_string(answer.status) + "）";
    if (answer.failure == NetFailure::kTooLarge) return host + " 的回答过大（" + answer.failure_detail + "），未读取";
    if (answer.status >= 500) return host + " 服务器错误" + status;
    if (answer.status == 418 || answer.status == 429 || answer.status == 432) return host + " 请求过于频繁" + status;
    if (answer.status == 200) return host + " 的回答无法识别";
    if (answer.status != 0) return host + " 回答" + status;
    std::string why;
    switch (answer.failure) {
        case NetFailure::kRefused: why = answer.failure_detail.empty() ? "连接被拒绝" : answer.failure_detail; break;
        case NetFailure::kTimedOut: why = "连接超时"; break;
        case NetFailure::kHostNotFound: why = "找不到该服务器"; break;
        case NetFailure::kCertificate: why = "证书无效"; break;
        case NetFailure::kTls: why = "加密连接失败"; break;
        case NetFailure::kNone:
        case NetFailure::kTooLarge:
        case NetFailure::kOther: return host + " 的回答不完整";
    }
    if (!answer.proxy.empty()) return "无法连接到代理 " + answer.proxy + "（" + why + "）";
    return "无法连接到 " + host + "（" + why + "）";
}

std::string FailureTag(const FailedAnswer& answer) {
    if (answer.status == 0 && answer.failure == NetFailure::kCertificate) return "证书无效";
    return std::to_string(answer.status);
}

}  // namespace wa
