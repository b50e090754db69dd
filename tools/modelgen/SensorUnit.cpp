#include "SensorUnit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvanta::tools {
namespace {

constexpr double kPi = std::numbers::pi;
// Everything below is drawn in centimetres of the real unit; the view wants a model some
// nine units across at its 15-unit viewing distance.
constexpr double kScale = 1.4;

// Heights of the stack, bottom to top.
constexpr double kBaseBottom = -1.0, kBaseTop = -0.78;
constexpr double kHousingTop = 0.70, kLidBottom = 0.76, kLidBevel = 0.89, kLidTop = 0.96;
constexpr double kMarkTop = kLidTop + 0.025;
constexpr double kHousingHalfX = 2.0, kHousingHalfY = 2.5, kHousingRadius = 0.45;

const P2 kOrigin{0, 0};

// The connector and the lamp stand out of the back wall (+y); their local z is the file's y.
Pose BackWall(double x, double z) {
    Pose pose;
    pose.rows = {{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}};
    pose.offset = {x, kHousingHalfY, z};
    return pose;
}

Pose Mirror(double sx, double sy) {
    Pose pose;
    pose.rows = {{{sx, 0, 0}, {0, sy, 0}, {0, 0, 1}}};
    return pose;
}

Pose At(double x, double y, double z = 0.0) {
    Pose pose;
    pose.offset = {x, y, z};
    return pose;
}

MeshBuilder Housing() {
    MeshBuilder m;
    const auto outline = RoundedRect(kOrigin, kHousingHalfX, kHousingHalfY, kHousingRadius, 8);
    m.Walls(outline, kBaseTop, kHousingTop);
    m.Cap(outline, kHousingTop, true);
    return m;
}

// One quarter of the mounting flanges: the ear on +x, +y with its bolt hole.
MeshBuilder EarQuarter() {
    constexpr double x0 = 2.12, x1 = 3.0, y1 = 1.9, corner = 0.35;
    const P2 hole{2.56, 1.15};
    constexpr double holeRadius = 0.17;
    std::vector<P2> outline{{x0, 0}, {x1, 0}};
    for (int s = 0; s <= 6; ++s) {
        const double a = kPi / 2 * s / 6;
        outline.push_back({x1 - corner + corner * std::cos(a), y1 - corner + corner * std::sin(a)});
    }
    outline.push_back({x0, y1});

    std::vector<double> angles = UniformAngles(40);
    for (double a : AnglesOf(outline, hole)) {
        angles.push_back(a);
    }
    std::sort(angles.begin(), angles.end());
    angles.erase(
        std::unique(angles.begin(), angles.end(), [](double a, double b) { return b - a < 1e-6; }),
        angles.end());
    const auto rim = RayHits(outline, hole, angles);
    const auto bore = CircleAt(hole, holeRadius, angles);

    MeshBuilder m;
    m.FlatRing(rim, bore, kBaseTop, true);
    m.FlatRing(rim, bore, kBaseBottom, false);
    // No walls where the ear joins the plate or its mirror image.
    m.Walls(rim, kBaseBottom, kBaseTop, [&](std::size_t i) {
        const P2& a = rim[i];
        const P2& b = rim[(i + 1) % rim.size()];
        return (std::fabs(a.u - x0) < 1e-9 && std::fabs(b.u - x0) < 1e-9) ||
               (std::fabs(a.v) < 1e-9 && std::fabs(b.v) < 1e-9);
    });
    m.Walls(Reversed(bore), kBaseBottom, kBaseTop);
    return m;
}

MeshBuilder Base() {
    MeshBuilder m;
    const auto outline = RoundedRect(kOrigin, 2.12, 2.62, 0.5, 8);
    m.Walls(outline, kBaseBottom, kBaseTop);
    m.Cap(outline, kBaseTop, true);
    m.Cap(outline, kBaseBottom, false);
    const MeshBuilder ear = EarQuarter();
    for (double sx : {1.0, -1.0}) {
        for (double sy : {1.0, -1.0}) {
            m.Append(ear, Mirror(sx, sy));
        }
    }
    return m;
}

MeshBuilder Lid() {
    MeshBuilder m;
    const auto outline = RoundedRect(kOrigin, kHousingHalfX, kHousingHalfY, kHousingRadius, 8);
    constexpr double bevel = 0.07;
    const auto top = RoundedRect(kOrigin, kHousingHalfX - bevel, kHousingHalfY - bevel,
                                 kHousingRadius - bevel, 8);
    m.Walls(outline, kLidBottom, kLidBevel);
    m.Band(outline, kLidBevel, top, kLidTop);
    m.Cap(top, kLidTop, true);
    m.Cap(outline, kLidBottom, false);
    return m;
}

// A head with a hexagon socket, standing on z = 0: outer profile, flat top ring, recess.
MeshBuilder SocketHead(const std::vector<ProfilePoint>& profile, double socketRadius,
                       double socketDepth, int segments) {
    MeshBuilder m;
    m.Lathe(kOrigin, profile, segments);
    const double topRadius = profile.back().r, top = profile.back().z;
    const auto angles = UniformAngles(segments);
    std::vector<P2> hexagon;
    for (double a : UniformAngles(6)) {
        hexagon.push_back({socketRadius * std::cos(a), socketRadius * std::sin(a)});
    }
    const auto socket = RayHits(hexagon, kOrigin, angles);
    m.FlatRing(CircleAt(kOrigin, topRadius, angles), socket, top, true);
    m.Walls(Reversed(socket), top - socketDepth, top);
    m.Cap(hexagon, top - socketDepth, true);
    return m;
}

MeshBuilder Screws() {
    MeshBuilder m;
    // Lid screws: low pan heads in the lid's corners.
    const MeshBuilder lidScrew = SocketHead({{0.17, kLidTop, true},
                                             {0.17, kLidTop + 0.03},
                                             {0.155, kLidTop + 0.052},
                                             {0.12, kLidTop + 0.062, true}},
                                            0.06, 0.03, 24);
    for (double sx : {1.0, -1.0}) {
        for (double sy : {1.0, -1.0}) {
            m.Append(lidScrew, At(sx * 1.58, sy * 2.08));
        }
    }
    // Four small domed screws hold the connector's square flange.
    MeshBuilder flangeScrew;
    flangeScrew.Lathe(
        kOrigin, {{0.055, 0.08, true}, {0.055, 0.095}, {0.04, 0.115}, {0.02, 0.123}, {0, 0.125}},
        12);
    for (double sx : {1.0, -1.0}) {
        for (double sy : {1.0, -1.0}) {
            MeshBuilder placed;
            placed.Append(flangeScrew, At(sx * 0.37, sy * 0.37));
            m.Append(placed, BackWall(0.0, -0.04));
        }
    }
    return m;
}

// Page coordinates of the lid's label (u to the body's right, v forward) to file axes.
P2 Label(double u, double v) {
    return {-u, -v};
}

std::vector<P2> LabelLoop(const std::vector<P2>& pageLoop) {
    std::vector<P2> loop;
    for (const P2& p : pageLoop) {
        loop.push_back(Label(p.u, p.v));
    }
    return loop;
}

void RaisedMark(MeshBuilder& m, const std::vector<P2>& pageLoop) {
    const auto loop = LabelLoop(pageLoop);
    m.Walls(loop, kLidTop, kMarkTop);
    m.Cap(loop, kMarkTop, true);
}

std::vector<P2> Arrow(const P2& from, const P2& to, double shaft, double head, double headLength) {
    const double du = to.u - from.u, dv = to.v - from.v;
    const double length = std::hypot(du, dv);
    const double fu = du / length, fv = dv / length; // forward
    const double lu = -fv, lv = fu;                  // left
    auto p = [&](double along, double side) {
        return P2{from.u + fu * along + lu * side, from.v + fv * along + lv * side};
    };
    const double neck = length - headLength;
    return {p(0, -shaft / 2),  p(neck, -shaft / 2), p(neck, -head / 2), p(length, 0),
            p(neck, head / 2), p(neck, shaft / 2),  p(0, shaft / 2)};
}

// Body axes printed on the lid: X forward, Y right, and Z down into the lid (a circled
// cross).
MeshBuilder AxisMarks() {
    MeshBuilder m;
    const P2 origin{-0.8, -1.2};
    const P2 centre = Label(origin.u, origin.v);
    m.Lathe(centre,
            {{0.28, kLidTop, true}, {0.28, kMarkTop, true}, {0.2, kMarkTop, true}, {0.2, kLidTop}},
            40);
    constexpr double d = 0.13;
    RaisedMark(m, Bar({origin.u - d, origin.v - d}, {origin.u + d, origin.v + d}, 0.07));
    RaisedMark(m, Bar({origin.u - d, origin.v + d}, {origin.u + d, origin.v - d}, 0.07));

    RaisedMark(m, Arrow({origin.u, origin.v + 0.34}, {origin.u, 1.25}, 0.14, 0.4, 0.42));
    RaisedMark(m, Arrow({origin.u + 0.34, origin.v}, {0.95, origin.v}, 0.14, 0.4, 0.42));

    constexpr double stroke = 0.085, w = 0.15, h = 0.2;
    const P2 x{-1.35, 1.05};
    RaisedMark(m, Bar({x.u - w, x.v - h}, {x.u + w, x.v + h}, stroke));
    RaisedMark(m, Bar({x.u - w, x.v + h}, {x.u + w, x.v - h}, stroke));
    const P2 y{0.8, -1.62};
    RaisedMark(m, Bar({y.u - w, y.v + h}, {y.u, y.v}, stroke));
    RaisedMark(m, Bar({y.u + w, y.v + h}, {y.u, y.v}, stroke));
    RaisedMark(m, Bar({y.u, y.v + stroke / 2}, {y.u, y.v - h}, stroke));
    return m;
}

// An M12-style receptacle on the back wall: square flange, body, thread, contact pins.
MeshBuilder Connector() {
    MeshBuilder local;
    const auto flange = RoundedRect(kOrigin, 0.5, 0.5, 0.12, 4);
    const auto flangeTop = RoundedRect(kOrigin, 0.48, 0.48, 0.10, 4);
    local.Walls(flange, 0.0, 0.06);
    local.Band(flange, 0.06, flangeTop, 0.08);
    local.Cap(flangeTop, 0.08, true);

    std::vector<ProfilePoint> body{{0.36, 0.08, true}, {0.36, 0.40, true}, {0.31, 0.40, true}};
    constexpr int ridges = 9;
    for (int i = 0; i < 2 * ridges; ++i) {
        body.push_back({i % 2 == 0 ? 0.31 : 0.335, 0.42 + 0.38 * i / (2 * ridges - 1)});
    }
    body.back().r = 0.31;
    body.back().crease = true;
    body.push_back({0.24, 0.80, true});
    body.push_back({0.24, 0.60});
    local.Lathe(kOrigin, body, 32);

    MeshBuilder pin;
    pin.Lathe(kOrigin, {{0.028, 0.60}, {0.028, 0.69}, {0.02, 0.70, true}, {0, 0.70}}, 8);
    local.Append(pin, At(0, 0));
    for (int k = 0; k < 4; ++k) {
        const double a = kPi / 4 + kPi / 2 * k;
        local.Append(pin, At(0.12 * std::cos(a), 0.12 * std::sin(a)));
    }
    MeshBuilder m;
    m.Append(local, BackWall(0.0, -0.04));
    return m;
}

MeshBuilder StatusLamp() {
    MeshBuilder local;
    local.Lathe(kOrigin,
                {{0.1, 0.02, true}, {0.1, 0.045}, {0.085, 0.075}, {0.05, 0.092}, {0, 0.097}}, 20);
    MeshBuilder m;
    m.Append(local, BackWall(1.25, 0.22));
    return m;
}

MeshBuilder MountingBolts() {
    MeshBuilder bolt = SocketHead({{0.33, kBaseTop, true},
                                   {0.33, kBaseTop + 0.03, true},
                                   {0.26, kBaseTop + 0.03, true},
                                   {0.26, kBaseTop + 0.2, true},
                                   {0.23, kBaseTop + 0.23, true}},
                                  0.12, 0.1, 24);
    // The bolt's end shows under the flange.
    bolt.Lathe(kOrigin,
               {{0, kBaseBottom - 0.08}, {0.15, kBaseBottom - 0.08, true}, {0.15, kBaseBottom}},
               24);
    MeshBuilder m;
    for (double sx : {1.0, -1.0}) {
        for (double sy : {1.0, -1.0}) {
            m.Append(bolt, At(sx * 2.56, sy * 1.15));
        }
    }
    return m;
}

// Dark rubber and plastic: the lid seal, the connector's contact carrier, the lamp's bezel.
MeshBuilder Seals() {
    MeshBuilder m;
    m.Walls(RoundedRect(kOrigin, 1.97, 2.47, 0.42, 8), kHousingTop, kLidBottom);
    MeshBuilder insert;
    insert.Lathe(kOrigin, {{0.24, 0.60}, {0, 0.60}}, 32);
    m.Append(insert, BackWall(0.0, -0.04));
    MeshBuilder bezel;
    bezel.Lathe(kOrigin, {{0.16, 0.0, true}, {0.16, 0.02, true}, {0.1, 0.02}}, 20);
    m.Append(bezel, BackWall(1.25, 0.22));
    return m;
}

} // namespace

std::vector<SensorPart> BuildSensorUnit() {
    // Colours match the view's colour table, so other viewers show the unit alike.
    std::vector<SensorPart> parts;
    parts.push_back({"Housing", "Anodised housing", {125, 221, 221}, Housing()});
    parts.push_back({"Base", "Base plate", {95, 131, 131}, Base()});
    parts.push_back({"Lid", "Lid", {104, 158, 158}, Lid()});
    parts.push_back({"AxisMarks", "Axis marks", {159, 67, 67}, AxisMarks()});
    parts.push_back({"Screws", "Stainless screws", {109, 173, 173}, Screws()});
    parts.push_back({"Connector", "Connector", {115, 191, 191}, Connector()});
    parts.push_back({"StatusLamp", "Lamp lens", {137, 1, 1}, StatusLamp()});
    parts.push_back({"MountingBolts", "Mounting bolts", {109, 173, 173}, MountingBolts()});
    parts.push_back({"Seals", "Rubber", {81, 89, 89}, Seals()});
    for (SensorPart& part : parts) {
        part.mesh.Scale(kScale);
    }
    return parts;
}

} // namespace orvanta::tools
