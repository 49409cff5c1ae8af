#include "download/picture_naming.h"

#include <sys/stat.h>

#include "util/date_time.h"
#include "util/regex_matcher.h"
#include "util/text.h"

namespace wa {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::string CleanName(std::string_view text) {
    static constexpr std::string_view kRemoved[] = {":", "\\", "/", "?", "*", "<", ">", "|", "：", "、",
                                                    "？", "。", "（", "）", "·", "！", "，", ".", " ", "&"};
    // Valid UTF-8 only, and none of the control characters a file name
    // must not hold either.
    std::string out = Utf8BodyText(text);
    std::erase_if(out, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    for (const std::string_view piece : kRemoved) ReplaceAll(out, piece, "");
    return out;
}

std::string NumberedPath(std::string_view path, long long n) {
    const std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) dot = path.size();
    return std::string(path.substr(0, dot)) + "(" + std::to_string(n) + ")" + std::string(path.substr(dot));
}

std::string SequenceText(SequenceScheme scheme, int page, int position) {
    if (scheme == SequenceScheme::kPageCycle) return std::to_string(page) + "-" + std::to_string(position);
    return std::to_string(static_cast<long long>(page - 1) * kPhotosPerPage + position);
}

std::string DateTag(std::string_view timestamp_text, bool use_24_hour_clock) {
    const DateTime moment = UnixToLocalTime(CountValue(timestamp_text));
    std::string tag = FormatDateTime(moment, 1, 1, use_24_hour_clock) + " " +
                      FormatDateTime(moment, 1, 4, use_24_hour_clock);
    ReplaceAll(tag, ":", ".");
    ReplaceAll(tag, "-", ".");
    return tag;
}

std::string PictureExtension(std::string_view pic_name) {
    return pic_name.find(".gif") != std::string_view::npos ? ".gif" : ".jpg";
}

std::string CaptionForName(std::string_view caption_render) {
    std::string caption = CleanName(caption_render);
    ReplaceAll(caption, "?", "");
    ReplaceAll(caption, " ", "");
    ReplaceAll(caption, "\u3000", "");
    return caption;
}

PictureNamer::PictureNamer(std::string album_folder, const PhotoRecord& photo, int page,
                           int position, RegexMatcher& matcher, NameTaken taken)
    : folder_(std::move(album_folder)), photo_(photo), page_(page), position_(position), matcher_(matcher),
      taken_(taken ? std::move(taken) : NameTaken(Exists)) {
    if (folder_.empty() || folder_.back() != '/') folder_ += '/';
}

std::string PictureNamer::PicturePath(int attempt, const Choice& choice) {
    if (attempt >= 3) {
        // The id comes from the service: cleaned like any name, never empty.
        std::string id = CleanName(photo_.photo_id);
        if (id.empty()) id = "(" + SequenceText(choice.scheme, page_, position_) + ")";
        return Path(id + PictureExtension(photo_.pic_name));
    }
    if (attempt == 2) {
        if (!caption_used_) PicturePath(1, choice);  // attempt 2 builds on attempt 1's caption
        return Path(BuildName(HanziOnly(matcher_, *caption_used_), choice, false));
    }
    return Path(BuildName(CaptionForName(photo_.caption_render), choice, true));
}

std::string PictureNamer::BuildName(std::string caption, const Choice& choice, bool first_attempt) {
    const std::string number = SequenceText(choice.scheme, page_, position_);
    const std::string extension = PictureExtension(photo_.pic_name);
    if (choice.format == NameFormat::kContent && caption.empty()) caption = "(" + number + ")";
    if (first_attempt) caption_used_ = caption;

    switch (choice.format) {
        case NameFormat::kContentThenNumber: return caption + "(" + number + ")" + extension;
        case NameFormat::kNumberThenContent: return "(" + number + ")" + caption + extension;
        case NameFormat::kContentThenDate:
        case NameFormat::kDateThenContent: {
            const std::string date = "[" + DateTag(photo_.timestamp, choice.use_24_hour_clock) + "]";
            const std::string stem =
                choice.format == NameFormat::kDateThenContent ? date + caption : caption + date;
            if (!first_attempt || !taken_(Path(stem + extension))) return stem + extension;
            for (long long n = 1;; ++n) {
                std::string numbered = stem + "(" + std::to_string(n) + ")" + extension;
                if (!taken_(Path(numbered))) return numbered;
            }
        }
        case NameFormat::kContent: break;
    }
    if (!taken_(Path(caption + extension))) return caption + extension;
    return caption + "(" + number + ")" + extension;
}

}  // namespace wa
