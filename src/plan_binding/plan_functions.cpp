#include "plan_binding/plan_functions.hpp"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "assignment/plan/plan_assign.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/interruptible.hpp"
#include "binding/python_error.hpp"
#include "plan_binding/array_view.hpp"
#include "plan_binding/computation_error.hpp"
#include "plan_binding/network_object.hpp"

namespace vemo {
namespace {

[[noreturn]] void raise_shape(const char* name, const std::string& expected) {
    PyErr_Format(PyExc_ValueError, "%s: %s", name, expected.c_str());
    throw PyErrorSet();
}

void expect_size(const ArrayView& view, std::size_t size, const char* name) {
    if (view.size() != size) raise_shape(name, std::to_string(size) + " entries are needed");
}

// A tuple of 1-D float32 arrays of `size` values each.
std::vector<ArrayView> array_tuple(PyObject* value, const char* name, std::size_t size) {
    if (!PyTuple_Check(value)) raise_shape(name, "a tuple of arrays is needed");
    std::vector<ArrayView> arrays;
    arrays.reserve(static_cast<std::size_t>(PyTuple_GET_SIZE(value)));
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(value); ++k) {
        arrays.emplace_back(PyTuple_GET_ITEM(value, k), name, Element::f32, 1, false);
        expect_size(arrays.back(), size, name);
    }
    return arrays;
}

std::optional<ArrayView> optional_view(PyObject* value, const char* name, Element element,
                                       int dimensions, bool writable) {
    if (value == Py_None) return std::nullopt;
    return ArrayView(value, name, element, dimensions, writable);
}

// The demand argument: a (destinations, node_count) array or three arrays of triples.
struct DemandArgument {
    std::vector<ArrayView> views;
    std::optional<PlanDemand> demand;

    DemandArgument(PyObject* value, std::size_t destinations, std::size_t node_count) {
        if (PyTuple_Check(value)) {
            if (PyTuple_GET_SIZE(value) != 3)
                raise_shape("demand", "a tuple of three arrays is needed");
            views.emplace_back(PyTuple_GET_ITEM(value, 0), "demand origins", Element::u64, 1, false);
            views.emplace_back(PyTuple_GET_ITEM(value, 1), "demand positions", Element::u64, 1,
                               false);
            views.emplace_back(PyTuple_GET_ITEM(value, 2), "demand trips", Element::f32, 1, false);
            const std::size_t count = views[0].size();
            expect_size(views[1], count, "demand positions");
            expect_size(views[2], count, "demand trips");
            demand = PlanDemand::triples(views[0].span<const std::size_t>(),
                                         views[1].span<const std::size_t>(),
                                         views[2].span<const float>(), destinations);
        } else {
            views.emplace_back(value, "demand", Element::f32, 2, false);
            expect_size(views[0], destinations * node_count, "demand");
            demand = PlanDemand::dense(views[0].span<const float>());
        }
    }
};

// The arguments the two functions share, checked against each other.
struct PlanArguments {
    Network& network;
    ArrayView destinations;
    DemandArgument demand;
    ArrayView origins;
    std::vector<ArrayView> skim_values;
    std::vector<std::span<const float>> skim_columns;
    std::optional<ArrayView> boarding;
    bool origin_major;
    ArrayView node_costs;
    ArrayView waiting_time;
    ArrayView skims;
    std::optional<ArrayView> no_boarding;
    std::optional<ArrayView> arc_flows;
    ArrayView unassigned;

