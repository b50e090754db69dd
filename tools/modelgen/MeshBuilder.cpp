#include "MeshBuilder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvanta::tools {
namespace {

constexpr double kPi = std::numbers::pi;
// Outline corners turning by less than this are shaded smooth.
constexpr double kSmoothTurn = 30.0 * kPi / 180.0;

double Cross(const P2& o, const P2& a, const P2& b) {
    return (a.u - o.u) * (b.v - o.v) - (a.v - o.v) * (b.u - o.u);
}

double TurnAngle(const P2& before, const P2& at, const P2& after) {
    const double a1 = std::atan2(at.v - before.v, at.u - before.u);
    const double a2 = std::atan2(after.v - at.v, after.u - at.u);
    double turn = std::fabs(a2 - a1);
    if (turn > kPi) {
        turn = 2 * kPi - turn;
    }
    return turn;
}

bool IsConvex(const std::vector<P2>& loop) {
    const std::size_t n = loop.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (Cross(loop[i], loop[(i + 1) % n], loop[(i + 2) % n]) < -1e-12) {
            return false;
        }
    }
    return true;
}

bool InsideTriangle(const P2& p, const P2& a, const P2& b, const P2& c) {
    return Cross(a, b, p) > 0 && Cross(b, c, p) > 0 && Cross(c, a, p) > 0;
}

// Ear clipping for a simple counter-clockwise polygon; returns triangles of loop indices.
std::vector<std::array<int, 3>> EarClip(const std::vector<P2>& loop) {
    std::vector<int> left(loop.size());
    for (std::size_t i = 0; i < loop.size(); ++i) {
        left[i] = static_cast<int>(i);
    }
    std::vector<std::array<int, 3>> triangles;
    while (left.size() > 3) {
        bool clipped = false;
        for (std::size_t i = 0; i < left.size(); ++i) {
            const int a = left[(i + left.size() - 1) % left.size()];
            const int b = left[i];
            const int c = left[(i + 1) % left.size()];
            if (Cross(loop[a], loop[b], loop[c]) <= 1e-12) {
                continue;
            }
            const bool blocked = std::any_of(left.begin(), left.end(), [&](int k) {
                return k != a && k != b && k != c &&
                       InsideTriangle(loop[k], loop[a], loop[b], loop[c]);
            });
            if (blocked) {
                continue;
            }
            triangles.push_back({a, b, c});
            left.erase(left.begin() + static_cast<std::ptrdiff_t>(i));
            clipped = true;
            break;
        }
        if (!clipped) {
            break; // not a simple polygon; what is left stays open
        }
    }
    if (left.size() == 3) {
        triangles.push_back({left[0], left[1], left[2]});
    }
    return triangles;
}

} // namespace

P3 Pose::Apply(const P3& p) const {
    auto row = [&](int r) { return rows[r][0] * p.x + rows[r][1] * p.y + rows[r][2] * p.z; };
    return P3{row(0) + offset.x, row(1) + offset.y, row(2) + offset.z};
}

