"""Geometry for the artwork: every shape gives a signed distance in pixels
(negative inside) and a bounding box that limits the pixels it can touch."""

import math


class Shape:
    def __init__(self, sd, bbox):
        self.sd = sd
        self.bbox = bbox

    def grown(self, amount):
        """The shape offset outwards by amount pixels (inwards when negative)."""
        sd = self.sd
        x0, y0, x1, y1 = self.bbox
        return Shape(lambda x, y: sd(x, y) - amount,
                     (x0 - amount, y0 - amount, x1 + amount, y1 + amount))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def round_box(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - r, (y1 - y0) / 2.0 - r

    def sd(x, y):
        qx = abs(x - cx) - hx
        qy = abs(y - cy) - hy
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return Shape(sd, (x0, y0, x1, y1))


def box(x0, y0, x1, y1):
    return round_box(x0, y0, x1, y1, 0.0)


def stroke(points, half_width):
    """A polyline of the given half width with round caps and joins."""
    segs = []
    for (ax, ay), (bx, by) in zip(points, points[1:]):
        dx, dy = bx - ax, by - ay
        segs.append((ax, ay, dx, dy, dx * dx + dy * dy))

    def sd(x, y):
        best = 1e9
        for ax, ay, dx, dy, ll in segs:
            px, py = x - ax, y - ay
            t = 0.0 if ll == 0 else max(0.0, min(1.0, (px * dx + py * dy) / ll))
            d = math.hypot(px - t * dx, py - t * dy)
            if d < best:
                best = d
        return best - half_width
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(sd, (min(xs) - half_width, min(ys) - half_width,
                      max(xs) + half_width, max(ys) + half_width))


def polygon(points):
    n = len(points)
    edges = []
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        dx, dy = bx - ax, by - ay
        edges.append((ax, ay, bx, by, dx, dy, dx * dx + dy * dy))

    def sd(x, y):
        best = 1e9
        inside = False
        for ax, ay, bx, by, dx, dy, ll in edges:
            px, py = x - ax, y - ay
            t = 0.0 if ll == 0 else max(0.0, min(1.0, (px * dx + py * dy) / ll))
            d = math.hypot(px - t * dx, py - t * dy)
            if d < best:
                best = d
            if (ay > y) != (by > y) and x < ax + (y - ay) * dx / dy:
                inside = not inside
        return -best if inside else best
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return Shape(sd, (min(xs), min(ys), max(xs), max(ys)))


def arc(cx, cy, r, half_width, start, sweep):
    """A circular stroke with round caps from angle start (radians, clockwise
    on screen because y grows downwards) over sweep radians."""
    ex0, ey0 = cx + r * math.cos(start), cy + r * math.sin(start)
    ex1, ey1 = cx + r * math.cos(start + sweep), cy + r * math.sin(start + sweep)
    two_pi = 2.0 * math.pi

    def sd(x, y):
        t = (math.atan2(y - cy, x - cx) - start) % two_pi
        if t <= sweep:
            return abs(math.hypot(x - cx, y - cy) - r) - half_width
        return min(math.hypot(x - ex0, y - ey0), math.hypot(x - ex1, y - ey1)) - half_width
    e = r + half_width
    return Shape(sd, (cx - e, cy - e, cx + e, cy + e))


def rounded_triangle(points, radius):
    """A triangle with its corners rounded by radius, outline kept in place:
    the triangle is shrunk about its incentre, then grown by radius."""
    (ax, ay), (bx, by), (cx, cy) = points
    la = math.hypot(bx - cx, by - cy)
    lb = math.hypot(ax - cx, ay - cy)
    lc = math.hypot(ax - bx, ay - by)
    per = la + lb + lc
    ix = (la * ax + lb * bx + lc * cx) / per
    iy = (la * ay + lb * by + lc * cy) / per
    inradius = abs((bx - ax) * (cy - ay) - (cx - ax) * (by - ay)) / per
    f = 1.0 - radius / inradius
    inner = [(ix + (x - ix) * f, iy + (y - iy) * f) for x, y in points]
    return polygon(inner).grown(radius)


def union(*shapes):
    def sd(x, y):
        return min(s.sd(x, y) for s in shapes)
    return Shape(sd, (min(s.bbox[0] for s in shapes), min(s.bbox[1] for s in shapes),
                      max(s.bbox[2] for s in shapes), max(s.bbox[3] for s in shapes)))


def subtract(a, b):
    return Shape(lambda x, y: max(a.sd(x, y), -b.sd(x, y)), a.bbox)