    // `args` from `first` on: network, destinations, demand, then (after the arguments of the
    // congested loop, which the caller reads) origins, skim_values, boarding, origin_major,
    // node_costs, waiting_time, skims, no_boarding, arc_flows, unassigned.
    PlanArguments(PyObject* const* args, std::size_t rest)
        : network(prepared_network(args[0], "network")),
          destinations(args[1], "destinations", Element::u64, 1, false),
          demand(args[2], destinations.size(), network.node_count()),
          origins(args[rest], "origins", Element::u64, 1, false),
          skim_values(array_tuple(args[rest + 1], "skim_values", network.arc_count())),
          boarding(optional_view(args[rest + 2], "boarding", Element::u8, 1, false)),
          origin_major(PyObject_IsTrue(args[rest + 3]) == 1),
          node_costs(args[rest + 4], "node_costs", Element::f32, 2, true),
          waiting_time(args[rest + 5], "waiting_time", Element::f32, 2, true),
          skims(args[rest + 6], "skims", Element::f32, 3, true),
          no_boarding(optional_view(args[rest + 7], "no_boarding", Element::f32, 2, true)),
          arc_flows(optional_view(args[rest + 8], "arc_flows", Element::f32, 0, true)),
          unassigned(args[rest + 9], "unassigned", Element::f64, 1, true) {
        const std::size_t arcs = network.arc_count();
        const std::size_t cells = destinations.size() * origins.size();
        const std::size_t skim_count = skim_values.size();
        for (const ArrayView& column : skim_values)
            skim_columns.push_back(column.span<const float>());
        if (boarding) expect_size(*boarding, arcs, "boarding");
        if (no_boarding && !boarding) raise_shape("no_boarding", "needs boarding");
        expect_size(node_costs, cells, "node_costs");
        expect_size(waiting_time, cells, "waiting_time");
        expect_size(skims, skim_count * cells, "skims");
        if (no_boarding) expect_size(*no_boarding, cells, "no_boarding");
        if (arc_flows) {
            if (arc_flows->dimensions() > 2) raise_shape("arc_flows", "one or two dimensions");
            expect_size(*arc_flows, arc_flows->dimensions() == 1 ? arcs : destinations.size() * arcs,
                        "arc_flows");
        }
        expect_size(unassigned, destinations.size(), "unassigned");
    }

    PlanInputs inputs() const {
        return {destinations.span<const std::size_t>(), *demand.demand,
                skim_columns,
                boarding ? boarding->span<const std::uint8_t>() : std::span<const std::uint8_t>()};
    }

    PlanOutputs outputs() const {
        PlanOutputs out{.origins = origins.span<const std::size_t>(),
                        .origin_major = origin_major,
                        .node_costs = node_costs.span<float>(),
                        .waiting_time = waiting_time.span<float>(),
                        .skims = skims.span<float>(),
                        .no_boarding = no_boarding ? no_boarding->span<float>() : std::span<float>(),
                        .unassigned = unassigned.span<double>()};
        if (arc_flows) {
            out.arc_flows = arc_flows->span<float>();
            out.flow_result =
                arc_flows->dimensions() == 1 ? FlowResult::total : FlowResult::per_destination;
        }
        return out;
    }
};

// progress(done) with the lock held, when the count of finished destinations has moved.
class DestinationProgress {
public:
    explicit DestinationProgress(PyObject* callback) : callback_(callback) {}

    void report() {
        const std::size_t done = finished.load(std::memory_order_relaxed);
        if (callback_ == Py_None || done == reported_) return;
        reported_ = done;
        require(PyObject_CallFunction(callback_, "n", static_cast<Py_ssize_t>(done)));
    }

