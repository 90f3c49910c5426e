#include "assignment/plan/strategy_skims.hpp"

#include "base/failure.hpp"

namespace vemo {

ArcSkimTable::ArcSkimTable(std::span<const std::span<const float>> skim_values,
                           std::size_t arc_count)
    : skim_count_(skim_values.size()),
      values_(filled_vector(checked_size_product(arc_count, skim_count_), 0.0f)) {
    for (std::size_t k = 0; k < skim_count_; ++k) {
        const std::span<const float> values = skim_values[k];
        if (values.size() < arc_count) fail_range_end(arc_count, values.size());
        for (std::size_t a = 0; a < arc_count; ++a) values_[a * skim_count_ + k] = values[a];
    }
}

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
