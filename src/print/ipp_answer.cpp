#include "print/ipp_answer.h"

#include <cups/pwg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "print/server_text.h"

namespace lumigrid {

namespace {

// Hundredths of a millimetre between a paper's name and its size in the server's database.
constexpr std::int64_t kSameSheet = 100;

struct MemoryReader {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;
};

ssize_t read_memory(void* context, ipp_uchar_t* buffer, std::size_t wanted) {
  auto* reader = static_cast<MemoryReader*>(context);
  const std::size_t count = std::min(wanted, reader->bytes.size() - reader->at);
  if (count > 0) std::memcpy(buffer, reader->bytes.data() + reader->at, count);
  reader->at += count;
  return static_cast<ssize_t>(count);
}

bool sane_side(std::int64_t hundredths) {
  return hundredths > 0 && hundredths <= kLargestSheetSide;
}

// A margin the sheet can have: none or more, and less than the sheet's side.
bool sane_margin(std::int64_t hundredths) {
  return hundredths >= 0 && hundredths < kLargestSheetSide;
}

std::optional<std::int32_t> integer(ipp_t* collection, const char* name) {
  ipp_attribute_t* attribute = ippFindAttribute(collection, name, IPP_TAG_INTEGER);
  if (attribute == nullptr || ippGetCount(attribute) < 1) return std::nullopt;
  return ippGetInteger(attribute, 0);
}

// A media-col's size and margins; nothing for a range of sizes (custom ones) or for numbers no
// sheet has (a margin of its own width or more, a negative one).
std::optional<PrintMedia> media_from_collection(ipp_t* collection) {
  if (collection == nullptr) return std::nullopt;
  ipp_attribute_t* size_attribute =
      ippFindAttribute(collection, "media-size", IPP_TAG_BEGIN_COLLECTION);
  if (size_attribute == nullptr) return std::nullopt;
  ipp_t* size = ippGetCollection(size_attribute, 0);
  if (size == nullptr) return std::nullopt;
  const auto x = integer(size, "x-dimension");
  const auto y = integer(size, "y-dimension");
  if (!x || !y || !sane_side(*x) || !sane_side(*y)) return std::nullopt;
  PrintMedia media;
  media.width = *x;
  media.length = *y;
  const auto left = integer(collection, "media-left-margin").value_or(0);
  const auto right = integer(collection, "media-right-margin").value_or(0);
  const auto top = integer(collection, "media-top-margin").value_or(0);
  const auto bottom = integer(collection, "media-bottom-margin").value_or(0);
  for (const std::int32_t margin : {left, right, top, bottom}) {
    if (!sane_margin(margin)) return std::nullopt;
  }
  if (std::int64_t(left) + right > media.width || std::int64_t(top) + bottom > media.length) {
    return std::nullopt;
  }
  media.left = left;
  media.right = right;
  media.top = top;
  media.bottom = bottom;
  return media;
}

// The smallest of a margin's supported values that a sheet can have; 0 without one.
std::int32_t smallest(ipp_t* response, const char* name) {
  ipp_attribute_t* attribute = ippFindAttribute(response, name, IPP_TAG_INTEGER);
  if (attribute == nullptr) return 0;
  std::optional<std::int32_t> least;
  for (int i = 0; i < ippGetCount(attribute); ++i) {
    const std::int32_t value = ippGetInteger(attribute, i);
    if (!sane_margin(value)) continue;
    least = least ? std::min(*least, value) : value;
  }
  return least.value_or(0);
}

// A keyword as IPP spells one: letters, digits, "-", "_" and ".", at most 255 of them. A media
// name is shown and sent back as it is, so nothing else is taken.
bool is_keyword(const char* text) {
  if (text == nullptr) return false;
  const std::string_view keyword(text);
  if (keyword.empty() || keyword.size() > 255) return false;
  return std::all_of(keyword.begin(), keyword.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
  });
}

// A standard media name's size, when it names a sane one.
std::optional<PrintMedia> named_media(const char* keyword) {
  const pwg_media_t* pwg = is_keyword(keyword) ? pwgMediaForPWG(keyword) : nullptr;
  if (pwg == nullptr || !sane_side(pwg->width) || !sane_side(pwg->length)) return std::nullopt;
  PrintMedia media;
  media.keyword = keyword;
  media.width = pwg->width;
  media.length = pwg->length;
  return media;
}

// A resolution's unit as the number the answer carries: libcups stores the answer's byte in an
// enumeration without checking it, so the value is copied out as an integer, never loaded as
// the enumeration.
int resolution_unit(ipp_attribute_t* attribute, int element, int& x, int& y) {
  ipp_res_t units = IPP_RES_PER_INCH;
  x = ippGetResolution(attribute, element, &y, &units);
  static_assert(sizeof units == sizeof(int));
  int unit = 0;
  std::memcpy(&unit, &units, sizeof unit);
  return unit;
}

}  // namespace

