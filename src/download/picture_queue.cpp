#include "download/picture_queue.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <iterator>

#include "net/object_request.h"
#include "weibo/service_request.h"
#include "util/job_token.h"

namespace wa {
namespace {

constexpr int kPictureTimeoutSeconds = 30;
constexpr int kPictureAttempts = 2;
// Pictures kept waiting for the late one before them, per transfer slot, and
// at most: enough for the other slots to go on through a stall of a few
// seconds, never more open files than a process may have.
constexpr int kKeptPerSlot = 32;
constexpr int kMostKept = 512;
// So many transfers in a row that reach nothing mean the network is gone.
constexpr int kLostInARow = 3;
// A picture host that refuses (403, 418, 429) so many pictures in a row gets
// half the transfers and a pause; after so many fetched in a row, all again.
// A refused picture is asked again, up to so many times, before it fails.
constexpr int kRefusedInARow = 3;
constexpr int kFetchedToWiden = 20;
constexpr int kMostRefusals = 4;
constexpr std::chrono::seconds kRefusedPause{5};

bool IsRefusal(long status) { return status == 403 || status == 418 || status == 429; }

// The open files a process may have: as many as its hard limit allows, up
// to 4096, since the kept pictures hold theirs open.
long OpenFileLimit() {
    static const long limit = [] {
        rlimit files{};
        if (::getrlimit(RLIMIT_NOFILE, &files) != 0) return 1024L;
        if (files.rlim_cur < 4096 && files.rlim_cur < files.rlim_max) {
            rlimit raised = files;
            raised.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) files = raised;
        }
        return static_cast<long>(files.rlim_cur);
    }();
    return limit;
}

int KeptAtMost(int slots) {
    if (slots <= 1) return 1;  // one at a time keeps every request in its photo's order
    const long open_files = OpenFileLimit();
    const long room = std::max(2L * slots, (open_files - 256) / 2);  // the rest of the program keeps its files
    return static_cast<int>(std::min<long>({static_cast<long>(kKeptPerSlot) * slots, kMostKept, room}));
}

}  // namespace

PictureQueue::PictureQueue(RequestBatch& batch, int album_folder, std::string referer, JobToken* job,
                           QueueHooks hooks)
    : batch_(batch), album_folder_(album_folder), referer_(std::move(referer)), job_(job), hooks_(std::move(hooks)),
      max_kept_(KeptAtMost(batch.Slots())), allowed_(batch.Slots()) {}

PictureQueue::~PictureQueue() {
    if (!in_flight_.empty()) batch_.Cancel();  // before the files their bodies go to
}

bool PictureQueue::HasRoom() const {
    return !offline_ && static_cast<int>(in_flight_.size()) < allowed_ &&
           static_cast<int>(pictures_.size()) < max_kept_;
}

void PictureQueue::Start(long long index, const std::string& url, Kind kind) {
    Picture& picture = pictures_[index];
    picture = Picture{};
    picture.url = url;
    picture.kind = kind;
    picture.file = std::make_unique<PictureFile>(album_folder_);
    if (!picture.file->IsOpen()) {
        picture.fetch.write_failed = true;
        picture.fetch.write_error = picture.file->Error();
        picture.done = true;
        return;
    }
    const int slot = offline_ || Held() ? -1 : SlotFree();
    if (slot < 0) {
        picture.parked = true;  // starts when a slot frees up, or the network is back
        parked_.insert(index);
        return;
    }
    if (!Request(index, picture, slot)) picture.done = true;
}

bool PictureQueue::Request(long long index, Picture& picture, int slot) {
    if (!picture.file->Rewind()) {
        picture.fetch.write_failed = true;
        picture.fetch.write_error = picture.file->Error();
        return false;
    }
    ObjectRequestOptions options;
    options.method = 0;
    options.timeout_seconds = kPictureTimeoutSeconds;
    options.extra_headers = "Referer: " + referer_;
    PictureFile* file = picture.file.get();
    options.body_sink = [file](std::string_view chunk) { return file->Write(chunk); };
    ++picture.attempts;
    if (slot < 0 || !batch_.Start(slot, picture.url, options)) {
        picture.fetch.status = 0;  // no handle for it: as if nothing answered
        return false;
    }
    picture.parked = false;
    in_flight_[slot] = index;
    return true;
}

bool PictureQueue::DriveOne(bool may_wake) {
    static const std::function<bool()> kNever;
    std::optional<RequestBatch::Done> done = batch_.Next(job_, may_wake ? hooks_.more_to_start : kNever);
    if (!done) return false;
    if (done->slot < 0) return true;  // woken: nothing ended, more can start
    const auto slot = in_flight_.find(done->slot);
    if (slot == in_flight_.end()) return true;
    const long long index = slot->second;
    in_flight_.erase(slot);
    Picture& picture = pictures_.at(index);
    const ObjectRequestResult& result = done->result;
    PictureFetch& fetch = picture.fetch;
    fetch.stopped = result.stopped;
    fetch.write_failed = result.sink_failed;
    fetch.write_error = result.sink_failed ? picture.file->Error() : 0;
    if (fetch.stopped) return false;
    if (!fetch.write_failed) {
        fetch.status = result.status;
        fetch.failure = result.failure;
        fetch.failure_detail = result.failure_detail;
        fetch.proxy = result.proxy;
        const bool expected = picture.kind == Kind::kVideo ? picture.file->HoldsVideo() : picture.file->HoldsPicture();
        fetch.ok = result.status == 200 && expected;
    }
    Ended(index, picture, done->slot, !result.stopped && !result.sink_failed && ReachedNothing(result.Answer()));
    return true;
}

