// Implementation notes.
//
// A label-setting search over arcs, in decreasing queue priority (increasing head cost plus
// arc cost, on the 1/60000 grid of queue_priority.hpp). A popped arc is attractive when its
// candidate cost is not above its tail's cost; the tail's cost then becomes the frequency-
// weighted mean of its old cost and the candidate, and the queued arcs into the tail are
// re-keyed from the new cost, in increasing arc index, after every attractive arc.
//
// All arithmetic is float32, one rounding per operation, in the order written: the results
// are reproduced bit for bit. Arcs are pushed in increasing index and the heap's tie rule
// (strategy_queue.hpp) then fixes the order of equal priorities.
//
// Three refinements keep the loading sound (it sends each node's volume out in one pass, in
// reverse selection order):
//  - once an attractive arc into a node has been selected, no later arc out of that node is
//    attractive. With zero-cost boarding and alighting arcs, an arc out of a stop can tie with
//    an alighting arc into it on the 1/60000 grid and be selected after it; the volume arriving
//    through the earlier arc would then never leave, and trips would vanish. With costs of at
//    least 1/60000 such an arc's candidate is always above the node's cost, so this acts only
//    at zero-cost ties;
//  - a loop (an arc from a node to itself) is never attractive: it would have to be selected
//    before itself, and it can never shorten a trip. At zero cost it ties with its tail, and
//    loading it would feed the tail's volume back after the tail's other shares were taken;
//  - once a node's frequency is infinite, no later arc out of it is attractive: a finite one
//    would make the cost 0 × inf = NaN, an infinite one would send the volume out twice.

#include "assignment/linear/find_strategy.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "assignment/linear/queue_priority.hpp"
#include "base/cancellation.hpp"
#include "base/failure.hpp"

namespace vemo {
namespace {

constexpr float kFrequencyFloor = 1e-8f;
constexpr float kFirstArcWait = 0.5f;
// A search on a large network takes long enough for a cancellation to wait on it; a check every
// few thousand pops is a fraction of a millisecond apart and costs nothing measurable.
constexpr std::size_t kPopsBetweenCancellationChecks = 4096;

// Queues every arc that does not leave the destination, as pushing them in increasing arc
// index would. Before the search only arcs into the destination, and arcs whose cost is NaN or
// -infinity, have a priority above the lowest; every other arc is appended where its push
// would leave it. Sifting the few others up afterwards, in increasing arc index, places every
// entry where the pushes would: a sift from position p reads and moves only entries before p.
template <class Index>
void fill_queue(const ArcList& arcs, const SearchGraph<Index>& graph, std::size_t destination,
                std::span<const float> node_costs, StrategyQueue<Index>& queue) {
    const std::size_t arc_count = arcs.arc_count();
    const std::size_t readable = std::min({arc_count, arcs.to.size(), arcs.costs.size()});
    // An arc past the end of `to` or `costs` fails where it would be read.
    for (std::size_t a = readable; a < arc_count; ++a) {
        if (arcs.from[a] == destination) continue;
        checked_at(arcs.to, a);
        checked_at(arcs.costs, a);
    }
    for (std::size_t a = 0; a < readable; ++a) {
        if (arcs.from[a] != destination) queue.push_lowest(graph.slot(a));
    }

    auto raise = [&](std::size_t a) {
        if (arcs.from[a] == destination) return;
        const Index slot = graph.slot(a);
        queue.change_priority(slot,
                              queue_priority(node_costs[graph.at(slot).head] + graph.cost(slot)));
    };
    const Index into_destination = static_cast<Index>(destination);
    const Index end_in = graph.end_in(into_destination);
    Index in = graph.first_in(into_destination);
    for (const Index unusual : graph.unusual_cost_arcs()) {
        for (; in < end_in && graph.at(in).arc < unusual; ++in) raise(graph.at(in).arc);
        if (in < end_in && graph.at(in).arc == unusual) ++in;
        raise(unusual);
    }
    for (; in < end_in; ++in) raise(graph.at(in).arc);
}

// Selects an attractive arc of frequency `frequency` and candidate cost `candidate` at `tail`.
void select_arc(float candidate, float frequency, std::size_t tail, std::span<float> node_costs,
                std::span<float> node_frequencies) {
    if (std::isinf(frequency)) {
        node_costs[tail] = candidate;
        node_frequencies[tail] = frequency;
        return;
    }
    const float old_frequency = node_frequencies[tail];
    const float old_cost = node_costs[tail];
    const float wait = std::fabs(old_frequency) < kFrequencyFloor && std::isinf(old_cost)
                           ? kFirstArcWait
                           : old_cost * old_frequency;
    node_costs[tail] = (candidate * frequency + wait) / (old_frequency + frequency);
    node_frequencies[tail] = frequency + old_frequency;
}

}  // namespace

template <class Index>
void find_strategy(const ArcList& arcs, const SearchGraph<Index>& graph, std::size_t destination,
                   std::span<float> node_costs, DestinationState<Index>& state,
                   UnreachedArcs unreached) {
    node_costs[checked_index(destination, node_costs.size())] = 0.0f;
    StrategyQueue<Index>& queue = state.queue;
    queue.clear();
    fill_queue(arcs, graph, destination, node_costs, queue);

    std::span<float> node_frequencies(state.node_frequencies);
    const std::size_t with_frequency = arcs.arc_freqs.size();
    std::size_t pops_until_check = kPopsBetweenCancellationChecks;
    const bool skip_unreached = unreached == UnreachedArcs::skip && graph.unreached_arcs_inert();
    while (!queue.empty()) {
        if (--pops_until_check == 0) [[unlikely]] {
            pops_until_check = kPopsBetweenCancellationChecks;
            cancellation_point();
        }
        const auto [priority, slot] = queue.pop();
        // Every arc still queued is at the lowest priority too.
        if (priority == kLowestPriority && skip_unreached) break;
        // The next pop's record is a cache miss; fetch it while this arc is handled.
        if (!queue.empty()) __builtin_prefetch(&graph.at(queue.top()));
        const auto [a, tail, head, frequency] = graph.at(slot);
        if (a >= with_frequency) fail_index_out_of_bounds(a, with_frequency);
        const float candidate = candidate_cost(priority);
        // One branch for the three tests: whether an arc is attractive is unpredictable, and
        // each test as a branch of its own could be mispredicted.
        if ((candidate > node_costs[tail]) | (head == tail) | (state.closed[tail] != Closed::no))
            continue;

        select_arc(candidate, frequency, tail, node_costs, node_frequencies);
        state.strategy.push_back(slot);
        state.closed[head] = Closed::yes;
        if (std::isinf(node_frequencies[tail])) state.closed[tail] = Closed::yes;

        const float tail_cost = node_costs[tail];
        for (Index in = graph.first_in(tail), end = graph.end_in(tail); in < end; ++in) {
            if (queue.contains(in))
                queue.change_priority(in, queue_priority(tail_cost + graph.cost(in)));
        }
    }
}

template void find_strategy(const ArcList&, const SearchGraph<std::uint32_t>&, std::size_t,
                            std::span<float>, DestinationState<std::uint32_t>&, UnreachedArcs);
template void find_strategy(const ArcList&, const SearchGraph<std::size_t>&, std::size_t,
                            std::span<float>, DestinationState<std::size_t>&, UnreachedArcs);

}  // namespace vemo
