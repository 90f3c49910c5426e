#include "binding/parameter_groups.hpp"

#include "binding/congestion_defaults.hpp"
#include "binding/extract_sequence.hpp"
#include "binding/float_value.hpp"
#include "binding/index_value.hpp"

namespace vemo {

// Each member is initialised in declaration order, which is the parameter order.
ArcListArguments ArcListGroup::extract(const BoundArguments& bound, std::size_t first) {
    return {
        .arcs = {bound.extract(first, to_index_vector), bound.extract(first + 1, to_index_vector),
                 bound.extract(first + 2, to_f32_vector), bound.extract(first + 3, to_f32_vector)},
        .demands = bound.extract(first + 4, to_f32_vector),
        .dsts = bound.extract(first + 5, to_index_vector)};
}

LineDescriptionArguments LineDescriptionGroup::extract(const BoundArguments& bound,
                                                       std::size_t first) {
    return {bound.extract(first, to_index_matrix), bound.extract(first + 1, to_f32_vector),
            bound.extract(first + 2, to_f32_matrix), bound.extract(first + 3, to_f32_matrix)};
}

CongestionParameters CongestionGroup::extract(const BoundArguments& bound, std::size_t first) {
    return {{.shared = bound.extract(first, to_f32)},
            bound.extract_or(first + 1, to_f32, kDefaultAverageDecayFactor),
            bound.extract_or(first + 2, to_f32, kDefaultBeta),
            bound.extract_or(first + 3, to_f32, kDefaultTol),
            bound.extract_or(first + 4, to_index, kDefaultMaxIters)};
}

}  // namespace vemo
