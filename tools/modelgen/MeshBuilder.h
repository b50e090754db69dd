#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace orvanta::tools {

struct P2 {
    double u = 0.0, v = 0.0;
};

struct P3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

// A rotation (rows of a 3 x 3 matrix) followed by a translation. A mirroring pose flips the
// winding of appended faces so they keep facing outwards.
struct Pose {
    std::array<std::array<double, 3>, 3> rows{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    P3 offset;

    P3 Apply(const P3& p) const;
    double Determinant() const;
};

// One point of a lathe profile (radius, height); a crease keeps the bands on either side
// from sharing vertices, so the edge stays sharp.
struct ProfilePoint {
    double r = 0.0, z = 0.0;
    bool crease = false;
};

// Builds a triangle mesh in the 3DS file's axes (z up). Faces wind counter-clockwise seen from
// outside. Surfaces meant to look smooth share vertices; sharp edges get their own copies.
class MeshBuilder {
public:
    int Vertex(const P3& p);
    void Triangle(int a, int b, int c);
    void Quad(int a, int b, int c, int d);

    // A flat face filling the loop (counter-clockwise from above) at height z.
    void Cap(const std::vector<P2>& loop, double z, bool facingUp);
    // Upright walls along the loop between z0 and z1, facing to the right of the direction of
    // travel; edges for which open(i) holds (loop[i] to loop[i + 1]) are left out.
    void Walls(const std::vector<P2>& loop, double z0, double z1,
               const std::function<bool(std::size_t)>& open = {});
    // A smooth band from one loop at z0 to another of the same length at z1 (a bevel).
    void Band(const std::vector<P2>& lower, double z0, const std::vector<P2>& upper, double z1);
    // A flat ring between two loops whose points pair up (same angles from a common centre).
    void FlatRing(const std::vector<P2>& outer, const std::vector<P2>& inner, double z,
                  bool facingUp);
    // A surface of revolution about the upright axis through centre, profile from bottom to
    // top (outer surfaces go outwards, up, then inwards).
    void Lathe(const P2& centre, const std::vector<ProfilePoint>& profile, int segments);

    void Append(const MeshBuilder& other, const Pose& pose);
    void Scale(double factor);

    const std::vector<P3>& Vertices() const { return m_vertices; }
    const std::vector<std::array<int, 3>>& Faces() const { return m_faces; }

private:
    std::vector<P3> m_vertices;
    std::vector<std::array<int, 3>> m_faces;
};

// Outline helpers; every loop runs counter-clockwise seen from +z.
std::vector<P2> RoundedRect(const P2& centre, double halfU, double halfV, double radius,
                            int segmentsPerCorner);
std::vector<double> UniformAngles(int count, double start = 0.0);
std::vector<P2> CircleAt(const P2& centre, double radius, const std::vector<double>& angles);
// Where rays from centre at the given angles leave a convex polygon.
std::vector<P2> RayHits(const std::vector<P2>& convex, const P2& centre,
                        const std::vector<double>& angles);
std::vector<double> AnglesOf(const std::vector<P2>& points, const P2& centre);
std::vector<P2> Reversed(std::vector<P2> loop);
// A bar of the given width from a to b, as a four-point loop.
std::vector<P2> Bar(const P2& a, const P2& b, double width);

} // namespace orvanta::tools