Ipp read_ipp_answer(std::span<const std::uint8_t> bytes) {
  MemoryReader reader{bytes};
  Ipp answer(ippNew());
  if (ippReadIO(&reader, read_memory, 1, nullptr, answer.get()) != IPP_STATE_DATA) return nullptr;
  return answer;
}

PrintQueue queue_from(ipp_t* response, const std::string& name) {
  PrintQueue queue;
  queue.name = name;
  if (ipp_attribute_t* a =
          ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN)) {
    queue.accepting_jobs = ippGetBoolean(a, 0) != 0;
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM)) {
    queue.paused = ippGetInteger(a, 0) == int(IPP_PSTATE_STOPPED);
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT)) {
    if (const char* text = ippGetString(a, 0, nullptr)) {
      queue.state_message = clean_server_text(text);
    }
  }

  // The sizes the server lists with their margins.
  std::vector<PrintMedia> database;
  if (ipp_attribute_t* a =
          ippFindAttribute(response, "media-col-database", IPP_TAG_BEGIN_COLLECTION)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      if (auto media = media_from_collection(ippGetCollection(a, i))) database.push_back(*media);
    }
  }
  queue.custom_margins.left = smallest(response, "media-left-margin-supported");
  queue.custom_margins.right = smallest(response, "media-right-margin-supported");
  queue.custom_margins.top = smallest(response, "media-top-margin-supported");
  queue.custom_margins.bottom = smallest(response, "media-bottom-margin-supported");
  // A listed name's sheet as the server describes it: the nearest size of its database within a
  // millimetre (the name's nominal size may be rounded there), with that size's margins.
  const auto with_margins = [&](PrintMedia media) {
    const PrintMedia* nearest = nullptr;
    std::int64_t nearest_distance = kSameSheet + 1;
    for (const PrintMedia& listed : database) {
      const std::int64_t distance = std::max(std::abs(std::int64_t(listed.width) - media.width),
                                             std::abs(std::int64_t(listed.length) - media.length));
      if (distance < nearest_distance) {
        nearest = &listed;
        nearest_distance = distance;
      }
    }
    const PrintMedia& margins = nearest != nullptr ? *nearest : queue.custom_margins;
    if (nearest != nullptr) {
      media.width = nearest->width;
      media.length = nearest->length;
    }
    media.left = margins.left;
    media.right = margins.right;
    media.top = margins.top;
    media.bottom = margins.bottom;
    return media;
  };

  if (ipp_attribute_t* a = ippFindAttribute(response, "media-supported", IPP_TAG_ZERO)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      const char* keyword = ippGetString(a, i, nullptr);
      const auto media = named_media(keyword);
      if (!media) continue;
      const std::string_view listed(keyword);
      if (listed.starts_with("custom_min_")) {
        queue.custom_min = media;
      } else if (listed.starts_with("custom_max_")) {
        queue.custom_max = media;
      } else {
        queue.media.push_back(with_margins(*media));
      }
    }
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "media-default", IPP_TAG_ZERO)) {
    const char* keyword = ippGetString(a, 0, nullptr);
    const auto listed = std::find_if(
        queue.media.begin(), queue.media.end(),
        [&](const PrintMedia& m) { return keyword != nullptr && m.keyword == keyword; });
    if (listed != queue.media.end()) {
      queue.default_media = *listed;
    } else if (const auto media = named_media(keyword)) {
      queue.default_media = with_margins(*media);
    }
  }

  if (ipp_attribute_t* a = ippFindAttribute(response, "print-color-mode-supported", IPP_TAG_ZERO)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      const char* mode = ippGetString(a, i, nullptr);
      if (mode != nullptr) queue.colour_modes.push_back(clean_server_text(mode));
    }
  }
  if (ipp_attribute_t* a = ippFindAttribute(response, "printer-make-and-model", IPP_TAG_ZERO)) {
    if (const char* text = ippGetString(a, 0, nullptr)) {
      queue.make_and_model = clean_server_text(text);
    }
  }
  queue.cups_filters = ippFindAttribute(response, "printer-type", IPP_TAG_ENUM) != nullptr;

  if (ipp_attribute_t* a =
          ippFindAttribute(response, "printer-resolution-supported", IPP_TAG_RESOLUTION)) {
    for (int i = 0; i < ippGetCount(a); ++i) {
      int x = 0;
      int y = 0;
      const int unit = resolution_unit(a, i, x, y);
      if (x != y || x < 1 || x > kHighestResolution) continue;
      std::int32_t dpi = 0;
      if (unit == int(IPP_RES_PER_INCH)) {
        dpi = x;
      } else if (unit == int(IPP_RES_PER_CM)) {
        // At most 254000: the range checked above keeps it an int.
        dpi = std::int32_t(std::lround(x * 2.54));
      } else {
        continue;  // a unit IPP does not have
      }
      if (std::find(queue.resolutions_dpi.begin(), queue.resolutions_dpi.end(), dpi) ==
          queue.resolutions_dpi.end()) {
        queue.resolutions_dpi.push_back(dpi);
      }
    }
  }
  return queue;
}

}  // namespace lumigrid