void PictureQueue::Ended(long long index, Picture& picture, int slot, bool connection_lost) {
    if (connection_lost) {
        // Nothing counts against a picture while the network is gone.
        --picture.attempts;
        if (!offline_ && ++lost_in_a_row_ < kLostInARow && Request(index, picture, slot)) return;
        if (!offline_ && lost_in_a_row_ >= kLostInARow) {
            offline_ = true;
            offline_reason_ = FailureReason(picture.url, picture.fetch.Answer());
            Log("网络连接中断（" + offline_reason_ + "），等待网络恢复");
        }
        picture.parked = true;
        parked_.insert(index);
        return;
    }
    lost_in_a_row_ = 0;
    if (offline_) {  // an answer: the network is back
        offline_ = false;
        offline_tries_ = 0;
        Log("网络已恢复，继续下载");
    }
    if (Refused(index, picture)) return;
    // The one repetition goes out at once, on the same connection.
    if (!picture.fetch.ok && !picture.fetch.write_failed && picture.attempts < kPictureAttempts &&
        Request(index, picture, slot)) {
        return;
    }
    picture.done = true;
}

bool PictureQueue::Refused(long long index, Picture& picture) {
    if (picture.fetch.ok) {
        refused_in_a_row_ = 0;
        if (allowed_ < batch_.Slots() && ++fetched_in_a_row_ >= kFetchedToWiden) {
            allowed_ = batch_.Slots();
            Log("图片服务器不再拒绝，恢复同时下载" + std::to_string(allowed_) + "张");
        }
        return false;
    }
    // A video refused is a signed link gone stale: its run signs it anew.
    if (picture.kind == Kind::kVideo || !IsRefusal(picture.fetch.status) || picture.refusals == kMostRefusals) {
        return false;
    }
    ++picture.refusals;
    --picture.attempts;  // a refusal is asked again, and counts on its own
    fetched_in_a_row_ = 0;
    if (++refused_in_a_row_ >= kRefusedInARow) {
        refused_in_a_row_ = 0;
        allowed_ = std::max(1, allowed_ / 2);
        held_until_ = std::chrono::steady_clock::now() + kRefusedPause;
        Log("图片服务器连续拒绝（HTTP " + std::to_string(picture.fetch.status) + "），同时下载减为" +
            std::to_string(allowed_) + "张，暂停" + std::to_string(kRefusedPause.count()) + "秒");
    }
    picture.parked = true;
    parked_.insert(index);
    return true;
}

bool PictureQueue::Held() const { return std::chrono::steady_clock::now() < held_until_; }

int PictureQueue::SlotFree() const {
    return static_cast<int>(in_flight_.size()) < allowed_ ? batch_.FreeSlot() : -1;
}

bool PictureQueue::WaitOutHold() {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(held_until_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    if (hooks_.wait) return hooks_.wait(static_cast<int>(left.count()));
    return !job_ || job_->Wait(left);
}

bool PictureQueue::WaitForNetwork() {
    if (offline_tries_ == static_cast<int>(std::size(kNetworkWaitSeconds))) {
        GiveUpOnNetwork();
        return true;
    }
    const auto wait = hooks_.wait ? hooks_.wait : [this](int ms) {
        return !job_ || job_->Wait(std::chrono::milliseconds(ms));
    };
    if (!CountDownNetwork(kNetworkWaitSeconds[offline_tries_++], hooks_.countdown, wait)) return false;
    // One picture asks whether the network is back; the rest wait for its answer.
    const long long probe = *parked_.begin();
    parked_.erase(parked_.begin());
    Picture& picture = pictures_.at(probe);
    if (!Request(probe, picture, batch_.FreeSlot())) picture.done = true;
    return true;
}

void PictureQueue::GiveUpOnNetwork() {
    network_lost_ = offline_reason_;
    for (const long long index : parked_) {
        Picture& picture = pictures_.at(index);
        picture.parked = false;
        picture.done = true;
    }
    parked_.clear();
}

PictureQueue::Taken PictureQueue::Take(long long index, const std::function<void()>& refill) {
    Picture& picture = pictures_.at(index);
    while (!picture.done) {
        // Pictures that waited for a slot, or for the network, go first.
        while (!offline_ && !Held() && !parked_.empty() && SlotFree() >= 0) {
            const long long next = *parked_.begin();
            parked_.erase(parked_.begin());
            Picture& waiting = pictures_.at(next);
            if (!Request(next, waiting, SlotFree())) waiting.done = true;
        }
        if (!in_flight_.empty()) {
            if (!DriveOne(refill && !offline_)) {
                picture.fetch.stopped = true;
                break;
            }
            if (refill && !offline_) refill();
            continue;
        }
        if (parked_.empty()) break;  // nothing left that could bring it
        if (!offline_) {  // refused pictures wait out the pause
            if (!WaitOutHold()) {
                picture.fetch.stopped = true;
                break;
            }
            continue;
        }
        if (!WaitForNetwork()) {
            picture.fetch.stopped = true;
            break;
        }
    }
    Taken taken{picture.fetch, std::move(picture.file)};
    pictures_.erase(index);
    return taken;
}

void PictureQueue::Log(const std::string& line) const {
    if (hooks_.log) hooks_.log(line);
}

}  // namespace wa
