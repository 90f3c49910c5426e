#include "binding/parameter_groups.hpp"

#include "binding/congestion_defaults.hpp"
#include "binding/extract_sequence.hpp"
#include "binding/float_value.hpp"
#include "binding/index_value.hpp"

namespace vemo {

// Each member is initialised in declaration order, which is the parameter order.
ArcListArguments extract_arc_list(const BoundArguments& bound) {
    return {bound.extract(0, to_index_vector), bound.extract(1, to_index_vector),
            bound.extract(2, to_f32_vector),   bound.extract(3, to_f32_vector),
            bound.extract(4, to_f32_vector),   bound.extract(5, to_index_vector)};
}

LineDescriptionArguments extract_line_description(const BoundArguments& bound) {
    return {bound.extract(0, to_index_matrix), bound.extract(1, to_f32_vector),
            bound.extract(2, to_f32_matrix), bound.extract(3, to_f32_matrix)};
}

CongestionArguments extract_congestion(const BoundArguments& bound, std::size_t first) {
    return {bound.extract(first, to_f32),
            bound.extract_or(first + 1, to_f32, kDefaultAverageDecayFactor),
            bound.extract_or(first + 2, to_f32, kDefaultBeta),
            bound.extract_or(first + 3, to_f32, kDefaultTol),
            bound.extract_or(first + 4, to_index, kDefaultMaxIters)};
}

}  // namespace vemo
