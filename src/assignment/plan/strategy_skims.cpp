#include "assignment/plan/strategy_skims.hpp"

#include "base/failure.hpp"

namespace vemo {

StrategySkims::StrategySkims(std::size_t node_count, std::size_t skim_count, bool with_boarding,
                             std::optional<std::span<const std::size_t>> trip_end_skims)
    : skim_count_(skim_count),
      with_boarding_(with_boarding),
      with_ends_(with_boarding && trip_end_skims.has_value()),
      split_(with_ends_ ? std::vector<std::size_t>(trip_end_skims->begin(), trip_end_skims->end())
                        : std::vector<std::size_t>()),
      no_boarding_(1 + skim_count),
      ends_(no_boarding_ + (with_boarding ? 1 : 0)),
      width_(ends_ + (with_ends_ ? 1 + 3 * split_.size() : 0)),
      values_(filled_vector(checked_size_product(width_, node_count), 0.0)) {}

}  // namespace vemo