    std::atomic<std::size_t> finished{0};

private:
    PyObject* callback_;
    std::size_t reported_ = 0;
};

constexpr Py_ssize_t kAssignArguments = 14;
constexpr Py_ssize_t kCongestedArguments = 20;

void expect_count(const char* function, Py_ssize_t given, Py_ssize_t expected) {
    if (given != expected) {
        PyErr_Format(PyExc_TypeError, "%s() takes %zd positional arguments (%zd given)", function,
                     expected, given);
        throw PyErrorSet();
    }
}

PyRef assign(PyObject* const* args, Py_ssize_t count) {
    expect_count("assign", count, kAssignArguments);
    PlanArguments arguments(args, 3);
    DestinationProgress progress(args[13]);
    const PlanInputs inputs = arguments.inputs();
    const PlanOutputs outputs = arguments.outputs();
    auto report = [&] { progress.report(); };
    const FunctionRef<void()> reporting(report);
    const float total_cost = run_unlocked(
        [&] { return plan_assign(arguments.network, inputs, outputs, &progress.finished); },
        args[13] == Py_None ? nullptr : &reporting);
    progress.report();
    return require(PyFloat_FromDouble(total_cost));
}

float to_float(PyObject* value, const char* name) {
    const double number = PyFloat_AsDouble(value);
    if (number == -1.0 && PyErr_Occurred() != nullptr) raise_shape(name, "a number is needed");
    return static_cast<float>(number);
}

PyRef assign_congested(PyObject* const* args, Py_ssize_t count) {
    expect_count("assign_congested", count, kCongestedArguments);
    // network, destinations, demand, capacity, average_decay_factor, beta, tol, max_iters, then
    // the arguments of assign from origins on, effective_frequencies and progress.
    PlanArguments arguments(args, 8);
    const ArrayView capacity(args[3], "capacity", Element::f32, 1, false);
    const ArrayView effective(args[18], "effective_frequencies", Element::f32, 1, true);
    expect_size(capacity, arguments.network.arc_count(), "capacity");
    expect_size(effective, arguments.network.arc_count(), "effective_frequencies");
    const std::size_t max_iters = PyLong_AsSize_t(args[7]);
    if (PyErr_Occurred() != nullptr) raise_current_error();
    const CongestionParameters parameters{.capacity = 0.0f,
                                          .average_decay_factor = to_float(args[4], "average_decay_factor"),
                                          .beta = to_float(args[5], "beta"),
                                          .tol = to_float(args[6], "tol"),
                                          .max_iters = max_iters};
    PyObject* callback = args[19];
    auto report_iteration = [&](std::size_t iteration, float gap) {
        if (callback == Py_None) return;
        const HeldInterpreterLock held;
        require(PyObject_CallFunction(callback, "nd", static_cast<Py_ssize_t>(iteration),
                                      static_cast<double>(gap)));
    };
    const FunctionRef<void(std::size_t, float)> on_iteration(report_iteration);
    const CongestionOptions options{.capacity_per_arc = capacity.span<const float>(),
                                    .on_iteration = &on_iteration};
    const PlanInputs inputs = arguments.inputs();
    const PlanOutputs outputs = arguments.outputs();
    const CongestedPlan result = run_unlocked([&] {
        return plan_assign_congested(arguments.network.arcs(), inputs, outputs, parameters, options,
                                     effective.span<float>());
    });
    PyRef gaps = require(PyList_New(static_cast<Py_ssize_t>(result.gaps.size())));
    for (std::size_t i = 0; i < result.gaps.size(); ++i) {
        PyList_SET_ITEM(gaps.get(), static_cast<Py_ssize_t>(i),
                        require(PyFloat_FromDouble(result.gaps[i])).release());
    }
    return require(Py_BuildValue("(dnOO)", static_cast<double>(result.total_cost),
                                 static_cast<Py_ssize_t>(result.iterations), gaps.get(),
                                 result.converged ? Py_True : Py_False));
}

PyObject* assign_entry(PyObject*, PyObject* const* args, Py_ssize_t count) {
    return plan_boundary([&] { return assign(args, count); });
}

PyObject* assign_congested_entry(PyObject*, PyObject* const* args, Py_ssize_t count) {
    return plan_boundary([&] { return assign_congested(args, count); });
}

PyMethodDef functions[] = {
    {"assign", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(assign_entry)),
     METH_FASTCALL,
     "assign(network, destinations, demand, origins, skim_values, boarding, origin_major, "
     "node_costs, waiting_time, skims, no_boarding, arc_flows, unassigned, progress)\n--\n\n"
     "The uncongested assignment, written into the given arrays; returns the total cost."},
    {"assign_congested",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(assign_congested_entry)),
     METH_FASTCALL,
     "assign_congested(network, destinations, demand, capacity, average_decay_factor, beta, tol, "
     "max_iters, origins, skim_values, boarding, origin_major, node_costs, waiting_time, skims, "
     "no_boarding, arc_flows, unassigned, effective_frequencies, progress)\n--\n\n"
     "The congested assignment, written into the given arrays; returns (total_cost, "
     "iterations, gaps, converged)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

std::span<PyMethodDef> plan_functions() { return {functions, 2}; }

}  // namespace vemo
