"""Medians and the printed table."""

import statistics


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def fmt(value, digits=1):
    if value is None:
        return "-"
    if isinstance(value, str):
        return value
    return f"{value:.{digits}f}"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return None
    return a / b


def print_table(title, header, rows):
    """rows: lists of cells (strings). The first column is left-aligned."""
    print()
    print(f"== {title}")
    widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
    for r in [header] + rows:
        cells = [str(r[0]).ljust(widths[0])] + [str(c).rjust(w) for c, w in zip(r[1:], widths[1:])]
        print("  " + "  ".join(cells))
