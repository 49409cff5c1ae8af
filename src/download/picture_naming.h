// Names of saved pictures: the post text, a sequence number and the upload
// date in the five formats the user can choose, with the fallbacks used when a
// name cannot be written. CleanName also keeps user and album folder names
// free of path characters.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "doors/photo_source.h"

namespace wa {

class RegexMatcher;

// In the order the naming buttons are tested; kContent also applies when no
// button is checked.
enum class NameFormat {
    kContentThenNumber = 1,  // 微博内容+下载序号: C(S)E
    kNumberThenContent = 2,  // 下载序号+微博内容(默认): (S)CE
    kContentThenDate = 3,    // 微博内容+发布日期: C[D]E
    kDateThenContent = 4,    // 发布日期+内容: [D]CE
    kContent = 5,            // 微博内容: CE
};

enum class SequenceScheme {
    kRunning,    // 1, 2, 3 ...
    kPageCycle,  // 1-1 ... 1-100, 2-1 ...
};

// Removes : \ / ? * < > | ：、？。（）·！，. blank &, control characters
// (C0, DEL, C1), bidi controls and zero-width characters from the text;
// invalid UTF-8 becomes U+FFFD.
std::string CleanName(std::string_view text);

// The longest name a file system takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// `head`, as much of `middle` as fits, and `tail`: a name of at most 255
// bytes, cut on a character boundary; a name that fits is unchanged.
std::string FitName(std::string_view head, std::string_view middle, std::string_view tail);

// `path` with "(n)" before its extension: the name a picture gets when every
// naming attempt is taken by another file. The name before it shrinks to fit.
std::string NumberedPath(std::string_view path, long long n);

// The name of a live photo's video beside its still: the still's path with
// ".mp4" when the video's address or its bytes (`mp4_bytes`) say MP4, else
// ".mov". Never another extension: a file manager opens a file by it.
std::string VideoPath(std::string_view picture_path, std::string_view video_url, bool mp4_bytes = false);

// The page-cycle scheme's numbers run 1-1 ... 1-100, 2-1 ...
inline constexpr int kNumbersPerCycle = 100;

// The sequence number of the `sequence`-th photo listed in the album
// (1-based): "137", or "2-37" in the page-cycle scheme.
std::string SequenceText(SequenceScheme scheme, long long sequence);

// The upload minute as "2014.05.14 00.53" (UTC+8).
std::string DateTag(std::int64_t upload_seconds, bool use_24_hour_clock);

// The extension of a picture's file: what its bytes are (".jpg", ".png",
// ".gif", ".webp"), or where they tell nothing, ".gif" for a gif and ".jpg"
// for the rest.
std::string PictureExtension(PhotoKind kind, std::string_view bytes = {});

// The post text as it enters a file name: cleaned, without quotes,
// backslashes, line breaks, "?" and blanks.
std::string CaptionForName(std::string_view caption);

// Builds the three candidate paths of one photo, in order (names alone for
// an empty folder). The collision rules ask `taken` whether a name is in use
// when a path is asked for; by default any existing file takes a name.
class PictureNamer {
public:
    using NameTaken = std::function<bool(const std::string& path)>;

    struct Choice {
        NameFormat format = NameFormat::kNumberThenContent;
        SequenceScheme scheme = SequenceScheme::kRunning;
        bool use_24_hour_clock = true;
        std::string extension;  // what the file's bytes are; empty: by the photo's kind
    };

    // `sequence`: the photo's place among those listed in the album, from 1.
    PictureNamer(std::string album_folder, const PhotoRecord& photo, long long sequence, RegexMatcher& matcher,
                 NameTaken taken = {});

    // Attempt 1: the chosen format on the full caption; attempt 2: the same on
    // its Chinese characters only; attempt 3: the photo id, cleaned.
    std::string PicturePath(int attempt, const Choice& choice);

private:
    std::string BuildName(std::string caption, const Choice& choice, bool first_attempt);
    std::string Path(const std::string& name) const { return folder_ + name; }
    std::string Extension(const Choice& choice) const {
        return choice.extension.empty() ? PictureExtension(photo_.kind) : choice.extension;
    }

    std::string folder_;  // ends in "/"; empty for names alone
    const PhotoRecord& photo_;
    long long sequence_;
    RegexMatcher& matcher_;
    NameTaken taken_;
    std::optional<std::string> caption_used_;  // the caption attempt 1 ended up with
};

}  // namespace wa
