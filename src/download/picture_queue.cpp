#include "download/picture_queue.h"

#include "net/object_request.h"

namespace wa {
namespace {

constexpr int kPictureTimeoutSeconds = 30;
constexpr int kPictureAttempts = 2;

}  // namespace

PictureQueue::PictureQueue(RequestBatch& batch, int album_folder, std::string referer, JobToken* job)
    : batch_(batch), album_folder_(album_folder), referer_(std::move(referer)), job_(job) {}

PictureQueue::~PictureQueue() {
    if (!in_flight_.empty()) batch_.Cancel();  // before the files their bodies go to
}

bool PictureQueue::HasRoom() const { return static_cast<int>(pictures_.size()) < batch_.Slots(); }

void PictureQueue::Start(int index, const std::string& url, Kind kind) {
    Picture& picture = pictures_[index];
    picture.url = url;
    picture.kind = kind;
    picture.file = std::make_unique<PictureFile>(album_folder_);
    if (!picture.file->IsOpen()) {
        picture.fetch.write_failed = true;
        picture.done = true;
        return;
    }
    if (!Request(index, picture, batch_.FreeSlot())) picture.done = true;
}

bool PictureQueue::Request(int index, Picture& picture, int slot) {
    if (!picture.file->Rewind()) {
        picture.fetch.write_failed = true;
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
    in_flight_[slot] = index;
    return true;
}

bool PictureQueue::DriveOne() {
    std::optional<RequestBatch::Done> done = batch_.Next(job_);
    if (!done) return false;
    const auto slot = in_flight_.find(done->slot);
    if (slot == in_flight_.end()) return true;
    const int index = slot->second;
    in_flight_.erase(slot);
    Picture& picture = pictures_.at(index);
    const ObjectRequestResult& result = done->result;
    PictureFetch& fetch = picture.fetch;
    fetch.stopped = result.stopped;
    fetch.write_failed = result.sink_failed;
    if (fetch.stopped) return false;
    if (!fetch.write_failed) {
        fetch.status = result.status;
        fetch.failure = result.failure;
        const bool expected = picture.kind == Kind::kVideo ? picture.file->HoldsVideo() : picture.file->HoldsPicture();
        fetch.ok = result.status == 200 && expected;
        // The one repetition goes out at once, on the same connection.
        if (!fetch.ok && picture.attempts < kPictureAttempts && Request(index, picture, done->slot)) return true;
    }
    picture.done = true;
    return true;
}

PictureQueue::Taken PictureQueue::Take(int index) {
    Picture& picture = pictures_.at(index);
    while (!picture.done) {
        if (!DriveOne()) {
            picture.fetch.stopped = true;
            break;
        }
    }
    Taken taken{picture.fetch, std::move(picture.file)};
    pictures_.erase(index);
    return taken;
}

}  // namespace wa
