// A print server's answer as it comes off the network: any bytes read as IPP from memory, the
// queue's attributes taken from it, the paper chosen for a page of a named paper and for one of
// none, and the warnings made. Refusals are lumigrid::Errors; a crash, undefined behaviour, a
// hang or a text with control characters is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>

#include "base/errors.h"
#include "print/ipp_answer.h"
#include "print/print_layout.h"
#include "print/server_text.h"

namespace {

// No C0 or C1 control, DEL or bidirectional override reaches the operator.
bool is_clean(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) return false;
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return false;
    }
    if (byte == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80) {
      const auto last = static_cast<unsigned char>(text[i + 2]);
      if (last >= 0xAA && last <= 0xAE) return false;
    }
  }
  return true;
}

void check_plan(const lumigrid::PrintQueue& queue, std::int32_t width, std::int32_t height,
                const std::optional<lumigrid::WantedPaper>& paper) {
  try {
    const lumigrid::PrintPlan plan = lumigrid::plan_print(queue, width, height, paper, paper);
    if (plan.layout.width < 0 || plan.layout.height < 0 || plan.layout.width > width ||
        plan.layout.height > height || plan.layout.left < 0 || plan.layout.top < 0) {
      std::abort();
    }
    for (const std::string& warning : lumigrid::print_warnings(queue, plan)) {
      if (!is_clean(warning)) std::abort();
    }
  } catch (const lumigrid::Error&) {
    // The queue names no paper at all.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  if (!is_clean(
          lumigrid::clean_server_text(std::string(reinterpret_cast<const char*>(data), size)))) {
    std::abort();
  }
  const lumigrid::Ipp answer = lumigrid::read_ipp_answer(bytes);
  if (!answer) return 0;
  const lumigrid::PrintQueue queue = lumigrid::queue_from(answer.get(), "Q");
  if (!is_clean(queue.state_message)) std::abort();
  if (const auto refusal = lumigrid::queue_refusal(queue); refusal && !is_clean(*refusal)) {
    std::abort();
  }
  static const auto a4 = lumigrid::page_paper(u"A4");
  check_plan(queue, 7016, 4961, a4);
  check_plan(queue, 960, 540, std::nullopt);
  lumigrid::offers_600_dpi(queue);
  return 0;
}
