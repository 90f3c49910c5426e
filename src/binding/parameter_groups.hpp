// The groups of parameters that the entry points share, and the declaration of a function as
// the list of its groups. From a declaration come the function's parameter table (names and
// defaults), its text signature and where each group's first parameter sits, so they always
// agree. Arguments are converted in parameter order (the first failing parameter decides the
// error) into the owned values of the computation.
#pragma once

#include <array>
#include <cstddef>
#include <tuple>
#include <utility>
#include <vector>

#include "assignment/congested_linear/linear_congested_assign.hpp"
#include "assignment/utils/arc_list.hpp"
#include "binding/function_description.hpp"

namespace vemo {

struct ArcListArguments {
    ArcVectors arcs;
    std::vector<float> demands;
    std::vector<std::size_t> dsts;
};

struct ArcListGroup {
    static constexpr Parameter kParameters[] = {{"from"},  {"to"},      {"arc_freqs"},
                                                {"costs"}, {"demands"}, {"dsts"}};
    using Value = ArcListArguments;
    static Value extract(const BoundArguments& bound, std::size_t first);
};

struct LineDescriptionArguments {
    std::vector<std::vector<std::size_t>> alignments;
    std::vector<float> freqs;
    std::vector<std::vector<float>> travel_time_mat;
    std::vector<std::vector<float>> demands_mat;
};

struct LineDescriptionGroup {
    static constexpr Parameter kParameters[] = {
        {"alignments"}, {"freqs"}, {"travel_time_mat"}, {"demands_mat"}};
    using Value = LineDescriptionArguments;
    static Value extract(const BoundArguments& bound, std::size_t first);
};

// capacity, then the optional scalars with the defaults of congestion_defaults.hpp.
struct CongestionGroup {
    static constexpr Parameter kParameters[] = {{"capacity"},
                                                {"average_decay_factor", "0.01"},
                                                {"beta", "0.2"},
                                                {"tol", "0.001"},
                                                {"max_iters", "1000"}};
    using Value = CongestionParameters;
    static Value extract(const BoundArguments& bound, std::size_t first);
};

template <class... Groups>
class Declaration {
public:
    constexpr explicit Declaration(const char* name) noexcept : name_(name) {}

    constexpr FunctionDescription description() const noexcept {
        return {name_, kParameters, kRequired};
    }

    // Binds the arguments of a call and converts them, one value per group.
    std::tuple<typename Groups::Value...> bind(PyObject* const* args, Py_ssize_t positional_count,
                                               PyObject* keyword_names) const {
        const FunctionDescription described = description();
        const BoundArguments bound =
            bind_arguments(described, args, positional_count, keyword_names);
        return extract(bound, std::index_sequence_for<Groups...>{});
    }

private:
    static constexpr std::size_t kCount = (std::size(Groups::kParameters) + ...);

    static constexpr std::array<Parameter, kCount> concatenated() {
        std::array<Parameter, kCount> all{};
        std::size_t next = 0;
        ((std::copy(std::begin(Groups::kParameters), std::end(Groups::kParameters),
                    all.begin() + next),
          next += std::size(Groups::kParameters)),
         ...);
        return all;
    }
    static constexpr std::array<Parameter, kCount> kParameters = concatenated();

    // The parameters before the first one with a default.
    static constexpr std::size_t kRequired = [] {
        std::size_t required = 0;
        while (required < kCount && kParameters[required].default_text == nullptr) ++required;
        return required;
    }();

    // Where group `index` starts.
    static constexpr std::size_t first_of(std::size_t index) {
        constexpr std::array<std::size_t, sizeof...(Groups)> sizes{
            std::size(Groups::kParameters)...};
        std::size_t first = 0;
        for (std::size_t i = 0; i < index; ++i) first += sizes[i];
        return first;
    }

    template <std::size_t... Index>
    static std::tuple<typename Groups::Value...> extract(const BoundArguments& bound,
                                                         std::index_sequence<Index...>) {
        // A braced list is evaluated left to right: the groups convert in parameter order.
        return std::tuple<typename Groups::Value...>{Groups::extract(bound, first_of(Index))...};
    }

    const char* name_;
};

}  // namespace vemo
