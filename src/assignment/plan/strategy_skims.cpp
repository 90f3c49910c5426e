#include "assignment/plan/strategy_skims.hpp"

#include "base/failure.hpp"

namespace vemo {

StrategySkims::StrategySkims(std::size_t node_count, std::size_t skim_count, bool with_boarding)
    : waiting(filled_vector(node_count, 0.0)),
      skims(filled_vector(checked_size_product(skim_count, node_count), 0.0)),
      no_boarding(with_boarding ? filled_vector(node_count, 0.0) : std::vector<double>()) {}

}  // namespace vemo
