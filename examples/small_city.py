"""A small city of crossing bus lines, assigned with and without congestion by vemo_plan.

Seven stops, four lines each run in both directions, at different frequencies. The Harbour line
is the fast way from the Station to the Stadium and it is over capacity at the morning peak;
under congestion some riders wait for other lines. The script prints the expected travel time
between stops and the load on every line segment, first uncongested, then congested.
"""

from pathlib import Path

from vemo_plan import LineNetwork

STOPS = ["Station", "Market", "Harbour", "University", "Hospital", "Stadium", "Airport"]
STATION, MARKET, HARBOUR, UNIVERSITY, HOSPITAL, STADIUM, AIRPORT = range(len(STOPS))

# Where the stops are, in km east and north of the Station, for the load map.
STOP_XY = [(0.0, 0.0), (3.5, 1.5), (7.0, -1.0), (1.0, 5.0), (5.5, 4.5), (10.0, 2.5), (-5.0, -4.0)]

# Minutes between neighbouring stops, on the roads the lines use.
ROAD_MINUTES = {
    (STATION, MARKET): 4, (MARKET, HARBOUR): 5, (HARBOUR, STADIUM): 6,
    (UNIVERSITY, MARKET): 5, (MARKET, HOSPITAL): 4, (STATION, UNIVERSITY): 6,
    (UNIVERSITY, HOSPITAL): 7, (HOSPITAL, STADIUM): 5, (STATION, AIRPORT): 18,
}

# name, stops in one direction, a bus every so many minutes.
LINES = [
    ("Harbour", [STATION, MARKET, HARBOUR, STADIUM], 5),
    ("Campus", [UNIVERSITY, MARKET, HOSPITAL], 8),
    ("Ring", [STATION, UNIVERSITY, HOSPITAL, STADIUM], 12),
    ("Airport", [AIRPORT, STATION], 20),
]

BUS_CAPACITY = 70  # riders per bus
PEAK_MINUTES = 60  # the demand below is for one peak hour


def line_description():
    alignments, freqs, names = [], [], []
    for name, stops, headway in LINES:
        for direction, sequence in (("out", stops), ("back", stops[::-1])):
            alignments.append(sequence)
            freqs.append(1 / headway)  # buses per minute
            names.append(f"{name} {direction}")
    minutes = [[0.0] * len(STOPS) for _ in STOPS]
    for (a, b), time in ROAD_MINUTES.items():
        minutes[a][b] = minutes[b][a] = float(time)
    return names, alignments, freqs, minutes


def peak_demand():
    trips = [[0.0] * len(STOPS) for _ in STOPS]
    for origin, destination, count in [
        (STATION, STADIUM, 600), (STATION, HARBOUR, 150), (AIRPORT, STADIUM, 80),
        (STATION, MARKET, 100), (UNIVERSITY, HOSPITAL, 120), (MARKET, STADIUM, 120),
        (HOSPITAL, STATION, 160), (HARBOUR, UNIVERSITY, 90), (STADIUM, AIRPORT, 40),
    ]:
        trips[origin][destination] = float(count)
    return trips


def print_costs(title, matrix):
    print(title)
    width = max(len(name) for name in STOPS)
    print(" " * (width + 2) + "".join(f"{name:>11}" for name in STOPS))
    for i, row in enumerate(matrix):
        cells = "".join(f"{row[j]:11.1f}" if j != i else " " * 11 for j in range(len(STOPS)))
        print(f"  {STOPS[i]:<{width}}{cells}")


def over(load, capacity):
    return " (over)" if load > capacity else " " * 7


def print_loads(names, alignments, uncongested, congested, capacity_per_hour):
    print("Riders per line segment over the peak hour (uncongested -> congested)")
    for name, stops, before, after, capacity in zip(names, alignments, uncongested, congested,
                                                     capacity_per_hour):
        print(f"  {name} (capacity {capacity:.0f} per hour)")
        for k, (a, b) in enumerate(zip(before, after)):
            row = (f"    {STOPS[stops[k]]:>10} -> {STOPS[stops[k + 1]]:<10} "
                   f"{a:7.1f}{over(a, capacity)} -> {b:7.1f}{over(b, capacity)}")
            print(row.rstrip())


def draw_load_map(path, names, alignments, capacities, uncongested, congested):
    import numpy as np
    from vemo_plan.job.pictures import draw_load_maps

    draw_load_maps(path, np.array(STOP_XY), alignments, names,
                   [("uncongested", uncongested), ("congested", congested)],
                   title="Small city: riders per line segment in the peak hour", unit="riders",
                   stop_labels=STOPS, capacities=capacities)


def main(picture: Path | None = None):
    """Prints the assignment; with `picture`, also draws the load map there (needs matplotlib)."""
    names, alignments, freqs, minutes = line_description()
    demand = peak_demand()
    # Capacity per unit of frequency: a frequency of f buses per minute carries
    # f × PEAK_MINUTES × BUS_CAPACITY riders in the hour.
    capacity = float(PEAK_MINUTES * BUS_CAPACITY)

    lines = LineNetwork(alignments, freqs, minutes)
    plain = lines.assign(demand)
    congested = lines.assign_congested(demand, capacity)  # the capacity model, to equilibrium

    print(f"Small city: {len(STOPS)} stops, {len(alignments)} line directions, "
          f"{sum(sum(row) for row in demand):.0f} trips in the peak hour")
    print()
    print_costs("Expected minutes from stop (row) to stop (column), uncongested",
                plain.stop_costs)
    print()
    print_costs("The same under congestion", congested.stop_costs)
    print()
    uncongested_loads, congested_loads = plain.line_loads, congested.line_loads
    capacities = [f * capacity for f in freqs]
    print_loads(names, alignments, uncongested_loads, congested_loads, capacities)
    print()
    print(f"Total rider-minutes: {plain.total_cost:.0f} uncongested, "
          f"{congested.total_cost:.0f} congested ({congested.iterations} iterations, gap "
          f"{congested.gaps[-1]:.2g}, stopped: {congested.stop_reason})")
    if picture is not None:
        picture.parent.mkdir(parents=True, exist_ok=True)
        draw_load_map(picture, names, alignments, capacities, uncongested_loads, congested_loads)
        print(f"Load map written to {picture}")


if __name__ == "__main__":
    main()
