#include "download/picture_story.h"

#include <cstdio>
#include <mutex>

#include "util/date_time.h"
#include "util/text.h"

// Debian's exiv2 0.27 hands out std::auto_ptr, which C++17 deprecates.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace wa {
namespace {

// exiv2's XMP toolkit keeps state of its own: it is set up once, and every
// use of the library here is one at a time.
std::mutex& Exiv2Lock() {
    static std::mutex lock;
    return lock;
}

void SetUpExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::XmpParser::initialize();
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);  // what goes wrong is said by the caller
    });
}

// Text as XML can carry it: valid UTF-8, without the C0 controls besides
// tab and line breaks, which no XML reader takes.
std::string XmlSafe(std::string_view text) {
    std::string out;
    for (const char32_t c : Utf8ToUtf32(IsValidUtf8(text) ? text : std::string_view())) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') continue;
        if (c == 0xFFFE || c == 0xFFFF) continue;
        AppendUtf8(out, c);
    }
    return out;
}

// Windows' XP fields: UTF-16LE, ending in a 0.
Exiv2::DataValue XpText(const std::string& text) {
    const std::u16string wide = Utf8ToUtf16(text) + u'\0';
    Exiv2::DataValue value(Exiv2::unsignedByte);
    std::string bytes;
    for (const char16_t c : wide) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    value.read(reinterpret_cast<const Exiv2::byte*>(bytes.data()), static_cast<long>(bytes.size()));
    return value;
}

void AddXmpText(Exiv2::XmpData& xmp, const char* key, const std::string& text) {
    if (text.empty()) return;
    Exiv2::XmpTextValue value;
    value.value_ = text;  // as it is: read() would take a leading "type=" as an instruction
    xmp.add(Exiv2::XmpKey(key), &value);
}

void WriteExif(Exiv2::ExifData& exif, const PictureStory& story, const std::string& caption) {
    // A date the picture carries is the camera's, and stays.
    const bool dated = exif.findKey(Exiv2::ExifKey("Exif.Photo.DateTimeOriginal")) != exif.end();
    if (story.upload_seconds && *story.upload_seconds > 0 && !dated) {
        exif["Exif.Photo.DateTimeOriginal"] = ExifBeijingTime(*story.upload_seconds);
        exif["Exif.Photo.OffsetTimeOriginal"] = std::string("+08:00");
    }
    if (!caption.empty()) {
        const Exiv2::DataValue windows_text = XpText(caption);
        exif.add(Exiv2::ExifKey("Exif.Image.XPTitle"), &windows_text);
        exif.add(Exiv2::ExifKey("Exif.Image.XPComment"), &windows_text);
    }
}

void WriteXmp(Exiv2::XmpData& xmp, const PictureStory& story, const std::string& caption) {
    if (!caption.empty()) {
        Exiv2::LangAltValue description;
        description.value_["x-default"] = caption;  // as it is: read() would parse a leading "lang="
        xmp.add(Exiv2::XmpKey("Xmp.dc.description"), &description);
    }
    if (const std::string creator = XmlSafe(story.creator); !creator.empty()) {
        Exiv2::XmpArrayValue creators(Exiv2::xmpSeq);
        creators.read(creator);
        xmp.add(Exiv2::XmpKey("Xmp.dc.creator"), &creators);
    }
    AddXmpText(xmp, "Xmp.dc.source", XmlSafe(story.source));
    AddXmpText(xmp, "Xmp.dc.identifier", XmlSafe(story.photo_id));
}

// Unix seconds in Beijing time, its fields written by `format` from year to second.
std::string BeijingTimeText(std::int64_t seconds, const char* format) {
    const DateTime time = BeijingTime(seconds);
    char text[48];
    std::snprintf(text, sizeof text, format, time.year, time.month, time.day, time.hour, time.minute, time.second);
    return text;
}

}  // namespace

bool TakesStory(std::string_view head) {
    return head.starts_with("\xFF\xD8\xFF") || head.starts_with("\x89PNG\r\n\x1A\n");
}

std::string ExifBeijingTime(std::int64_t seconds) { return BeijingTimeText(seconds, "%04d:%02d:%02d %02d:%02d:%02d"); }

std::string IsoBeijingTime(std::int64_t seconds) {
    return BeijingTimeText(seconds, "%04d-%02d-%02dT%02d:%02d:%02d+08:00");
}

std::string WriteStory(std::string_view picture, const PictureStory& story, std::string& told) {
    if (!TakesStory(picture)) return "不是JPEG或PNG图片";
    SetUpExiv2();
    std::lock_guard lock(Exiv2Lock());
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(picture.data()),
                                                                static_cast<long>(picture.size()));
        image->readMetadata();
        const std::string caption = XmlSafe(story.caption);
        WriteExif(image->exifData(), story, caption);
        WriteXmp(image->xmpData(), story, caption);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();  // in memory: its bytes as they stand, no copy
        const long size = static_cast<long>(io.size());
        const Exiv2::byte* written = size > 0 ? io.mmap() : nullptr;
        if (!written) return "写入后的图片为空";
        told.assign(reinterpret_cast<const char*>(written), static_cast<std::size_t>(size));
        io.munmap();
        return {};
    } catch (const Exiv2::AnyError& error) {
        return std::string("exiv2：") + error.what();
    } catch (const std::exception& error) {
        return std::string("exiv2：") + error.what();
    }
}

}  // namespace wa

#pragma GCC diagnostic pop
