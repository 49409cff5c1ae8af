#include "download/picture_naming.h"

#include <sys/stat.h>

#include "util/date_time.h"
#include "util/regex_matcher.h"
#include "util/text.h"
#include "net/http_text.h"

namespace wa {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Characters that change how a name reads without showing: a name holding
// one may pass for another (U+202E turns "gpj.exe" around).
bool IsInvisible(char32_t c) {
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || c == 0x2060 ||
           (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF || (c >= 0x80 && c <= 0x9F);
}

// The folder part (with its "/"), the stem and the extension of a path.
struct PathParts {
    std::string_view folder;
    std::string_view stem;
    std::string_view extension;
};

PathParts SplitPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start) dot = path.size();
    return {path.substr(0, start), path.substr(start, dot - start), path.substr(dot)};
}

}  // namespace

std::string CleanName(std::string_view text) {
    static constexpr std::string_view kRemoved[] = {":", "\\", "/", "?", "*", "<", ">", "|", "：", "、",
                                                    "？", "。", "（", "）", "·", "！", "，", ".", " ", "&"};
    // Valid UTF-8 only, and none of the control or invisible characters a
    // file name must not hold either.
    std::string out;
    for (const char32_t c : Utf8ToUtf32(Utf8BodyText(text))) {
        if (c >= 0x20 && c != 0x7F && !IsInvisible(c)) AppendUtf8(out, c);
    }
    for (const std::string_view piece : kRemoved) ReplaceAll(out, piece, "");
    return out;
}

std::string FitName(std::string_view head, std::string_view middle, std::string_view tail) {
    const std::size_t fixed = head.size() + tail.size();
    const std::size_t room = fixed >= kMaxNameBytes ? 0 : kMaxNameBytes - fixed;
    return std::string(head) + std::string(CutToBytes(middle, room)) + std::string(tail);
}

std::string NumberedPath(std::string_view path, long long n) {
    const PathParts parts = SplitPath(path);
    return std::string(parts.folder) + FitName("", parts.stem, "(" + std::to_string(n) + ")" + std::string(parts.extension));
}

std::string VideoPath(std::string_view picture_path, std::string_view video_url, bool mp4_bytes) {
    const bool mp4 = mp4_bytes || AsciiLower(UrlFileName(video_url)).ends_with(".mp4");
    const PathParts parts = SplitPath(picture_path);
    return std::string(parts.folder) + FitName("", parts.stem, mp4 ? ".mp4" : ".mov");
}

std::string SequenceText(SequenceScheme scheme, long long sequence) {
    if (scheme == SequenceScheme::kPageCycle) {
        return std::to_string((sequence - 1) / kNumbersPerCycle + 1) + "-" + std::to_string((sequence - 1) % kNumbersPerCycle + 1);
    }
    return std::to_string(sequence);
}

std::string DateTag(std::int64_t upload_seconds, bool use_24_hour_clock) {
    const DateTime moment = BeijingTime(upload_seconds);
    std::string tag = FormatDateTime(moment, DateStyle::kDashes, DateFields::kDate, use_24_hour_clock) + " " +
                      FormatDateTime(moment, DateStyle::kDashes, DateFields::kHourMinute, use_24_hour_clock);
    ReplaceAll(tag, ":", ".");
    ReplaceAll(tag, "-", ".");
    return tag;
}

std::string PictureExtension(PhotoKind kind, std::string_view bytes) {
    if (bytes.starts_with("\xFF\xD8\xFF")) return ".jpg";
    if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return ".png";
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return ".gif";
    if (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP") return ".webp";
    return kind == PhotoKind::kGif ? ".gif" : ".jpg";
}

std::string CaptionForName(std::string_view caption) {
    // Line breaks and tabs are no letters: they go as the blanks around them
    // do; quotes and backslashes go as they always have.
    std::string kept;
    kept.reserve(caption.size());
    for (const char c : caption) {
        if (c != '\r' && c != '\n' && c != '\t' && c != '"' && c != '\\') kept += c;
    }
    std::string name = CleanName(kept);
    ReplaceAll(name, "?", "");
    ReplaceAll(name, " ", "");
    ReplaceAll(name, "\u3000", "");
    return name;
}

PictureNamer::PictureNamer(std::string album_folder, const PhotoRecord& photo, long long sequence,
                           RegexMatcher& matcher, NameTaken taken)
    : folder_(std::move(album_folder)), photo_(photo), sequence_(sequence), matcher_(matcher),
      taken_(taken ? std::move(taken) : NameTaken(Exists)) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';  // empty: bare names
}

std::string PictureNamer::PicturePath(int attempt, const Choice& choice) {
    if (attempt >= 3) {
        // The id comes from the service: cleaned like any name, never empty.
        std::string id = CleanName(photo_.photo_id);
        if (id.empty()) id = "(" + SequenceText(choice.scheme, sequence_) + ")";
        return Path(FitName("", id, Extension(choice)));
    }
    if (attempt == 2) {
        if (!caption_used_) PicturePath(1, choice);  // attempt 2 builds on attempt 1's caption
        return Path(BuildName(HanziOnly(matcher_, *caption_used_), choice, false));
    }
    return Path(BuildName(CaptionForName(photo_.caption), choice, true));
}

std::string PictureNamer::BuildName(std::string caption, const Choice& choice, bool first_attempt) {
    const std::string number = SequenceText(choice.scheme, sequence_);
    const std::string extension = Extension(choice);
    if (choice.format == NameFormat::kContent && caption.empty()) caption = "(" + number + ")";
    if (first_attempt) caption_used_ = caption;

    // The caption is what shrinks when a name would not fit.
    switch (choice.format) {
        case NameFormat::kContentThenNumber: return FitName("", caption, "(" + number + ")" + extension);
        case NameFormat::kNumberThenContent: return FitName("(" + number + ")", caption, extension);
        case NameFormat::kContentThenDate:
        case NameFormat::kDateThenContent: {
            // A picture whose upload time nobody knows is named by its number.
            const std::string date = !photo_.upload_seconds
                                         ? "(" + number + ")"
                                         : "[" + DateTag(*photo_.upload_seconds, choice.use_24_hour_clock) + "]";
            const bool date_first = choice.format == NameFormat::kDateThenContent;
            const auto name = [&](const std::string& collision) {
                return date_first ? FitName(date, caption, collision + extension)
                                  : FitName("", caption, date + collision + extension);
            };
            if (!first_attempt || !taken_(Path(name("")))) return name("");
            for (long long n = 1;; ++n) {
                std::string numbered = name("(" + std::to_string(n) + ")");
                if (!taken_(Path(numbered))) return numbered;
            }
        }
        case NameFormat::kContent: break;
    }
    const std::string plain = FitName("", caption, extension);
    if (!taken_(Path(plain))) return plain;
    return FitName("", caption, "(" + number + ")" + extension);
}

}  // namespace wa
