// Grouping items 0 .. n - 1 by a key below key_count in compressed-row form: a counting sort.
// The items of key k take positions first[k] .. first[k + 1] of one flat array, and placing
// the items in increasing order keeps each group in increasing item order. Both arc indexes of
// the computation (arcs into a node, arcs out of a node) are built this way.
#pragma once

#include <cstddef>
#include <vector>

#include "base/failure.hpp"

namespace vemo {

// The key_count + 1 offsets of the groups; key_of(item) must be below key_count.
template <class Offset, class KeyOf>
std::vector<Offset> group_offsets(std::size_t item_count, std::size_t key_count, KeyOf key_of) {
    std::vector<Offset> first = filled_vector<Offset>(key_count + 1, 0);
    for (std::size_t item = 0; item < item_count; ++item) ++first[key_of(item) + 1];
    for (std::size_t key = 0; key < key_count; ++key) first[key + 1] += first[key];
    return first;
}

// Calls place(slot, item) for every item in increasing order, slot being its position in the
// flat array laid out by `first`.
template <class Offset, class KeyOf, class Place>
void place_in_groups(const std::vector<Offset>& first, std::size_t item_count, KeyOf key_of,
                     Place place) {
    std::vector<Offset> next;
    reserve_exactly(next, first.size() - 1);
    next.assign(first.begin(), first.end() - 1);
    for (std::size_t item = 0; item < item_count; ++item) place(next[key_of(item)]++, item);
}

}  // namespace vemo
