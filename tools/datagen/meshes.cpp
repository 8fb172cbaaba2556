// The two spiky bodies. Each is a cube sphere (six grids of quads pushed out
// to a sphere) whose radius rises into smooth spikes around a set of
// directions. The OBJ text is written to use every path of the show's reader:
// a comment, v, vt and vn lines, faces before the first group and in several
// named groups (one name used twice), triangles and quads, and the corner
// notations "v", "v/vt", "v/vt/vn" and "v//vn". Faces run counter-clockwise
// seen from outside.
#include "meshes.h"

#include <array>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

const double pi = 3.14159265358979323846;
const int gridSize = 24;      // quads along each cube edge
const double tipRadius = 7.4; // units, at the end of the longest spike

struct Point {
    double x, y, z;
};

Point add(Point a, Point b) {
    return Point{a.x + b.x, a.y + b.y, a.z + b.z};
}
Point subtract(Point a, Point b) {
    return Point{a.x - b.x, a.y - b.y, a.z - b.z};
}
Point scaled(Point a, double s) {
    return Point{a.x * s, a.y * s, a.z * s};
}
double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Point cross(Point a, Point b) {
    return Point{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Point normalised(Point a) {
    return scaled(a, 1.0 / std::sqrt(dot(a, a)));
}

struct Spike {
    Point direction;
    double height;    // added to the core radius at the tip
    double sharpness; // exponent of the cosine profile: larger is slimmer
};

struct Body {
    const char* name;
    double coreRadius;
    double ripple; // amplitude of a gentle wave over the core
    std::vector<Spike> spikes;
};

// The twelve directions of an icosahedron's corners.
std::vector<Point> icosahedronCorners() {
    const double g = (1 + std::sqrt(5.0)) / 2;
    std::vector<Point> corners;
    for (int a = -1; a <= 1; a += 2)
        for (int b = -1; b <= 1; b += 2) {
            corners.push_back(normalised(Point{0, (double)a, b * g}));
            corners.push_back(normalised(Point{(double)a, b * g, 0}));
            corners.push_back(normalised(Point{b * g, 0, (double)a}));
        }
    return corners;
}

// The twenty face centres of the icosahedron (a dodecahedron's corners).
std::vector<Point> dodecahedronCorners() {
    const double g = (1 + std::sqrt(5.0)) / 2, h = 1 / g;
    std::vector<Point> corners;
    for (int a = -1; a <= 1; a += 2)
        for (int b = -1; b <= 1; b += 2) {
            for (int c = -1; c <= 1; c += 2)
                corners.push_back(normalised(Point{(double)a, (double)b, (double)c}));
            corners.push_back(normalised(Point{0, a * h, b * g}));
            corners.push_back(normalised(Point{a * h, b * g, 0}));
            corners.push_back(normalised(Point{b * g, 0, a * h}));
        }
    return corners;
}

Body makeBody(int which) {
    Body body;
    if (which == 0) {
        // A sea mine: twelve long, round-tipped spikes on a smooth ball.
        body = Body{"smoothspike", 4.3, 0.0, {}};
        for (Point d : icosahedronCorners())
            body.spikes.push_back(Spike{d, 3.3, 26});
    } else {
        // An urchin: twelve long slim spikes, twenty short ones between them,
        // on a core with a soft wave.
        body = Body{"smoothspike2", 3.8, 0.22, {}};
        for (Point d : icosahedronCorners())
            body.spikes.push_back(Spike{d, 3.7, 60});
        for (Point d : dodecahedronCorners())
            body.spikes.push_back(Spike{d, 1.9, 34});
    }
    return body;
}

double radiusAt(const Body& body, Point d) {
    double r = body.coreRadius;
    r += body.ripple * std::sin(5 * std::atan2(d.z, d.x)) *
         std::sin(4 * std::acos(std::fmax(-1, std::fmin(1, d.y))));
    // Spikes add, and the strongest dominates near its axis.
    for (const Spike& s : body.spikes) {
        double c = dot(d, s.direction);
        if (c > 0)
            r += s.height * std::pow(c, s.sharpness);
    }
    return r;
}

struct Mesh {
    std::vector<Point> positions;
    std::vector<Point> normals;
    std::vector<double> u, v;
    // Faces of each cube side as quads of vertex numbers (0-based here).
    std::vector<std::vector<std::array<int, 4>>> sides;
};

// Equal-angle cube-sphere direction for lattice coordinates in -1..1.
Point latticeDirection(double a, double b, double c) {
    return normalised(Point{std::tan(a * pi / 4), std::tan(b * pi / 4), std::tan(c * pi / 4)});
}

Mesh buildMesh(const Body& body) {
    Mesh mesh;
    std::map<std::array<int, 3>, int> lattice; // shared corners along cube edges
    auto vertexAt = [&](int i, int j, int k) {
        auto key = std::array<int, 3>{i, j, k};
        auto found = lattice.find(key);
        if (found != lattice.end())
            return found->second;
        Point d = latticeDirection(2.0 * i / gridSize - 1, 2.0 * j / gridSize - 1,
                                   2.0 * k / gridSize - 1);
        mesh.positions.push_back(scaled(d, radiusAt(body, d)));
        mesh.u.push_back(0.5 + std::atan2(d.z, d.x) / (2 * pi));
        mesh.v.push_back(0.5 + std::asin(d.y) / pi);
        int index = (int)mesh.positions.size() - 1;
        lattice[key] = index;
        return index;
    };
    for (int axis = 0; axis < 3; axis++)
        for (int end = 0; end <= gridSize; end += gridSize) {
            std::vector<std::array<int, 4>> side;
            for (int a = 0; a < gridSize; a++)
                for (int b = 0; b < gridSize; b++) {
                    std::array<int, 4> quad;
                    const int corners[4][2] = {{a, b}, {a + 1, b}, {a + 1, b + 1}, {a, b + 1}};
                    for (int c = 0; c < 4; c++) {
                        int p = corners[c][0], q = corners[c][1];
                        quad[c] = axis == 0   ? vertexAt(end, p, q)
                                  : axis == 1 ? vertexAt(q, end, p)
                                              : vertexAt(p, q, end);
                    }
                    // Counter-clockwise seen from outside: the face normal
                    // must point away from the centre.
                    Point p0 = mesh.positions[quad[0]], p1 = mesh.positions[quad[1]],
                          p2 = mesh.positions[quad[2]];
                    Point n = cross(subtract(p1, p0), subtract(p2, p0));
                    if (dot(n, add(p0, p2)) < 0)
                        std::swap(quad[1], quad[3]);
                    side.push_back(quad);
                }
            mesh.sides.push_back(side);
        }
    // The longest spike reaches the tip radius: at the scenes' scale of 0.2
    // the body then fills about two thirds of the screen's height.
    double longest = 0;
    for (const Point& p : mesh.positions)
        longest = std::max(longest, std::sqrt(dot(p, p)));
    for (Point& p : mesh.positions)
        p = scaled(p, tipRadius / longest);
    // Area-weighted vertex normals, for the vn lines.
    mesh.normals.assign(mesh.positions.size(), Point{0, 0, 0});
    for (const auto& side : mesh.sides)
        for (const auto& q : side)
            for (int t = 0; t < 2; t++) {
                int a = q[0], b = q[1 + t], c = q[2 + t];
                Point n = cross(subtract(mesh.positions[b], mesh.positions[a]),
                                subtract(mesh.positions[c], mesh.positions[a]));
                for (int corner : {a, b, c})
                    mesh.normals[corner] = add(mesh.normals[corner], n);
            }
    for (Point& n : mesh.normals)
        n = normalised(n);
    return mesh;
}

enum Notation { plainCorners, withTexture, withTextureAndNormal, withNormal };

void writeCorner(std::FILE* file, int vertex, Notation notation) {
    int n = vertex + 1; // one vt and one vn per vertex, numbered alike
    switch (notation) {
    case plainCorners:
        std::fprintf(file, " %d", n);
        break;
    case withTexture:
        std::fprintf(file, " %d/%d", n, n);
        break;
    case withTextureAndNormal:
        std::fprintf(file, " %d/%d/%d", n, n, n);
        break;
    case withNormal:
        std::fprintf(file, " %d//%d", n, n);
        break;
    }
}

// Quads are split along the shorter diagonal when a side is written as triangles.
void writeFace(std::FILE* file, const Mesh& mesh, const std::array<int, 4>& q, Notation notation,
               bool triangles) {
    if (!triangles) {
        std::fputs("f", file);
        for (int c = 0; c < 4; c++)
            writeCorner(file, q[c], notation);
        std::fputs("\n", file);
        return;
    }
    Point d02 = subtract(mesh.positions[q[2]], mesh.positions[q[0]]);
    Point d13 = subtract(mesh.positions[q[3]], mesh.positions[q[1]]);
    int start = dot(d02, d02) <= dot(d13, d13) ? 0 : 1;
    for (int t = 0; t < 2; t++) {
        std::fputs("f", file);
        for (int c : {start, start + 1 + t, start + 2 + t})
            writeCorner(file, q[c % 4], notation);
        std::fputs("\n", file);
    }
}

} // namespace

bool writeSpikeMesh(const std::string& path, int which) {
    Body body = makeBody(which);
    Mesh mesh = buildMesh(body);
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        std::fprintf(stderr, "vantrel-datagen: cannot write %s\n", path.c_str());
        return false;
    }
    std::fprintf(file, "# %s: a spiky smooth body, %zu vertices, made by vantrel-datagen\n",
                 body.name, mesh.positions.size());
    std::fprintf(file, "o %s\n", body.name);
    for (const Point& p : mesh.positions)
        std::fprintf(file, "v %.5f %.5f %.5f\n", p.x, p.y, p.z);
    for (size_t i = 0; i < mesh.u.size(); i++)
        std::fprintf(file, "vt %.5f %.5f\n", mesh.u[i], mesh.v[i]);
    for (const Point& n : mesh.normals)
        std::fprintf(file, "vn %.5f %.5f %.5f\n", n.x, n.y, n.z);
    std::fputs("s 1\n", file);
    // Side by side: its group (none: the faces before the first g line),
    // its corner notation, and whether it is written as triangles.
    struct SideStyle {
        const char* group;
        Notation notation;
        bool triangles;
    };
    const SideStyle styles[6] = {
        {nullptr, plainCorners, false},        {"east", withTexture, false},
        {"north", withTextureAndNormal, true}, {"south", withNormal, false},
        {"up", withTextureAndNormal, false},   {"down", withTexture, true},
    };
    for (int side = 0; side < 6; side++) {
        const SideStyle& style = styles[side];
        const auto& faces = mesh.sides[side];
        size_t half = faces.size() / 2;
        if (style.group)
            std::fprintf(file, "g %s\n", style.group);
        for (size_t i = 0; i < faces.size(); i++) {
            // The second half of the last side goes back to an earlier group,
            // which gathers both runs of faces under one name.
            if (side == 5 && i == half)
                std::fputs("g east\n", file);
            writeFace(file, mesh, faces[i], style.notation, style.triangles);
        }
    }
    bool ok = std::ferror(file) == 0;
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "vantrel-datagen: cannot write %s\n", path.c_str());
    return ok;
}
