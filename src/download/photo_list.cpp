#include "download/photo_list.h"

#include <json-c/json.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

#include "util/job_token.h"
#include "util/text.h"
#include "weibo/album_tab.h"
#include "util/json_text.h"
#include "weibo/service_request.h"
#include "weibo/weibo_service.h"

namespace wa {

long long CountValue(std::string_view text) {
    std::size_t i = 0;
    const auto blank_at = [&text](std::size_t at) -> std::size_t {
        if (at < text.size() && std::string_view(" \t\r\n\v\f").find(text[at]) != std::string_view::npos) return 1;
        if (text.substr(at).starts_with("\u3000")) return 3;
        return 0;
    };
    while (std::size_t n = blank_at(i)) i += n;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    while (i < text.size()) {
        int digit;
        if (text[i] >= '0' && text[i] <= '9') {
            digit = text[i] - '0';
            i += 1;
        } else if (text.substr(i, 2) == "\xEF\xBC" && i + 2 < text.size() &&
                   static_cast<unsigned char>(text[i + 2]) >= 0x90 &&
                   static_cast<unsigned char>(text[i + 2]) <= 0x99) {
            digit = static_cast<unsigned char>(text[i + 2]) - 0x90;  // U+FF10..U+FF19
            i += 3;
        } else {
            break;
        }
        if (value < 1'000'000'000'000'000LL) value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::string PhotoRecord::PictureUrl() const {
    return picture_url.empty() ? LargePictureUrl(pic_host, pic_name) : picture_url;
}

std::int64_t UploadSeconds(std::string_view timestamp_text) {
    const long long value = CountValue(timestamp_text);
    return value > 9'999'999'999LL ? value / 1000 : value;
}

int PhotoPageCount(std::string_view count_text) {
    const long long pages = CountValue(count_text) / kPhotosPerPage + 1;
    if (pages < 1) return 1;
    return pages > 1'000'000 ? 1'000'000 : static_cast<int>(pages);
}

AlbumKey SplitAlbumIdText(std::string_view text) {
    const std::vector<std::string> pieces = SplitText(text, "@@");
    if (pieces.size() == 2) return {pieces[0], pieces[1]};
    return {std::string(text), ""};
}

std::optional<std::vector<PhotoRecord>> ReadPhotoPage(std::string_view text, std::size_t* left_out) {
    std::vector<PhotoRecord> records;
    const JsonDocument document = ParseJson(text);
    json_object* list = DataList(document.get(), "photo_list");
    if (!list) return std::nullopt;
    const std::size_t listed = json_object_array_length(list);
    const std::size_t count = std::min(listed, kMaxPhotosPerAnswer);
    if (left_out) *left_out = listed - count;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        json_object* photo = json_object_array_get_idx(list, i);
        PhotoRecord record;
        record.photo_id = RemoveChars(MemberJsonText(photo, "photo_id"), "\"");
        record.timestamp = RemoveChars(MemberJsonText(photo, "timestamp"), "\"");
        record.pic_host = RemoveChars(MemberJsonText(photo, "pic_host"), "\\\"");
        record.pic_name = RemoveChars(MemberJsonText(photo, "pic_name"), "\\\"");
        record.caption_render = RemoveChars(MemberJsonText(photo, "caption_render"), "\"");
        record.upload_seconds = UploadSeconds(record.timestamp);
        // A live photo's video, when the answer carries one.
        if (json_object* video = JsonMember(photo, "video"); video && json_object_is_type(video, json_type_string)) {
            record.video_url = LiveVideoUrl(json_object_get_string(video));
        }
        records.push_back(std::move(record));
    }
    return records;
}

Attempts FetchWithAttempts(std::string_view url, const ServiceRequest& request, const AttemptWait& wait,
                           const std::function<bool(const std::string& text)>& accept) {
    JobToken* job = request.job;
    Attempts result;
    FailedAnswer last;
    for (int attempt = 1; attempt <= kPhotoPageAttempts; ++attempt) {
        result.made = attempt;
        const ServiceAnswer answer = FetchFromService(url, request);
        if (answer.stopped) return result.stopped = true, result;
        const std::string text = Utf8BodyText(answer.fetch.body);
        if (answer.login_redirect || IsLoginWall(text)) return result.login_wall = true, result;
        last = answer.fetch.Answer();
        // Still failing after every wait: more attempts would only wait longer;
        // an answer too large would come as large again.
        if (answer.gave_up || last.failure == NetFailure::kTooLarge) break;
        if (answer.fetch.status == 200 && accept(text)) return result.accepted = true, result;
        const bool go_on = wait ? wait(2000) : PumpingWait(2000, 0, job);
        if (!go_on || (job && job->StopRequested())) return result.stopped = true, result;
    }
    result.failure = FailureReason(url, last);
    return result;
}

PhotoPage FetchPhotoPage(std::string_view uid, std::string_view album_id_text, int page,
                         const ServiceRequest& request, const AttemptWait& wait) {
    const AlbumKey key = SplitAlbumIdText(album_id_text);
    const std::string url =
        PhotoPageUrl(CurrentService(), uid, key.album_id, page, key.type, RandomFraction());
    PhotoPage result;
    const Attempts attempts = FetchWithAttempts(url, request, wait, [&result](const std::string& text) {
        std::optional<std::vector<PhotoRecord>> records = ReadPhotoPage(text, &result.left_out);
        if (records) result.photos = std::move(*records);
        return records.has_value();
    });
    result.Took(attempts);
    return result;
}

void PhotoPage::Took(const Attempts& made) {
    fetched = made.accepted;
    stopped = made.stopped;
    login_wall = made.login_wall;
    attempts = made.made;
    failure = made.failure;
}

std::string RandomFraction() {
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    char buffer[40];
    while (true) {
        // Always a full stop, whatever the program's numeric locale.
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, draw(engine),
                                       std::chars_format::general, 15).ptr;
        const std::string_view drawn(buffer, static_cast<std::size_t>(end - buffer));
        const std::string text = drawn.starts_with('0') ? std::string(drawn) : "0" + std::string(drawn);
        if (text.size() == 17) return text;
    }
}

bool PumpingWait(long long amount, int unit, JobToken* job) {
    long long scale = 1;
    switch (unit) {
        case 1: scale = 1000; break;
        case 2: scale = 60'000; break;
        case 3: scale = 3'600'000; break;
        default: break;
    }
    const std::chrono::milliseconds duration(amount > 0 ? amount * scale : 0);
    if (job) return job->Wait(duration);
    std::this_thread::sleep_for(duration);
    return true;
}

}  // namespace wa
