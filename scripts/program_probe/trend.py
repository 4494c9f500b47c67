"""Whether a quantity sampled over a run keeps growing: the Theil-Sen slope (the median of the
slopes between every two samples) times the run's length. Unlike first-against-last it sees
a steady climb through noise, and a few peaks (a large chart held for a moment) do not move
it."""
import statistics


def growth(points):
    """The trend's rise over the span of points [(time, value)], 0 with fewer than two."""
    slopes = [(b_value - a_value) / (b_at - a_at)
              for i, (a_at, a_value) in enumerate(points)
              for b_at, b_value in points[i + 1:] if b_at != a_at]
    if not slopes:
        return 0.0
    return statistics.median(slopes) * (points[-1][0] - points[0][0])
