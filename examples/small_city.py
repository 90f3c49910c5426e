"""A small city of crossing bus lines, assigned with and without congestion.

Seven stops, four lines each run in both directions, at different frequencies. The Red line
is the fast way from the Station to the Stadium and it is over capacity at the morning peak;
under congestion some riders wait for other lines. The script prints the expected travel time
between stops and the load on every line segment, first uncongested, then congested.
"""

import vemo

STOPS = ["Station", "Market", "Harbour", "University", "Hospital", "Stadium", "Airport"]
STATION, MARKET, HARBOUR, UNIVERSITY, HOSPITAL, STADIUM, AIRPORT = range(len(STOPS))

# Minutes between neighbouring stops, on the roads the lines use.
ROAD_MINUTES = {
    (STATION, MARKET): 4, (MARKET, HARBOUR): 5, (HARBOUR, STADIUM): 6,
    (UNIVERSITY, MARKET): 5, (MARKET, HOSPITAL): 4, (STATION, UNIVERSITY): 6,
    (UNIVERSITY, HOSPITAL): 7, (HOSPITAL, STADIUM): 5, (STATION, AIRPORT): 18,
}

# name, stops in one direction, a bus every so many minutes.
LINES = [
    ("Red", [STATION, MARKET, HARBOUR, STADIUM], 5),
    ("Blue", [UNIVERSITY, MARKET, HOSPITAL], 8),
    ("Green", [STATION, UNIVERSITY, HOSPITAL, STADIUM], 12),
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


def segment_loads(alignments, arc_flows):
    """Flow on each in-vehicle arc, line by line. A line of n stops has 3(n − 1) arcs: boarding
    at its first stop, then per further stop the ride into it, a boarding arc unless it is the
    last stop, and the alighting arc."""
    loads, arc = [], 0
    for stops in alignments:
        ride = arc + 1
        loads.append([arc_flows[ride + 3 * (k - 1)] for k in range(1, len(stops))])
        arc += 3 * (len(stops) - 1)
    return loads


def print_costs(title, matrix):
    print(title)
    width = max(len(name) for name in STOPS)
    print(" " * (width + 2) + "".join(f"{name:>11}" for name in STOPS[1:]))
    for i, row in enumerate(matrix[:-1]):
        cells = "".join(f"{row[j]:11.1f}" if j > i else " " * 11 for j in range(1, len(STOPS)))
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


def main():
    names, alignments, freqs, minutes = line_description()
    demand = peak_demand()
    # Capacity per unit of frequency: a frequency of f buses per minute carries
    # f × PEAK_MINUTES × BUS_CAPACITY riders in the hour.
    capacity = float(PEAK_MINUTES * BUS_CAPACITY)

    plain = vemo.mat_linear_assign(alignments, freqs, minutes, demand)
    congested = vemo.mat_linear_congested_assign(alignments, freqs, minutes, demand, capacity,
                                                 average_decay_factor=0.1, max_iters=200)

    print(f"Small city: {len(STOPS)} stops, {len(alignments)} line directions, "
          f"{sum(sum(row) for row in demand):.0f} trips in the peak hour")
    print()
    print_costs("Expected minutes from stop (row) to stop (column), uncongested", plain[0])
    print()
    print_costs("The same under congestion", congested[0])
    print()
    print_loads(names, alignments, segment_loads(alignments, plain[1]),
                segment_loads(alignments, congested[1]), [f * capacity for f in freqs])
    print()
    print(f"Total rider-minutes (trips towards the Station excluded, as stop 0 is never a "
          f"destination): {plain[2]:.0f} uncongested, {congested[2]:.0f} congested")


if __name__ == "__main__":
    main()
