#include "export/colour_profile.h"

#include <lcms2.h>

#include <memory>

#include "base/errors.h"

namespace lumigrid {

namespace {

struct ProfileCloser {
  void operator()(void* profile) const { cmsCloseProfile(profile); }
};

std::vector<std::uint8_t> make_srgb_profile() {
  const std::unique_ptr<void, ProfileCloser> profile(cmsCreate_sRGBProfile());
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) {
    throw Error("Unable to make the sRGB colour profile");
  }
  std::vector<std::uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) {
    throw Error("Unable to make the sRGB colour profile");
  }
  bytes.resize(size);
  return bytes;
}

}  // namespace

const std::vector<std::uint8_t>& srgb_icc_profile() {
  static const std::vector<std::uint8_t> kProfile = make_srgb_profile();
  return kProfile;
}

}  // namespace lumigrid
