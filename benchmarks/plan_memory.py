"""What a vemo_plan call may hold, from the sizes of what the core and the package keep.

The budget of a call is its outputs, the prepared network and one destination's working state
per worker taking part. Sizes follow the code: the search graph numbers arcs and nodes in 32
bits when both counts are below 2^32 - 1, else 64 (search_graph.hpp, network.cpp). Left out of
the working state: with total flows, a destination that finishes before an earlier one hands its
flows to the ordered sum as a copy of the arcs its strategy uses (a size_t and a float each),
held until every earlier destination's are added.
"""

from list_api import FLOAT_BYTES, LIST_ITEM_BYTES, result_list_bytes

FLOAT32 = 4
FLOAT64 = 8
ENTRY_FLAG = 1
# The Network's own copies of its arcs, which the core reads: uint64 tail and head, float32
# frequency and cost.
ARC_COPY_BYTES = 8 + 8 + 4 + 4


def index_bytes(node_count, arc_count):
    limit = 2**32 - 1
    return 4 if arc_count < limit and node_count < limit else 8


def aligned(size, alignment):
    return -(-size // alignment) * alignment


def network_bytes(node_count, arc_count):
    """The prepared network: the copies of the arcs, and the search graph: per arc its record
    (arc, tail, head, frequency), its cost and its slot; per node (and one more) an offset."""
    index = index_bytes(node_count, arc_count)
    record = aligned(3 * index + FLOAT32, index)
    return ((ARC_COPY_BYTES + record + FLOAT32 + index) * arc_count
            + index * (node_count + 1))


def working_state_bytes(node_count, arc_count, skim_count):
    """One destination's working state, which every worker taking part makes once and reuses
    (plan_assign.cpp's PlanState). Per node: cost, frequency and volume (float32), the entry
    flag, and doubles for the waiting time and every skim (Network.assign gives no boarding
    flags, so there is no no-boarding double). Per arc: the queue's heap entry (int32
    priority and an index, aligned) and position, and the strategy list's entry."""
    index = index_bytes(node_count, arc_count)
    per_node = 3 * FLOAT32 + ENTRY_FLAG + FLOAT64 * (1 + skim_count)
    per_arc = aligned(4 + index, index) + 2 * index
    return per_node * node_count + per_arc * arc_count


def output_bytes(result):
    """What an Assignment's arrays hold."""
    arrays = [result.node_costs, result.waiting_time, result.unassigned, *result.skims.values()]
    if result.arc_flows is not None:
        arrays.append(result.arc_flows)
    return sum(array.nbytes for array in arrays)


def budget_bytes(outputs, node_count, arc_count, skim_count, workers):
    return (outputs + network_bytes(node_count, arc_count)
            + workers * working_state_bytes(node_count, arc_count, skim_count))


def call_figures(result, node_count, arc_count, skim_count, workers, copied_inputs):
    """A call's budget and its parts, beside what it holds of its inputs (`copied_inputs`,
    from copied_input_bytes)."""
    outputs = output_bytes(result)
    return {
        "output_bytes": outputs,
        "network_bytes": network_bytes(node_count, arc_count),
        "state_bytes_per_worker": working_state_bytes(node_count, arc_count, skim_count),
        "budget_bytes": budget_bytes(outputs, node_count, arc_count, skim_count, workers),
        "copied_input_bytes": copied_inputs,
    }


def copied_input_bytes(demand_bytes, skim_bytes, origins, destinations):
    """What the call holds of its inputs in the core's dtypes while it computes: the copies of
    the trips and of the skims (`demand_bytes`, `skim_bytes`: none for float32 arrays, read in
    place) and the uint64 node numbers."""
    return demand_bytes + skim_bytes + 8 * (origins + destinations)


def list_api_bytes(destinations, node_count, arc_count, positive_zeros):
    """The result lists of vemo.linear_assign for the same destinations: every node's cost
    and every arc's flow per destination (it can neither keep some origins nor sum flows)."""
    return result_list_bytes(destinations * (node_count + arc_count), positive_zeros)


def list_demand_bytes(destinations, node_count, nonzero_entries):
    """vemo.linear_assign's demand list: destination-major blocks of every node, one shared
    zero and a float object for each nonzero entry (the trips, and each destination's
    negative sum)."""
    return LIST_ITEM_BYTES * destinations * node_count + FLOAT_BYTES * (nonzero_entries + 1)
