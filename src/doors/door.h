// A door to a user's photos: the photo service, the album tab of the user's
// page, or any other way in. Each door is one module that lists a user's
// albums, gives the photo source of an album it listed, and carries its own
// words; the registry holds them in the order 自动 tries them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doors/album_ref.h"
#include "doors/photo_source.h"
#include "weibo/weibo_service.h"
#include "weibo/service_request.h"

namespace wa {

// Why a listing holds no albums, when the answer says more than "none".
enum class ListingProblem {
    kNone,
    kNoAnswer,     // no usable answer: none, a server error, or one that is not an album list
    kLoginNeeded,  // a login page
    kUnknownUser,
    kNoUserPage,   // the address names no user: the site's home page, say
    kStopped,
};

struct AlbumListing {
    std::vector<AlbumRef> albums;
    ListingProblem problem = ListingProblem::kNone;
    std::string reason;  // why there was no usable answer, for the user
    std::string door;    // the door that listed them; the registry stamps it, and each album's
};

// How a door is named: in commands and album keys ("photo"), as the value of
// 相册来源 in 配置.ini ("相册服务"), on the settings page, and in the command
// line's help, with how its albums' keys look.
struct DoorWords {
    std::string_view key;
    std::string_view setting;
    std::string_view label;
    std::string_view about;  // "the photo service"
    std::string_view keys;   // "<id>@@<type>"
};

// What doors keep for the length of one run, such as the posts the album tab
// has read: made the first time a door asks, gone with the run.
class RunScratch {
public:
    template <typename T>
    std::shared_ptr<T> Of(std::string_view door) {
        std::lock_guard lock(mutex_);
        std::shared_ptr<void>& kept = kept_[std::string(door)];
        if (!kept) kept = std::make_shared<T>();
        return std::static_pointer_cast<T>(kept);
    }

private:
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<void>> kept_;
};

// What is remembered of a user's doors between runs: when a door was last
// found closed for them.
class DoorMemory {
public:
    virtual ~DoorMemory() = default;
    virtual std::optional<std::int64_t> ClosedAt(std::string_view door) = 0;  // Unix seconds
    virtual void SetClosed(std::string_view door, std::optional<std::int64_t> at) = 0;
};

class Door {
public:
    virtual ~Door() = default;
    virtual DoorWords Words() const = 0;
    // The user's albums behind this door, in its order, empty ones included;
    // the registry stamps them with the door.
    virtual AlbumListing ListAlbums(std::string_view uid, const ServiceRequest& request) const = 0;
    // The photos of an album this door listed.
    virtual std::unique_ptr<PhotoSource> SourceOf(const AlbumRef& album, const SourceContext& context) const = 0;
    // The album an album key of this door names, without its name, count or
    // door (the registry stamps it); nullopt for a key of another door.
    virtual std::optional<AlbumRef> AlbumOfKey(std::string_view key) const = 0;
    // The host of its own it asks besides the site, if any.
    virtual std::optional<ServiceHost> Host() const { return std::nullopt; }
};

// A door made of its parts: its words, its album list, its photo source (a
// PhotoSource made from the album and the context), its album keys and the
// host of its own.
template <typename Source>
class DoorOf final : public Door {
public:
    using List = AlbumListing (*)(std::string_view uid, const ServiceRequest& request);
    using KeyReader = std::optional<AlbumRef> (*)(std::string_view key);
    DoorOf(DoorWords words, List list, KeyReader album_of_key, std::optional<ServiceHost> host = std::nullopt)
        : words_(words), list_(list), album_of_key_(album_of_key), host_(host) {}

    DoorWords Words() const override { return words_; }
    AlbumListing ListAlbums(std::string_view uid, const ServiceRequest& request) const override {
        return list_(uid, request);
    }
    std::unique_ptr<PhotoSource> SourceOf(const AlbumRef& album, const SourceContext& context) const override {
        return std::make_unique<Source>(album, context);
    }
    std::optional<AlbumRef> AlbumOfKey(std::string_view key) const override { return album_of_key_(key); }
    std::optional<ServiceHost> Host() const override { return host_; }

private:
    DoorWords words_;
    List list_;
    KeyReader album_of_key_;
    std::optional<ServiceHost> host_;
};

}  // namespace wa
