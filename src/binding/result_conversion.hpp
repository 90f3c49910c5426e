// Conversion of the computations' results into Python objects.
//
// Each value of 32 bits is widened exactly to a double, so a result shows the full expansion
// of its 32-bit value. Within one call's results every +0.0 is the same float object: most arc
// flows of a destination are 0 (arcs none of its trips take), and an object apiece nearly
// doubles the memory and the time of handing results back. Floats are immutable, so only `is`
// can tell; -0.0 keeps objects of its own and its sign. If the interpreter cannot create an
// object, its error is printed and the call ends in the internal failure "Python API call
// failed". Vectors are taken by value so that each is released as soon as it is converted.
#pragma once

#include <cstddef>
#include <vector>

#include "assignment/linear/linear_assign.hpp"
#include "assignment/linear/mat_linear_assign.hpp"
#include "binding/py_ref.hpp"

namespace vemo {

// Makes the float objects of one call's results, sharing one object for every +0.0. Handing
// back tens of millions of values takes a while, so every so many values it runs the pending
// signal handlers: one that raises ends the conversion with PyErrorSet.
class ResultFloats {
public:
    PyRef operator()(float value);

private:
    static constexpr unsigned kValuesBetweenSignalChecks = 1u << 16;

    PyRef zero_;
    unsigned until_signal_check_ = kValuesBetweenSignalChecks;
};

// (node_costs, arc_flows)
PyRef assignment_tuple(Assignment assignment);

// The (node_costs, arc_flows) lists of an assignment, filled one destination at a time as its
// blocks become final, so that handing results back overlaps the computation of the later
// destinations. Needs the interpreter lock throughout.
class AssignmentLists {
public:
    explicit AssignmentLists(std::size_t destination_count)
        : destination_count_(destination_count) {}
    AssignmentLists(const AssignmentLists&) = delete;
    AssignmentLists& operator=(const AssignmentLists&) = delete;
    // Lists left unfinished (the call failed or was interrupted) are cut to the blocks that were
    // added, so that freeing them does not walk the empty rest: with a hundred million items
    // that walk alone would keep an interrupted call for a second.
    ~AssignmentLists();

    // Converts block k of both results; k = 0, 1, ... in turn.
    void add_destination(const Assignment& result, std::size_t k);

    // The tuple, once every destination has been added.
    PyRef tuple(const Assignment& result);

private:
    void make_lists(const Assignment& result);

    std::size_t destination_count_;
    std::size_t added_ = 0;
    ResultFloats floats_;
    PyRef node_costs_;
    PyRef arc_flows_;
};
// (stop cost matrix, arc flow totals, total_cost)
PyRef mat_assignment_tuple(MatAssignment assignment);

}  // namespace vemo
