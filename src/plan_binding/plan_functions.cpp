#include "plan_binding/plan_functions.hpp"

#include <atomic>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "assignment/plan/equilibrium.hpp"
#include "assignment/plan/plan_assign.hpp"
#include "binding/float_value.hpp"
#include "binding/index_value.hpp"
#include "binding/interpreter_lock.hpp"
#include "binding/interruptible.hpp"
#include "binding/parameter_groups.hpp"
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

// The object bound to parameter `index`, None where an optional one was left out.
PyObject* slot(const BoundArguments& bound, std::size_t index) {
    return bound.extract_or(index, [](PyObject* value) { return value; }, Py_None);
}

std::optional<ArrayView> optional_view(PyObject* value, const char* name, Element element,
                                       int dimensions, bool writable) {
    if (value == Py_None) return std::nullopt;
    return ArrayView(value, name, element, dimensions, writable);
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

// The demand: a (destinations, node_count) array or three arrays of triples.
struct DemandArgument {
    std::vector<ArrayView> views;
    std::optional<PlanDemand> demand;

    DemandArgument(PyObject* value, std::size_t destinations, std::size_t node_count) {
        if (PyTuple_Check(value)) {
            if (PyTuple_GET_SIZE(value) != 3)
                raise_shape("demand", "a tuple of three arrays is needed");
            views.emplace_back(PyTuple_GET_ITEM(value, 0), "demand origins", Element::u64, 1,
                               false);
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

// What is assigned: the network, its destinations and demand, the origins whose results are
// kept, and the arc values summed into skims (with boarding flags for the chance of arriving
// unboarded).
struct InputArguments {
    Network* network;
    ArrayView destinations;
    DemandArgument demand;
    ArrayView origins;
    std::vector<ArrayView> skim_values;
    std::vector<std::span<const float>> skim_columns;
    std::optional<ArrayView> boarding;
    std::optional<ArrayView> trip_end_skims;  // indices of skim_values, with boarding

    PlanInputs inputs() const {
        return {destinations.span<const std::size_t>(), *demand.demand, skim_columns,
                boarding ? boarding->span<const std::uint8_t>() : std::span<const std::uint8_t>(),
                trip_end_skims ? std::optional(trip_end_skims->span<const std::size_t>())
                               : std::nullopt};
    }
};

struct InputGroup {
    static constexpr Parameter kParameters[] = {{"network"},       {"destinations"}, {"demand"},
                                                {"origins"},       {"skim_values"},  {"boarding"},
                                                {"trip_end_skims"}};
    using Value = InputArguments;

    // Each member is initialised in declaration order, which is the parameter order.
    static Value extract(const BoundArguments& bound, std::size_t first) {
        Network& network = prepared_network(slot(bound, first), "network");
        ArrayView destinations(slot(bound, first + 1), "destinations", Element::u64, 1, false);
        const std::size_t count = destinations.size();
        InputArguments arguments{
            .network = &network,
            .destinations = std::move(destinations),
            .demand = DemandArgument(slot(bound, first + 2), count, network.node_count()),
            .origins = ArrayView(slot(bound, first + 3), "origins", Element::u64, 1, false),
            .skim_values = array_tuple(slot(bound, first + 4), "skim_values", network.arc_count()),
            .skim_columns = {},
            .boarding = optional_view(slot(bound, first + 5), "boarding", Element::u8, 1, false),
            .trip_end_skims =
                optional_view(slot(bound, first + 6), "trip_end_skims", Element::u64, 1, false)};
        for (const ArrayView& column : arguments.skim_values)
            arguments.skim_columns.push_back(column.span<const float>());
        if (arguments.boarding) expect_size(*arguments.boarding, network.arc_count(), "boarding");
        if (arguments.trip_end_skims) {
            if (!arguments.boarding) raise_shape("trip_end_skims", "needs boarding");
            for (const std::size_t k : arguments.trip_end_skims->span<const std::size_t>())
                if (k >= arguments.skim_values.size())
                    raise_shape("trip_end_skims", "indices of skim_values are needed");
        }
        return arguments;
    }
};

// The arrays the results are written into, and their layout.
struct OutputArguments {
    bool origin_major;
    ArrayView node_costs;
    ArrayView waiting_time;
    ArrayView skims;
    std::optional<ArrayView> no_boarding;
    std::optional<ArrayView> trip_ends;
    std::optional<ArrayView> arc_flows;
    ArrayView unassigned;
    ArrayView destination_costs;

    // Checks every size against the inputs.
    PlanOutputs outputs(const InputArguments& in) const {
        const std::size_t arcs = in.network->arc_count();
        const std::size_t destinations = in.destinations.size();
        const std::size_t cells = destinations * in.origins.size();
        if (no_boarding && !in.boarding) raise_shape("no_boarding", "needs boarding");
        expect_size(node_costs, cells, "node_costs");
        expect_size(waiting_time, cells, "waiting_time");
        expect_size(skims, in.skim_values.size() * cells, "skims");
        if (no_boarding) expect_size(*no_boarding, cells, "no_boarding");
        if (trip_ends.has_value() != in.trip_end_skims.has_value())
            raise_shape("trip_ends", "given with trip_end_skims, and only then");
        if (trip_ends)
            expect_size(*trip_ends, (1 + 2 * in.trip_end_skims->size()) * cells, "trip_ends");
        if (arc_flows) {
            if (arc_flows->dimensions() > 2) raise_shape("arc_flows", "one or two dimensions");
            expect_size(*arc_flows, arc_flows->dimensions() == 1 ? arcs : destinations * arcs,
                        "arc_flows");
        }
        expect_size(unassigned, destinations, "unassigned");
        expect_size(destination_costs, destinations, "destination_costs");
        PlanOutputs out{
            .origins = in.origins.span<const std::size_t>(),
            .origin_major = origin_major,
            .node_costs = node_costs.span<float>(),
            .waiting_time = waiting_time.span<float>(),
            .skims = skims.span<float>(),
            .no_boarding = no_boarding ? no_boarding->span<float>() : std::span<float>(),
            .trip_ends = trip_ends ? trip_ends->span<float>() : std::span<float>(),
            .unassigned = unassigned.span<double>(),
            .destination_costs = destination_costs.span<float>()};
        if (arc_flows) {
            out.arc_flows = arc_flows->span<float>();
            out.flow_result =
                arc_flows->dimensions() == 1 ? FlowResult::total : FlowResult::per_destination;
        }
        return out;
    }
};

struct OutputGroup {
    static constexpr Parameter kParameters[] = {
        {"origin_major"}, {"node_costs"},  {"waiting_time"},
        {"skims"},        {"no_boarding"}, {"trip_ends"},
        {"arc_flows"},    {"unassigned"},  {"destination_costs"}};
    using Value = OutputArguments;

    static Value extract(const BoundArguments& bound, std::size_t first) {
        const int origin_major = PyObject_IsTrue(slot(bound, first));
        if (origin_major < 0) throw PyErrorSet();
        return {
            .origin_major = origin_major == 1,
            .node_costs = ArrayView(slot(bound, first + 1), "node_costs", Element::f32, 2, true),
            .waiting_time =
                ArrayView(slot(bound, first + 2), "waiting_time", Element::f32, 2, true),
            .skims = ArrayView(slot(bound, first + 3), "skims", Element::f32, 3, true),
            .no_boarding =
                optional_view(slot(bound, first + 4), "no_boarding", Element::f32, 2, true),
            .trip_ends = optional_view(slot(bound, first + 5), "trip_ends", Element::f32, 3, true),
            .arc_flows = optional_view(slot(bound, first + 6), "arc_flows", Element::f32, 0, true),
            .unassigned = ArrayView(slot(bound, first + 7), "unassigned", Element::f64, 1, true),
            .destination_costs =
                ArrayView(slot(bound, first + 8), "destination_costs", Element::f32, 1, true)};
    }
};

// The congested model, its parameters and the array its final frequencies (averaging, capacity)
// or costs (crowding) are written into; all left out for the uncongested assignment. The
// averaging model takes average_decay_factor and ignores alpha, the others the reverse.
enum class PlanModel { averaging, capacity, crowding };

struct CongestionArguments {
    PlanModel model;
    ArrayView capacity;
    float alpha;
    float average_decay_factor;
    float beta;
    double tol;
    std::size_t max_iters;
    ArrayView arc_values;
};

PlanModel to_model(PyObject* value) {
    const char* text = PyUnicode_Check(value) ? PyUnicode_AsUTF8(value) : nullptr;
    if (text == nullptr) PyErr_Clear();
    const std::string name = text == nullptr ? "" : text;
    if (name == "averaging") return PlanModel::averaging;
    if (name == "capacity") return PlanModel::capacity;
    if (name == "crowding") return PlanModel::crowding;
    raise_shape("model", "'averaging', 'capacity' or 'crowding' is needed");
}

double to_f64(PyObject* value) {
    const double number = PyFloat_AsDouble(value);
    if (number == -1.0 && PyErr_Occurred() != nullptr) throw PyErrorSet();
    return number;
}

struct PlanCongestionGroup {
    static constexpr Parameter kParameters[] = {
        {"model", "None"},     {"capacity", "None"},
        {"alpha", "None"},     {"average_decay_factor", "None"},
        {"beta", "None"},      {"tol", "None"},
        {"max_iters", "None"}, {"arc_values", "None"}};
    using Value = std::optional<CongestionArguments>;

    static Value extract(const BoundArguments& bound, std::size_t first) {
        std::size_t given = 0;
        for (std::size_t i = 0; i < std::size(kParameters); ++i)
            given += slot(bound, first + i) != Py_None;
        if (given == 0) return std::nullopt;
        if (given != std::size(kParameters)) {
            PyErr_SetString(PyExc_TypeError,
                            "assign(): a congested model needs all of model, capacity, alpha, "
                            "average_decay_factor, beta, tol, max_iters and arc_values");
            throw PyErrorSet();
        }
        // Each member is initialised in declaration order, which is the parameter order.
        return CongestionArguments{
            .model = bound.extract(first, to_model),
            .capacity = ArrayView(slot(bound, first + 1), "capacity", Element::f32, 1, false),
            .alpha = bound.extract(first + 2, to_f32),
            .average_decay_factor = bound.extract(first + 3, to_f32),
            .beta = bound.extract(first + 4, to_f32),
            .tol = bound.extract(first + 5, to_f64),
            .max_iters = bound.extract(first + 6, to_index),
            .arc_values = ArrayView(slot(bound, first + 7), "arc_values", Element::f32, 1, true)};
    }
};

// progress(done) after destinations finish, or progress(iteration, gap) after each iteration
// of the congested loop, with the interpreter lock held.
struct ProgressGroup {
    static constexpr Parameter kParameters[] = {{"progress", "None"}};
    using Value = PyObject*;

    static Value extract(const BoundArguments& bound, std::size_t first) {
        return slot(bound, first);
    }
};

// progress(iteration, gap) of a congested loop, on the calling thread.
using ReportIteration = FunctionRef<void(std::size_t, double)>;

constexpr Declaration<InputGroup, OutputGroup, PlanCongestionGroup, ProgressGroup> kDeclaration{
    "assign"};

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

PyRef uncongested(const InputArguments& in, const PlanOutputs& outputs, PyObject* callback) {
    DestinationProgress progress(callback);
    const PlanInputs inputs = in.inputs();
    auto report = [&] { progress.report(); };
    const FunctionRef<void()> reporting(report);
    const float total_cost =
        run_unlocked([&] { return plan_assign(*in.network, inputs, outputs, &progress.finished); },
                     callback == Py_None ? nullptr : &reporting);
    progress.report();
    return require(PyFloat_FromDouble(total_cost));
}

// The congested loop's results: (total_cost, gaps, stop_reason).
PyRef loop_result(float total_cost, const std::vector<double>& gaps, const char* stop_reason) {
    PyRef gap_list = require(PyList_New(static_cast<Py_ssize_t>(gaps.size())));
    for (std::size_t i = 0; i < gaps.size(); ++i) {
        PyList_SET_ITEM(gap_list.get(), static_cast<Py_ssize_t>(i),
                        require(PyFloat_FromDouble(gaps[i])).release());
    }
    return require(
        Py_BuildValue("(dOs)", static_cast<double>(total_cost), gap_list.get(), stop_reason));
}

const char* stop_reason_text(StopReason reason) {
    switch (reason) {
        case StopReason::tolerance:
            return "tolerance";
        case StopReason::iteration_limit:
            return "iteration limit";
        case StopReason::settled:
            return "settled";
        case StopReason::over_capacity:
            return "over capacity";
    }
    return "";
}

PyRef averaging(const InputArguments& in, const PlanOutputs& outputs,
                const CongestionArguments& congestion, const ReportIteration& on_iteration) {
    const CongestionParameters parameters{
        .capacity = {.per_arc = congestion.capacity.span<const float>()},
        .average_decay_factor = congestion.average_decay_factor,
        .beta = congestion.beta,
        .tol = static_cast<float>(congestion.tol),
        .max_iters = congestion.max_iters};
    auto report = [&](std::size_t iteration, float gap) { on_iteration(iteration, gap); };
    const FunctionRef<void(std::size_t, float)> reporting(report);
    const CongestionOptions options{.on_iteration = &reporting};
    const PlanInputs inputs = in.inputs();
    const CongestedPlan result = run_unlocked([&] {
        return plan_assign_congested(in.network->arcs(), inputs, outputs, parameters, options,
                                     congestion.arc_values.span<float>());
    });
    // The loop ends on its own at the tolerance (or before any iteration) or once its flows
    // settle.
    StopReason reason = StopReason::iteration_limit;
    if (result.converged) {
        reason = result.gaps.empty() || !(result.gaps.back() > parameters.tol)
                     ? StopReason::tolerance
                     : StopReason::settled;
    }
    return loop_result(result.total_cost,
                       std::vector<double>(result.gaps.begin(), result.gaps.end()),
                       stop_reason_text(reason));
}

PyRef equilibrium(const InputArguments& in, const PlanOutputs& outputs,
                  const CongestionArguments& congestion, const ReportIteration& on_iteration) {
    const EquilibriumSettings settings{
        .model = congestion.model == PlanModel::capacity ? EquilibriumModel::capacity
                                                         : EquilibriumModel::crowding,
        .capacity = {.per_arc = congestion.capacity.span<const float>()},
        .alpha = congestion.alpha,
        .beta = congestion.beta,
        .tol = congestion.tol,
        .max_iters = congestion.max_iters};
    const PlanInputs inputs = in.inputs();
    const EquilibriumResult result = run_unlocked([&] {
        return plan_equilibrium(in.network->arcs(), inputs, outputs, settings, &on_iteration,
                                congestion.arc_values.span<float>());
    });
    return loop_result(result.total_cost, result.gaps, stop_reason_text(result.stop_reason));
}

PyRef congested(const InputArguments& in, const PlanOutputs& outputs,
                const CongestionArguments& congestion, PyObject* callback) {
    const std::size_t arcs = in.network->arc_count();
    expect_size(congestion.capacity, arcs, "capacity");
    expect_size(congestion.arc_values, arcs, "arc_values");
    auto report_iteration = [&](std::size_t iteration, double gap) {
        if (callback == Py_None) return;
        const HeldInterpreterLock held;
        require(PyObject_CallFunction(callback, "nd", static_cast<Py_ssize_t>(iteration), gap));
    };
    const ReportIteration on_iteration(report_iteration);
    if (congestion.model == PlanModel::averaging)
        return averaging(in, outputs, congestion, on_iteration);
    return equilibrium(in, outputs, congestion, on_iteration);
}

PyRef assign(PyObject* const* args, Py_ssize_t positional_count, PyObject* keyword_names) {
    auto [in, out, congestion, progress] = kDeclaration.bind(args, positional_count, keyword_names);
    const PlanOutputs outputs = out.outputs(in);
    if (!congestion) return uncongested(in, outputs, progress);
    return congested(in, outputs, *congestion, progress);
}

PyObject* assign_entry(PyObject*, PyObject* const* args, Py_ssize_t positional_count,
                       PyObject* keyword_names) {
    return plan_boundary([&] { return assign(args, positional_count, keyword_names); });
}

// The text signature lives as long as the function object: the process.
const std::string kAssignDocument =
    kDeclaration.description().text_signature() +
    "The assignment, written into the given arrays: the total cost, or with a congested "
    "model's parameters (total_cost, gaps, stop_reason).";

PyMethodDef functions[] = {
    {"assign", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(assign_entry)),
     METH_FASTCALL | METH_KEYWORDS, kAssignDocument.c_str()},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

std::span<PyMethodDef> plan_functions() { return {functions, 1}; }

}  // namespace vemo
