// Real picture bytes for the fake service: small JPEG, PNG and GIF images that
// decoders accept, optionally padded to a chosen size.
#pragma once

#include <cstddef>
#include <string>

namespace wa::fake {

enum class PictureFormat { kJpeg, kPng, kGif };

// A `width` x `height` picture tinted by `seed`. A JPEG is padded with
// application segments to about `size` bytes when `size` is larger than the
// picture.
// A JPEG `jpeg` that carries the capture date `date` ("2019:05:04 10:11:12")
// in an EXIF segment of its own, as a camera writes it.
std::string WithCaptureDate(const std::string& jpeg, const std::string& date);

std::string MakePicture(PictureFormat format, unsigned seed, std::size_t size = 0, int width = 64,
                        int height = 48);

}  // namespace wa::fake
