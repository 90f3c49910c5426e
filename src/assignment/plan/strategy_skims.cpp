#include "assignment/plan/strategy_skims.hpp"

#include "base/failure.hpp"

namespace vemo {

StrategySkims::StrategySkims(std::size_t node_count, std::size_t skim_count, bool with_boarding)
    : skim_count_(skim_count),
      with_boarding_(with_boarding),
      width_(1 + skim_count + (with_boarding ? 1 : 0)),
      values_(filled_vector(checked_size_product(width_, node_count), 0.0)) {}

}  // namespace vemo
