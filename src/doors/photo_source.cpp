#include "doors/photo_source.h"

namespace wa {

void PhotoPage::Took(const Attempts& made) {
    fetched = made.accepted;
    stopped = made.stopped;
    login_wall = made.login_wall;
    attempts = made.made;
    failure = made.failure;
}

ServiceRequest PageFetcher::Request(std::function<void(const std::string&)> log) {
    ServiceRequest request;
    request.job = context_.job;
    request.pacer = context_.pacer;
    request.log = std::move(log);
    request.countdown = context_.countdown;  // shown at once, also while the page is fetched ahead
    return request;
}

PageFetcher::~PageFetcher() {
    if (next_.valid()) next_.wait();
}

void PageFetcher::Ahead(int number, Fetch fetch) {
    if (next_.valid()) return;
    next_number_ = number;
    next_ = std::async(std::launch::async, [this, fetch = std::move(fetch)] {
        return fetch(Request([this](const std::string& line) { held_.push_back(line); }));
    });
}

PhotoPage PageFetcher::Get(int number, const Fetch& fetch) {
    if (next_.valid() && next_number_ == number) {
        PhotoPage page = next_.get();
        page.lines.insert(page.lines.begin(), held_.begin(), held_.end());
        held_.clear();
        return page;
    }
    if (next_.valid()) {  // a page that is not wanted after all
        next_.wait();
        next_ = {};
        held_.clear();
    }
    return fetch(Request([this](const std::string& line) { Log(line); }));
}

bool PageFetcher::Ready(int number) const {
    return next_.valid() && next_number_ == number &&
           next_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void PageFetcher::Log(const std::string& line) {
    if (context_.log) context_.log(line);
}

}  // namespace wa
