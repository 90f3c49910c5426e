import numpy as np
import pytest

from vemo_plan.job.pictures import _segments, _shifted


def shifted_alone(path, distance):
    """One path moved `distance` to its left, on its own: the normals of its pieces of some
    length, averaged at each corner."""
    along = np.diff(path, axis=0)
    length = np.hypot(along[:, 0], along[:, 1])
    if distance == 0 or not (length > 0).any():
        return path
    along, length = along[length > 0], length[length > 0]
    left = np.column_stack([-along[:, 1], along[:, 0]]) / length[:, None]
    normals = np.concatenate([left[:1], left[:-1] + left[1:], left[-1:]])
    normals /= np.hypot(normals[:, 0], normals[:, 1])[:, None]
    points = np.concatenate([path[:1], path[1:][np.hypot(*np.diff(path, axis=0).T) > 0]])
    return points + distance * normals


# Per line: its path's points and each stop's index in them.
LINES = [
    ([[0, 0], [1, 0], [1, 1], [2, 1]], [0, 2, 3]),  # a corner, then a single piece
    ([[0, 0], [0, 0], [3, 4], [3, 4], [6, 0]], [0, 3, 4]),  # pieces of no length
    ([[5, 5], [5, 5]], [0, 1]),  # a segment of no length
    ([[2, 2], [4, 2]], [0, 0, 1]),  # a stop twice at one point: a segment of one point
]


@pytest.mark.parametrize("across", [[0.5, -0.25, 0.1, 0.0, 2.0, 0.3, -1.0],
                                    [0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0]])
def test_paths_are_moved_as_one_at_a_time(across):
    xy = np.zeros((10, 2))
    paths = [(np.array(points, float), np.array(at)) for points, at in LINES]
    alignments = [np.arange(len(at)) + 3 * line for line, (_, at) in enumerate(LINES)]
    segments = _segments(xy, alignments, paths)
    alone = [points[at[k]:at[k + 1] + 1] for points, at in paths for k in range(len(at) - 1)]
    assert len(segments.line) == len(alone) == len(across)
    assert all(np.array_equal(mine, theirs) for mine, theirs in zip(segments.paths(), alone))
    moved = _shifted(segments, np.array(across))
    expected = [shifted_alone(path, distance) for path, distance in zip(alone, across)]
    assert [path.shape for path in moved] == [path.shape for path in expected]
    assert all(np.array_equal(mine, theirs) for mine, theirs in zip(moved, expected))


def test_segments_straight_from_stop_to_stop_without_paths():
    xy = np.array([[0.0, 0.0], [1.0, 0.0], [1.0, 2.0]])
    segments = _segments(xy, [[0, 1, 2], [2, 0], [1]], None)
    assert (segments.line.tolist(), segments.a.tolist(), segments.b.tolist()) == \
        ([0, 0, 1], [0, 1, 2], [1, 2, 0])
    assert [path.tolist() for path in segments.paths()] == \
        [[[0, 0], [1, 0]], [[1, 0], [1, 2]], [[1, 2], [0, 0]]]