double Pose::Determinant() const {
    const auto& m = rows;
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

int MeshBuilder::Vertex(const P3& p) {
    m_vertices.push_back(p);
    return static_cast<int>(m_vertices.size() - 1);
}

void MeshBuilder::Triangle(int a, int b, int c) {
    m_faces.push_back({a, b, c});
}

void MeshBuilder::Quad(int a, int b, int c, int d) {
    Triangle(a, b, c);
    Triangle(a, c, d);
}

void MeshBuilder::Cap(const std::vector<P2>& loop, double z, bool facingUp) {
    auto emit = [&](int a, int b, int c) {
        if (facingUp) {
            Triangle(a, b, c);
        } else {
            Triangle(a, c, b);
        }
    };
    const int first = static_cast<int>(m_vertices.size());
    for (const P2& p : loop) {
        Vertex({p.u, p.v, z});
    }
    const int n = static_cast<int>(loop.size());
    if (IsConvex(loop)) {
        // A fan from the centre keeps every outline point in use (no cracks at the walls).
        P2 centre;
        for (const P2& p : loop) {
            centre.u += p.u / n;
            centre.v += p.v / n;
        }
        const int c = Vertex({centre.u, centre.v, z});
        for (int i = 0; i < n; ++i) {
            emit(c, first + i, first + (i + 1) % n);
        }
        return;
    }
    for (const auto& t : EarClip(loop)) {
        emit(first + t[0], first + t[1], first + t[2]);
    }
}

void MeshBuilder::Walls(const std::vector<P2>& loop, double z0, double z1,
                        const std::function<bool(std::size_t)>& open) {
    const std::size_t n = loop.size();
    std::vector<bool> smooth(n);
    std::vector<std::array<int, 2>> shared(n, {-1, -1});
    for (std::size_t i = 0; i < n; ++i) {
        smooth[i] = TurnAngle(loop[(i + n - 1) % n], loop[i], loop[(i + 1) % n]) < kSmoothTurn;
    }
    auto corner = [&](std::size_t i) -> std::array<int, 2> {
        const P2& p = loop[i];
        if (!smooth[i]) {
            return {Vertex({p.u, p.v, z0}), Vertex({p.u, p.v, z1})};
        }
        if (shared[i][0] < 0) {
            shared[i] = {Vertex({p.u, p.v, z0}), Vertex({p.u, p.v, z1})};
        }
        return shared[i];
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (open && open(i)) {
            continue;
        }
        const auto a = corner(i);
        const auto b = corner((i + 1) % n);
        Quad(a[0], b[0], b[1], a[1]);
    }
}

void MeshBuilder::Band(const std::vector<P2>& lower, double z0, const std::vector<P2>& upper,
                       double z1) {
    const std::size_t n = std::min(lower.size(), upper.size());
    const int first = static_cast<int>(m_vertices.size());
    for (std::size_t i = 0; i < n; ++i) {
        Vertex({lower[i].u, lower[i].v, z0});
        Vertex({upper[i].u, upper[i].v, z1});
    }
    for (std::size_t i = 0; i < n; ++i) {
        const int a = first + 2 * static_cast<int>(i);
        const int b = first + 2 * static_cast<int>((i + 1) % n);
        Quad(a, b, b + 1, a + 1);
    }
}

void MeshBuilder::FlatRing(const std::vector<P2>& outer, const std::vector<P2>& inner, double z,
                           bool facingUp) {
    const std::size_t n = std::min(outer.size(), inner.size());
    const int first = static_cast<int>(m_vertices.size());
    for (std::size_t i = 0; i < n; ++i) {
        Vertex({inner[i].u, inner[i].v, z});
        Vertex({outer[i].u, outer[i].v, z});
    }
    for (std::size_t i = 0; i < n; ++i) {
        const int in0 = first + 2 * static_cast<int>(i);
        const int in1 = first + 2 * static_cast<int>((i + 1) % n);
        if (facingUp) {
            Quad(in0, in0 + 1, in1 + 1, in1);
        } else {
            Quad(in0, in1, in1 + 1, in0 + 1);
        }
    }
}

void MeshBuilder::Lathe(const P2& centre, const std::vector<ProfilePoint>& profile, int segments) {
    // One ring of vertices per profile point and side of a crease; a point on the axis is a
    // single vertex.
    auto ring = [&](const ProfilePoint& p) {
        std::vector<int> indices;
        if (p.r <= 0.0) {
            indices.assign(segments, Vertex({centre.u, centre.v, p.z}));
            return indices;
        }
        for (int k = 0; k < segments; ++k) {
            const double a = 2 * kPi * k / segments;
            indices.push_back(
                Vertex({centre.u + p.r * std::cos(a), centre.v + p.r * std::sin(a), p.z}));
        }
        return indices;
    };
    std::vector<int> lower = ring(profile.front());
    for (std::size_t j = 0; j + 1 < profile.size(); ++j) {
        std::vector<int> upper = ring(profile[j + 1]);
        const bool lowerOnAxis = profile[j].r <= 0.0;
        const bool upperOnAxis = profile[j + 1].r <= 0.0;
        for (int k = 0; k < segments; ++k) {
            const int k1 = (k + 1) % segments;
            if (lowerOnAxis) {
                Triangle(lower[k], upper[k1], upper[k]);
            } else if (upperOnAxis) {
                Triangle(lower[k], lower[k1], upper[k]);
            } else {
                Quad(lower[k], lower[k1], upper[k1], upper[k]);
            }
        }
        lower = profile[j + 1].crease && j + 2 < profile.size() ? ring(profile[j + 1]) : upper;
    }
}

void MeshBuilder::Append(const MeshBuilder& other, const Pose& pose) {
    const int first = static_cast<int>(m_vertices.size());
    for (const P3& p : other.m_vertices) {
        m_vertices.push_back(pose.Apply(p));
    }
    const bool mirrored = pose.Determinant() < 0;
    for (const auto& f : other.m_faces) {
        if (mirrored) {
            Triangle(first + f[0], first + f[2], first + f[1]);
        } else {
            Triangle(first + f[0], first + f[1], first + f[2]);
        }
    }
}

void MeshBuilder::Scale(double factor) {
    for (P3& p : m_vertices) {
        p = P3{p.x * factor, p.y * factor, p.z * factor};
    }
}

std::vector<P2> RoundedRect(const P2& centre, double halfU, double halfV, double radius,
                            int segmentsPerCorner) {
    const std::array<P2, 4> corners{{{halfU - radius, halfV - radius},
                                     {-(halfU - radius), halfV - radius},
                                     {-(halfU - radius), -(halfV - radius)},
                                     {halfU - radius, -(halfV - radius)}}};
    std::vector<P2> loop;
    for (int c = 0; c < 4; ++c) {
        for (int s = 0; s <= segmentsPerCorner; ++s) {
            const double a = kPi / 2 * (c + static_cast<double>(s) / segmentsPerCorner);
            loop.push_back({centre.u + corners[c].u + radius * std::cos(a),
                            centre.v + corners[c].v + radius * std::sin(a)});
        }
    }
    return loop;
}

std::vector<double> UniformAngles(int count, double start) {
    std::vector<double> angles;
    for (int k = 0; k < count; ++k) {
        angles.push_back(start + 2 * kPi * k / count);
    }
    return angles;
}

std::vector<P2> CircleAt(const P2& centre, double radius, const std::vector<double>& angles) {
    std::vector<P2> loop;
    for (double a : angles) {
        loop.push_back({centre.u + radius * std::cos(a), centre.v + radius * std::sin(a)});
    }
    return loop;
}

std::vector<P2> RayHits(const std::vector<P2>& convex, const P2& centre,
                        const std::vector<double>& angles) {
    std::vector<P2> hits;
    for (double angle : angles) {
        const double du = std::cos(angle), dv = std::sin(angle);
        double best = 1e30;
        for (std::size_t i = 0; i < convex.size(); ++i) {
            const P2& a = convex[i];
            const P2& b = convex[(i + 1) % convex.size()];
            const double eu = b.u - a.u, ev = b.v - a.v;
            const double det = du * (-ev) - dv * (-eu);
            if (std::fabs(det) < 1e-15) {
                continue;
            }
            const double wu = a.u - centre.u, wv = a.v - centre.v;
            const double t = (wu * (-ev) - wv * (-eu)) / det;
            const double s = (du * wv - dv * wu) / det;
            if (t > 0 && s >= -1e-9 && s <= 1 + 1e-9) {
                best = std::min(best, t);
            }
        }
        hits.push_back({centre.u + best * du, centre.v + best * dv});
    }
    return hits;
}

std::vector<double> AnglesOf(const std::vector<P2>& points, const P2& centre) {
    std::vector<double> angles;
    for (const P2& p : points) {
        double a = std::atan2(p.v - centre.v, p.u - centre.u);
        if (a < 0) {
            a += 2 * kPi;
        }
        angles.push_back(a);
    }
    return angles;
}

std::vector<P2> Reversed(std::vector<P2> loop) {
    std::reverse(loop.begin(), loop.end());
    return loop;
}

std::vector<P2> Bar(const P2& a, const P2& b, double width) {
    const double du = b.u - a.u, dv = b.v - a.v;
    const double length = std::hypot(du, dv);
    const double nu = -dv / length * width / 2, nv = du / length * width / 2;
    return {{a.u - nu, a.v - nv}, {b.u - nu, b.v - nv}, {b.u + nu, b.v + nv}, {a.u + nu, a.v + nv}};
}

} // namespace orvanta::tools
