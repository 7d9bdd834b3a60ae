#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "base/errors.h"
#include "surface/surface.h"

namespace lumigrid {

namespace {
// Below this a plain heap block is cheaper than a mapping of its own.
constexpr std::uint64_t kMapThreshold = 4u << 20;
}  // namespace

std::size_t bytes_per_pixel(PixelFormat format) {
  return format == PixelFormat::Rgb32 ? 4 : 1;
}

std::uint64_t surface_byte_count(std::int64_t width, std::int64_t height, PixelFormat format) {
  if (width < 0 || height < 0) {
    throw Error("Invalid surface size " + std::to_string(width) + " x " + std::to_string(height));
  }
  const std::uint64_t row = std::uint64_t(width) * bytes_per_pixel(format);  // < 2^35
  const std::uint64_t limit = std::uint64_t(INT64_MAX);
  if (height != 0 && row > limit / std::uint64_t(height)) {
    throw Error("Surface of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels is too large");
  }
  return row * std::uint64_t(height);
}

PixelBuffer::PixelBuffer(std::uint64_t bytes) : size_(bytes) {
  if (bytes == 0) return;
  if (bytes > SIZE_MAX) throw std::bad_alloc();
  if (bytes >= kMapThreshold) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(p, bytes, MADV_HUGEPAGE);
#endif
    data_ = static_cast<std::uint8_t*>(p);
    mapped_ = true;
  } else {
    data_ = static_cast<std::uint8_t*>(::operator new(bytes));
  }
}

PixelBuffer::~PixelBuffer() {
  release();
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, false)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void PixelBuffer::release() noexcept {
  if (data_ == nullptr) return;
  if (mapped_) {
    munmap(data_, size_);
  } else {
    ::operator delete(data_);
  }
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

std::uint32_t pixel_value(Colour colour, PixelFormat format) {
  const std::uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
  if (format == PixelFormat::Rgb32) return 0xFF000000u | (r << 16) | (g << 8) | b;
  // Rec. 601 luma, exact for black and white, the only colours a page uses.
  return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

Surface::Surface(std::int32_t width, std::int32_t height, PixelFormat format, Colour fill)
    : width_(width), height_(height), format_(format) {
  const std::uint64_t bytes = surface_byte_count(width, height, format);
  stride_ = std::size_t(width) * bytes_per_pixel(format);
  buffer_ = PixelBuffer(bytes);
  this->fill(fill);
}

Colour Surface::pixel(std::int32_t x, std::int32_t y) const {
  const std::uint8_t* row = rowData(y);
  if (format_ == PixelFormat::Gray8) {
    const Colour v = row[x];
    return v | (v << 8) | (v << 16);
  }
  std::uint32_t v;
  std::memcpy(&v, row + std::size_t(x) * 4, 4);
  return ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);
}

void Surface::fill(Colour colour) {
  if (buffer_.size() == 0) return;  // an empty surface has no memory to pass to memset
  const std::uint32_t v = pixel_value(colour, format_);
  if (format_ == PixelFormat::Gray8) {
    std::memset(buffer_.data(), int(v), buffer_.size());
  } else {
    auto* p = reinterpret_cast<std::uint32_t*>(buffer_.data());
    std::fill(p, p + buffer_.size() / 4, v);
  }
}

void Surface::resize(std::int32_t width, std::int32_t height, Colour fill) {
  if (width == width_ && height == height_) return;
  Surface next(width, height, format_, fill);
  const std::int32_t keep_w = std::min(width, width_), keep_h = std::min(height, height_);
  const std::size_t keep_bytes = std::size_t(keep_w) * bytes_per_pixel(format_);
  if (keep_bytes != 0) {
    for (std::int32_t y = 0; y < keep_h; ++y) std::memcpy(next.rowData(y), rowData(y), keep_bytes);
  }
  width_ = width;
  height_ = height;
  stride_ = next.stride_;
  buffer_ = std::move(next.buffer_);
}

}  // namespace lumigrid
