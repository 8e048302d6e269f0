// artgen.cpp - draws the installer's workshop pictures (title still, copy animation, white filler) and its icon.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

// Keep every a*b+c as two rounded operations so the pixels never depend on FMA hardware.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

namespace {

constexpr int W = 250, H = 250, SS = 4, SW = W * SS, SH = H * SS;
constexpr double PI = 3.14159265358979323846;

// ---------- arithmetic that does not depend on the host's libm ----------

double wrapAngle(double a) { return a - 2 * PI * std::floor(a / (2 * PI) + 0.5); }

double isin(double a) {
    a = wrapAngle(a);
    if (a > PI / 2) a = PI - a;
    else if (a < -PI / 2) a = -PI - a;
    double q = a * a;
    return a * (1 - q / 6 * (1 - q / 20 * (1 - q / 42 * (1 - q / 72 * (1 - q / 110 * (1 - q / 156))))));
}
double icos(double a) { return isin(a + PI / 2); }

double iatan2(double y, double x) {
    double ax = std::fabs(x), ay = std::fabs(y);
    if (ax == 0 && ay == 0) return 0;
    double t = ay > ax ? ax / ay : ay / ax;
    t = t / (1 + std::sqrt(1 + t * t));  // two angle halvings leave |t| <= tan(pi/16)
    t = t / (1 + std::sqrt(1 + t * t));
    double q = t * t;
    double r = 4 * t * (1 - q * (1.0 / 3 - q * (1.0 / 5 - q * (1.0 / 7 - q / 9))));
    if (ay > ax) r = PI / 2 - r;
    if (x < 0) r = PI - r;
    return y < 0 ? -r : r;
}

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
double smooth(double e0, double e1, double v) {
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
double frac(double v) { return v - std::floor(v); }
double rad(double deg) { return deg * PI / 180; }

uint32_t hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 15; h *= 0x2c1b3c6du; h ^= h >> 12; h *= 0x297a2d39u; h ^= h >> 15;
    return h;
}
double rnd(int x, int y, uint32_t seed) { return (hash(x, y, seed) >> 8) / 16777216.0; }

// Smooth value noise in [0,1).
double noise(double x, double y, uint32_t seed) {
    double fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    double u = x - fx, v = y - fy;
    u = u * u * (3 - 2 * u);
    v = v * v * (3 - 2 * v);
    double a = rnd(ix, iy, seed), b = rnd(ix + 1, iy, seed), c = rnd(ix, iy + 1, seed), d = rnd(ix + 1, iy + 1, seed);
    return a + (b - a) * u + (c - a) * v + (a - b - c + d) * u * v;
}

struct Rng {  // xorshift32 for reproducible spark sequences
    uint32_t s;
    double next() { s ^= s << 13; s ^= s >> 17; s ^= s << 5; return (s >> 8) / 16777216.0; }
};

// ---------- colours and supersampled layers ----------

struct Col { float r, g, b; };
Col operator+(Col a, Col b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Col operator*(Col a, double k) { float f = float(k); return {a.r * f, a.g * f, a.b * f}; }
Col mix(Col a, Col b, double t) { return a * (1 - t) + b * t; }
Col hex(uint32_t v) { return {((v >> 16) & 255) / 255.f, ((v >> 8) & 255) / 255.f, (v & 255) / 255.f}; }
Col mul(Col a, Col b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }

struct Px { Col c; double a; };
const Px NONE{{0, 0, 0}, 0};
const Col BLACK{0, 0, 0};

struct Layer {  // premultiplied colour plus coverage, SS x SS samples per output pixel
    std::vector<Col> c;
    std::vector<float> a;
    explicit Layer(float alpha) : c(size_t(SW) * SH, BLACK), a(size_t(SW) * SH, alpha) {}
    void over(const Layer& top) {
        for (size_t k = 0; k < c.size(); ++k) {
            float t = top.a[k];
            if (t <= 0) continue;
            c[k] = c[k] * (1 - t) + top.c[k];
            a[k] = a[k] * (1 - t) + t;
        }
    }
};

// Calls shade(x, y) for every sample centre inside the box (output-pixel units) and blends the result.
template <class F> void paint(Layer& L, double x0, double y0, double x1, double y1, F shade) {
    int i0 = std::max(0, int(std::floor(x0 * SS))), i1 = std::min(SW, int(std::ceil(x1 * SS)));
    int j0 = std::max(0, int(std::floor(y0 * SS))), j1 = std::min(SH, int(std::ceil(y1 * SS)));
    for (int j = j0; j < j1; ++j)
        for (int i = i0; i < i1; ++i) {
            Px p = shade((i + 0.5) / SS, (j + 0.5) / SS);
            if (p.a <= 0) continue;
            size_t k = size_t(j) * SW + i;
            float t = float(std::min(p.a, 1.0));
            L.c[k] = L.c[k] * (1 - t) + p.c * t;
            L.a[k] = L.a[k] * (1 - t) + t;
        }
}

double segDist(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay, l2 = dx * dx + dy * dy;
    double t = l2 > 0 ? clamp01(((px - ax) * dx + (py - ay) * dy) / l2) : 0;
    double ex = px - ax - t * dx, ey = py - ay - t * dy;
    return std::sqrt(ex * ex + ey * ey);
}

// Signed distance to a rounded rectangle with centre (cx,cy), half sizes hx,hy and corner radius r.
double boxDist(double x, double y, double cx, double cy, double hx, double hy, double r) {
    double qx = std::fabs(x - cx) - hx + r, qy = std::fabs(y - cy) - hy + r;
    double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

// ---------- lighting: one warm hanging lamp plus dim violet ambient ----------

constexpr double LAMP_X = 58, LAMP_Y = 61;

double lampReach(double x, double y) {
    double dx = x - LAMP_X, dy = y - LAMP_Y;
    double w = 1.45 / (1 + (dx * dx + dy * dy) / 6000.0);
    return w * (0.35 + 0.65 * smooth(-22, 2, dy));  // the shade keeps light off the ceiling
}
Col lit(Col albedo, double x, double y) {
    return mul(albedo, Col{0.27f, 0.22f, 0.28f} + Col{1.0f, 0.80f, 0.56f} * lampReach(x, y));
}

// Shaded sphere-like knob (rivets, bolts, handles).
Px ball(double x, double y, double cx, double cy, double r, Col base) {
    double dx = (x - cx) / r, dy = (y - cy) / r, q = dx * dx + dy * dy;
    if (q > 1) return NONE;
    double z = std::sqrt(1 - q);
    double diff = clamp01(0.3 + 0.7 * (-0.45 * dx - 0.55 * dy + 0.7 * z));
    double hx = dx + 0.35, hy = dy + 0.4;
    double sp = clamp01(1 - (hx * hx + hy * hy) * 7);
    return {lit(base * (0.3 + 0.9 * diff), x, y) + Col{1, 0.93f, 0.75f} * (0.7 * sp), 1};
}

Col velvet(double fold) {  // fold 0: deep crease, 1: ridge catching the light
    double s = fold * fold;
    return mix(hex(0x14000c), hex(0x8a0a34), fold) + hex(0xff5c8c) * (0.2 * s * s);
}

// ---------- stroke font (capitals), coordinates in cap heights, y up from the baseline ----------

struct P { double x, y; };
using Stroke = std::vector<P>;
constexpr double B = 0.085, T = 0.915;  // stroke centre lines at baseline and cap height; half width = B

void arc(Stroke& s, double cx, double cy, double rx, double ry, double a0, double a1) {
    int n = std::max(2, int(std::fabs(a1 - a0) / 10) + 1);
    for (int i = 0; i <= n; ++i) {
        double a = rad(a0 + (a1 - a0) * i / n);
        s.push_back({cx + rx * icos(a), cy + ry * isin(a)});
    }
}

// Appends the strokes of c and returns its ink width.
double glyph(char c, std::vector<Stroke>& out) {
    auto L = [&](std::initializer_list<P> p) { out.emplace_back(p); };
    switch (c) {
    case 'V': L({{B, T}, {0.42, B}, {0.755, T}}); return 0.84;
    case 'E': L({{0.62, T}, {B, T}, {B, B}, {0.62, B}}); L({{B, 0.5}, {0.54, 0.5}}); return 0.705;
    case 'L': L({{B, T}, {B, B}, {0.6, B}}); return 0.685;
    case 'T': L({{B, T}, {0.78, T}}); L({{0.4325, T}, {0.4325, B}}); return 0.865;
    case 'I': L({{B, T}, {B, B}}); return 0.17;
    case 'N': L({{B, B}, {B, T}, {0.7, B}, {0.7, T}}); return 0.785;
    case 'K': L({{B, T}, {B, B}}); L({{0.66, T}, {0.12, 0.42}}); L({{0.31, 0.59}, {0.68, B}}); return 0.765;
    case 'X': L({{B, T}, {0.7, B}}); L({{0.7, T}, {B, B}}); return 0.785;
    case 'R': {
        Stroke s{{B, B}, {B, T}, {0.4, T}};
        arc(s, 0.4, 0.705, 0.21, 0.21, 90, -90);
        s.push_back({B, 0.495});
        out.push_back(s);
        L({{0.36, 0.495}, {0.66, B}});
        return 0.745;
    }
    case 'S': {
        Stroke s;
        arc(s, 0.36, 0.7075, 0.27, 0.2075, 35, 270);
        arc(s, 0.36, 0.2925, 0.28, 0.2075, 90, -145);
        out.push_back(s);
        return 0.725;
    }
    }
    return 0;
}

struct Seg { double ax, ay, bx, by; };

// Lays out text in small capitals (word initials full height, the rest at 80 %); returns the ink width.
double layout(const char* s, double cap, double slant, double x0, double base, std::vector<Seg>* out) {
    double x = x0, end = x0;
    bool initial = true;
    for (const char* p = s; *p; ++p) {
        if (*p == ' ') { x += 0.35 * cap; initial = true; continue; }
        double k = initial ? cap : 0.8 * cap;
        initial = false;
        if (p > s && p[-1] == 'L' && (*p == 'V' || *p == 'T')) x -= 0.26 * k;  // L leaves a hole above its foot
        std::vector<Stroke> st;
        double w = glyph(*p, st);
        for (const Stroke& str : st)
            for (size_t i = 0; i + 1 < str.size(); ++i) {
                const P& a = str[i];
                const P& b = str[i + 1];
                if (out)
                    out->push_back({x + (a.x + a.y * slant) * k, base - a.y * k, x + (b.x + b.y * slant) * k, base - b.y * k});
            }
        end = x + w * k;
        x = end + 0.13 * k;
    }
    return end - x0;
}

struct TextStyle {
    double cap, slant, outline, rim, shadowDx, shadowDy, shadowA;
    bool gold;       // gold gradient fill, otherwise flat fill colour
    Col fill, line, rimCol, shadow;
};

// Draws centred text with fill, outline, outer rim and offset shadow from one distance field.
void drawText(Layer& L, const char* text, double cx, double base, const TextStyle& st) {
    double width = layout(text, st.cap, st.slant, 0, 0, nullptr);
    std::vector<Seg> segs;
    layout(text, st.cap, st.slant, cx - width / 2, base, &segs);
    double hw = B * st.cap, edge = hw + st.outline + st.rim;
    double pad = edge + std::max(std::fabs(st.shadowDx), std::fabs(st.shadowDy)) + 1;
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (const Seg& s : segs) {
        x0 = std::min({x0, s.ax, s.bx}); x1 = std::max({x1, s.ax, s.bx});
        y0 = std::min({y0, s.ay, s.by}); y1 = std::max({y1, s.ay, s.by});
    }
    int bi = int(std::floor((x0 - pad) * SS)), bj = int(std::floor((y0 - pad) * SS));
    int bw = int(std::ceil((x1 - x0 + 2 * pad) * SS)) + 1, bh = int(std::ceil((y1 - y0 + 2 * pad) * SS)) + 1;
    std::vector<float> dist(size_t(bw) * bh, 1e9f);
    int reach = int(std::ceil((edge + 1) * SS));
    for (const Seg& s : segs) {
        int i0 = std::max(0, int(std::floor(std::min(s.ax, s.bx) * SS)) - reach - bi);
        int i1 = std::min(bw, int(std::ceil(std::max(s.ax, s.bx) * SS)) + reach - bi);
        int j0 = std::max(0, int(std::floor(std::min(s.ay, s.by) * SS)) - reach - bj);
        int j1 = std::min(bh, int(std::ceil(std::max(s.ay, s.by) * SS)) + reach - bj);
        for (int j = j0; j < j1; ++j)
            for (int i = i0; i < i1; ++i) {
                float d = float(segDist((bi + i + 0.5) / SS, (bj + j + 0.5) / SS, s.ax, s.ay, s.bx, s.by));
                float& cell = dist[size_t(j) * bw + i];
                cell = std::min(cell, d);
            }
    }
    int sdx = int(std::lround(st.shadowDx * SS)), sdy = int(std::lround(st.shadowDy * SS));
    auto at = [&](int i, int j) -> double {
        i -= bi; j -= bj;
        return (i < 0 || j < 0 || i >= bw || j >= bh) ? 1e9 : dist[size_t(j) * bw + i];
    };
    paint(L, bi / double(SS), bj / double(SS), (bi + bw) / double(SS), (bj + bh) / double(SS), [&](double x, double y) -> Px {
        int i = int(std::floor(x * SS)), j = int(std::floor(y * SS));
        double d = at(i, j);
        if (d < hw) {
            if (!st.gold) return {st.fill, 1};
            double t = (base - y) / st.cap;  // 0 at the baseline, 1 at cap height
            Col c = t > 0.5 ? mix(hex(0xf2b640), hex(0xfff6cc), (t - 0.5) / 0.5) : mix(hex(0x7a3c0c), hex(0xd08a28), t / 0.5);
            double e = d / hw;
            return {c * (1.08 - 0.3 * e * e), 1};
        }
        if (d < hw + st.outline) return {st.line, 1};
        if (d < edge) return {st.rimCol, 1};
        if (at(i - sdx, j - sdy) < edge) return {st.shadow, st.shadowA};
        return NONE;
    });
}

// ---------- gears ----------

struct Gear {
    double cx, cy, m;  // centre and module (pitch radius = m * teeth / 2)
    int teeth, cuts;   // cuts: number of spokes or lightening holes, teeth / 2 so the gear repeats every two teeth
    bool spokes;
    Col metal;
    uint32_t seed;
    double ang = 0, squash = 1;
    double rp() const { return m * teeth / 2; }
};

// Surface level at a point: 0 outside or in a cut-out, 1 web, rim and teeth, 2 raised hub, 3 axle cap.
int gearAt(const Gear& g, double x, double y) {
    double dx = x - g.cx, dy = (y - g.cy) / g.squash, r2 = dx * dx + dy * dy;
    double rp = g.rp(), rt = rp + g.m, rr = rp - 1.25 * g.m;
    if (r2 >= rt * rt) return 0;
    double r = std::sqrt(r2);
    if (r < 0.1 * rp) return 3;
    if (r < 0.27 * rp) return 2;
    if (r > rr) {  // tooth ring: trapezoid teeth, half a pitch wide at the pitch circle
        double u = (iatan2(dy, dx) - g.ang) * g.teeth / (2 * PI);
        u -= std::floor(u + 0.5);
        return std::fabs(u) < 0.3 - 0.14 * (r - rr) / (rt - rr) ? 1 : 0;
    }
    double rim = rr - 0.15 * rp;
    if (r < rim && g.cuts > 0) {
        double u = (iatan2(dy, dx) - g.ang) * g.cuts / (2 * PI) + 0.5;
        u -= std::floor(u + 0.5);
        double da = u * 2 * PI / g.cuts;  // angle from the nearest spoke or hole centre
        if (g.spokes) {
            if (r > 0.34 * rp && std::fabs(da) * r > 0.06 * rp + 0.05 * r) return 0;
        } else {
            double rc = (0.27 * rp + rim) / 2, hr = std::min((rim - 0.27 * rp) * 0.36, rc * PI / g.cuts * 0.72);
            if (r * r + rc * rc - 2 * r * rc * icos(da) < hr * hr) return 0;
        }
    }
    return 1;
}

Col gearFace(const Gear& g, double x, double y, int level) {
    double rp = g.rp();
    if (level == 3) return ball(x, g.cy + (y - g.cy) / g.squash, g.cx, g.cy, 0.1 * rp, hex(0xb8b4ac)).c;
    double dx = x - g.cx, dy = (y - g.cy) / g.squash, r = std::sqrt(dx * dx + dy * dy) + 1e-6;
    double lx = LAMP_X - g.cx, ly = LAMP_Y - g.cy, ll = std::sqrt(lx * lx + ly * ly);
    double c = (dx * lx + dy * ly) / (r * ll);  // fixed to the room, so the sheen stays put as the gear turns
    double s = c * c;
    s *= s; s *= s;
    double k = (0.72 + 0.2 * c) * (0.88 + 0.24 * noise(r * 1.6, 3.5, g.seed)) + 0.55 * s * smooth(0.1 * rp, 0.6 * rp, r);
    if (level == 2) k *= 1.08;
    int up = gearAt(g, x - 0.7, y - 0.7), dn = gearAt(g, x + 0.7, y + 0.7);
    if (up < level) k *= 1.5;
    else if (dn < level) k *= 0.5;
    return lit(g.metal * k, x, y);
}

// Shadow pass draws the cast shadow on the wall plate; body pass draws the visible thickness and the face.
void drawGear(Layer& L, const Gear& g, bool shadowPass) {
    double R = g.rp() + g.m + 6;
    paint(L, g.cx - R, g.cy - R * g.squash, g.cx + R, g.cy + R * g.squash, [&](double x, double y) -> Px {
        if (shadowPass) return gearAt(g, x - 3.5, y - 4.5) ? Px{BLACK, 0.5} : NONE;
        int level = gearAt(g, x, y);
        if (level) return {gearFace(g, x, y, level), 1};
        if (gearAt(g, x - 1.2, y - 1.6)) return {lit(g.metal * 0.3, x, y), 1};
        return NONE;
    });
}

// Places b in mesh with a (a.ang as it is now) along the direction alphaDeg from a's centre.
void mesh(const Gear& a, Gear& b, double alphaDeg) {
    double al = rad(alphaDeg), d = a.rp() + b.rp();
    b.cx = a.cx + d * icos(al);
    b.cy = a.cy + d * isin(al);
    double p1 = 2 * PI / a.teeth, p2 = 2 * PI / b.teeth;
    double f = frac((al - a.ang) / p1);  // where a's nearest tooth sits relative to the contact line
    b.ang = al + PI + f * p2 - 0.5 * p2;  // put a tooth gap of b opposite it
}

// The wall train at animation phase 0..4; the big wheel advances two teeth every five steps.
std::vector<Gear> wallGears(int phase) {
    Gear a{160, 88, 3.2, 24, 12, false, hex(0xd0a048), 31};
    Gear b{0, 0, 3.2, 12, 6, true, hex(0xc8754c), 32};
    Gear c{0, 0, 3.2, 16, 8, true, hex(0xb8ae94), 33};
    mesh(a, b, -48);
    mesh(a, c, 166);
    double turn = phase * 2 * (2 * PI / a.teeth) / 5;
    a.ang += turn;
    b.ang -= turn * a.teeth / b.teeth;
    c.ang -= turn * a.teeth / c.teeth;
    return {a, b, c};
}

// ---------- static scenery ----------

constexpr double PL_X = 152, PL_Y = 86, PL_HX = 84, PL_HY = 62;  // iron wall plate carrying the gear train
constexpr double BENCH_TOP = 168, BENCH_FRONT = 190;
constexpr double PIVOT_X = 82, PIVOT_Y = 141, SPARK_X = 50, SPARK_Y = 155;

void drawWall(Layer& L) {
    paint(L, 0, 0, W, BENCH_TOP, [](double x, double y) -> Px {
        int plank = int(std::floor(x / 21.0));
        double u = x - plank * 21.0;
        double g = 0.6 * noise(x * 0.3, y * 0.025 + plank * 7.3, 11) + 0.4 * noise(x * 1.1, y * 0.06, 12);
        Col wood = mix(hex(0x2e1a10), hex(0x5e3822), g) * (0.85 + 0.3 * rnd(plank, 0, 13));
        if (u < 0.9) wood = wood * 0.4;
        else if (u < 1.8) wood = wood * 1.2;
        return {lit(wood, x, y), 1};
    });
}

void drawShelf(Layer& L) {
    paint(L, 14, 80, 78, 124, [](double x, double y) -> Px {
        if (y >= 104 && y < 108 && x < 76) return {lit(hex(0x7a4a2a) * (y < 105 ? 1.3 : 1.0), x, y), 1};
        if (y >= 108 && y < 109.5 && x < 76) return {BLACK, 0.5};
        for (double bx : {26.0, 66.0})  // wedge brackets under the shelf
            if (y >= 108 && y < 120 && x > bx - 1.5 && x < bx + 1.5 + (120 - y) * 0.4) return {lit(hex(0x3c2616), x, y), 1};
        // glass jar of screws with a brass lid
        if (x > 27 && x < 41 && y >= 84 && y < 88) return {lit(hex(0xb08a40) * (1.2 - 0.1 * (y - 84)), x, y), 1};
        if (x > 26 && x < 42 && y >= 88 && y < 104) {
            double gx = (x - 34) / 8;
            Col glass = mix(hex(0x2a4a52), hex(0x6aa0a8), 1 - gx * gx);
            if (y > 95 && rnd(int(x * 1.5), int(y * 1.5), 51) < 0.5) glass = hex(0x8a8a8a) * (0.6 + 0.5 * rnd(int(x), int(y), 52));
            if (gx > -0.65 && gx < -0.45) glass = glass + Col{0.5f, 0.5f, 0.45f};
            return {lit(glass, x, y), 0.85};
        }
        // red oil can with a thin spout
        if (x > 50 && x < 63 && y >= 93 && y < 104) {
            double gx = (x - 56.5) / 6.5;
            return {lit(hex(0x9a1430) * (0.55 + 0.6 * (1 - gx * gx)), x, y), 1};
        }
        if (y >= 88 && y < 93 && std::fabs(x - 56.5) < 6.5 - (93 - y) * 0.9) return {lit(hex(0xa88040), x, y), 1};
        if (segDist(x, y, 59, 90, 70, 83) < 0.8) return {lit(hex(0xa88040), x, y), 1};
        return NONE;
    });
}

void drawPlate(Layer& L) {
    paint(L, PL_X - PL_HX - 2, PL_Y - PL_HY - 2, PL_X + PL_HX + 8, PL_Y + PL_HY + 8, [](double x, double y) -> Px {
        double d = boxDist(x, y, PL_X, PL_Y, PL_HX, PL_HY, 7);
        if (d > 0) return {BLACK, 0.6 * (1 - smooth(-3, 3, boxDist(x - 3, y - 4, PL_X, PL_Y, PL_HX, PL_HY, 7)))};
        Col c = mix(hex(0x20242b), hex(0x3a3f48), noise(x * 0.07, y * 0.07, 21)) * (0.9 + 0.15 * noise(x * 0.8, y * 0.8, 22));
        if (d > -2.2) c = c * ((x - PL_X) / PL_HX + (y - PL_Y) / PL_HY < 0 ? 1.7 : 0.5);
        return {lit(c, x, y), 1};
    });
    std::vector<P> rivets;
    for (int i = 0; i <= 10; ++i) {
        double x = PL_X - PL_HX + 6 + i * (2 * PL_HX - 12) / 10;
        rivets.push_back({x, PL_Y - PL_HY + 6});
        rivets.push_back({x, PL_Y + PL_HY - 6});
    }
    for (int i = 1; i < 7; ++i) {
        double y = PL_Y - PL_HY + 6 + i * (2 * PL_HY - 12) / 7;
        rivets.push_back({PL_X - PL_HX + 6, y});
        rivets.push_back({PL_X + PL_HX - 6, y});
    }
    for (const P& p : rivets)
        paint(L, p.x - 3, p.y - 3, p.x + 3, p.y + 3, [&](double x, double y) { return ball(x, y, p.x, p.y, 1.9, hex(0x8a8070)); });
    // small brass maker's plaque with engraved lettering
    paint(L, 127, 135, 189, 149, [](double x, double y) -> Px {
        double d = boxDist(x, y, 158, 142, 30, 6, 2);
        if (d > 0) return NONE;
        Col c = mix(hex(0xa07830), hex(0xe0b860), noise(x * 0.2, y * 0.6, 23)) * (d > -1 ? ((y < 142) ? 1.3 : 0.6) : 1.0);
        return {lit(c, x, y), 1};
    });
    TextStyle engraved{7, 0, 0, 0, 0.4, 0.5, 0.8, false, hex(0x2a1808), BLACK, BLACK, hex(0xfff0b0)};
    drawText(L, "KESTRELIX", 158, 145.5, engraved);
}

void drawBench(Layer& L) {
    paint(L, 0, BENCH_TOP, W, H, [](double x, double y) -> Px {
        Col c;
        if (y < BENCH_FRONT) {  // top surface, grain running along the bench
            double g = 0.7 * noise(x * 0.04 + 3, y * 0.7, 41) + 0.3 * noise(x * 0.25, y * 2.0, 42);
            c = mix(hex(0x5e3820), hex(0x9a6438), g) * (0.8 + 0.25 * (y - BENCH_TOP) / (BENCH_FRONT - BENCH_TOP));
        } else if (y < BENCH_FRONT + 4) {
            c = hex(0xa87448) * (1.25 - 0.12 * (y - BENCH_FRONT));  // rounded front edge catches the light
        } else {
            double g = noise(x * 0.05, y * 0.4, 43);
            c = mix(hex(0x34200f), hex(0x52301c), g) * (1 - 0.45 * (y - BENCH_FRONT) / 60);
            if (y < BENCH_FRONT + 8) c = c * (0.45 + 0.55 * (y - BENCH_FRONT - 4) / 4);
        }
        if (y < BENCH_TOP + 1.5) c = c * 0.6;  // contact line against the wall
        return {lit(c, x, y), 1};
    });
}

void drawAnvilAndPost(Layer& L) {
    paint(L, 20, 150, 70, 173, [](double x, double y) -> Px {
        bool face = y >= 155 && y < 160 && x > 34 && x < 66;
        bool horn = y >= 155 && y < 159 && x > 22 && x <= 34 && (y - 155) < (x - 22) * 0.33;
        bool waist = y >= 160 && y < 166 && std::fabs(x - 50) < 8 + (y - 160) * 0.6;
        bool foot = y >= 166 && y < 171 && x > 35 && x < 65;
        if (y >= 170 && y < 172.5 && x > 33 && x < 68) return {BLACK, 0.45};
        if (!(face || horn || waist || foot)) return NONE;
        Col c = hex(0x3a3c42) * (0.8 + 0.3 * noise(x * 0.5, y * 0.5, 61));
        if (y < 156.2) c = hex(0x9aa0a8);
        else if (face && y > 159) c = c * 0.6;
        return {lit(c, x, y), 1};
    });
    paint(L, PIVOT_X - 9, PIVOT_Y, PIVOT_X + 9, 173, [](double x, double y) -> Px {
        double ex = (x - PIVOT_X) / 7, ey = (y - 169.5) / 2.3;
        if (ex * ex + ey * ey < 1) return {lit(hex(0x8a6a34) * (y < 169 ? 1.2 : 0.8), x, y), 1};
        double gx = (x - PIVOT_X) / 2;
        if (std::fabs(gx) < 1 && y < 169.5) return {lit(hex(0xc09048) * (0.5 + 0.7 * (1 - gx * gx)), x, y), 1};
        return NONE;
    });
}

void drawSteamPipe(Layer& L) {
    paint(L, 205, 136, 224, 172, [](double x, double y) -> Px {
        double ex = (x - 214) / 5, ey = (y - 169.5) / 1.8;
        if (ex * ex + ey * ey < 1) return {lit(hex(0x7a5a2c), x, y), 1};
        Px valve = ball(x, y, 214, 157, 3.4, hex(0x9a1430));
        if (valve.a > 0) return valve;
        double hwid = y < 146 ? 1.6 + (146 - y) * 0.25 : 2.0;  // flared whistle on top of the pipe
        double gx = (x - 214) / hwid;
        if (y > 140 && y < 169.5 && std::fabs(gx) < 1) return {lit(hex(0xc89a50) * (0.45 + 0.75 * (1 - gx * gx)), x, y), 1};
        return NONE;
    });
}

void drawTools(Layer& L) {
    // screwdriver: velvet-red handle, brass ferrule, steel shaft
    paint(L, 92, 170, 140, 190, [](double x, double y) -> Px {
        const double ax = 96, ay = 183, bx = 136, by = 179.5;
        auto at = [&](double t) { return P{ax + (bx - ax) * t, ay + (by - ay) * t}; };
        P h0 = at(0.03), h1 = at(0.38), f1 = at(0.46), s1 = at(0.97);
        if (segDist(x, y, h0.x, h0.y, h1.x, h1.y) < 2.8) {
            double t = (y - (h0.y + h1.y) / 2 + 2.8) / 5.6;
            return {lit(hex(0xa01438) * (1.3 - 0.8 * t), x, y), 1};
        }
        if (segDist(x, y, h1.x, h1.y, f1.x, f1.y) < 1.8) return {lit(hex(0xd0a050), x, y), 1};
        if (segDist(x, y, f1.x, f1.y, s1.x, s1.y) < 0.8) return {lit(hex(0xb8bcc4), x, y), 1};
        if (segDist(x, y - 2.5, h0.x, h0.y, s1.x, s1.y) < 2) return {BLACK, 0.35};
        return NONE;
    });
    // open-ended wrench lying flat, seen at a low angle
    paint(L, 146, 168, 206, 192, [](double x, double y) -> Px {
        const double cx = 174, cy = 181, ca = icos(rad(-7)), sa = isin(rad(-7)), sq = 0.55;
        auto solid = [&](double px, double py) {
            double lx = (px - cx) * ca + (py - cy) * sa, ly = (-(px - cx) * sa + (py - cy) * ca) / sq;
            if (segDist(lx, ly, -16, 0, 14, 0) < 2.6) return true;
            double dh = (lx - 20) * (lx - 20) + ly * ly;
            if (dh < 49 && !(lx > 21 && std::fabs(ly) < 3.2) && dh > 9) return true;
            double dr = (lx + 19) * (lx + 19) + ly * ly;
            return dr < 25 && dr > 5.3;
        };
        if (solid(x, y)) return {lit(hex(0x9aa0aa) * (solid(x - 0.6, y - 0.8) ? 0.9 : 1.5), x, y), 1};
        if (solid(x - 1, y - 2)) return {BLACK, 0.4};
        return NONE;
    });
    // a spare cog and two nuts lying on the bench
    Gear spare{141, 177, 1.5, 14, 0, false, hex(0xc89a48), 71};
    spare.squash = 0.5;
    paint(L, 124, 168, 158, 188, [&](double x, double y) -> Px {
        if (gearAt(spare, x, y)) return {gearFace(spare, x, y, gearAt(spare, x, y)), 1};
        if (gearAt(spare, x, y - 1.8)) return {lit(hex(0x6a4c24), x, y), 1};
        if (gearAt(spare, x - 1, y - 2.5)) return {BLACK, 0.4};
        return NONE;
    });
    for (P n : {P{196, 186}, P{204, 180}}) {
        paint(L, n.x - 6, n.y - 4, n.x + 6, n.y + 5, [&](double x, double y) -> Px {
            auto hexIn = [&](double px, double py) {
                double ax = std::fabs(px - n.x), ay = std::fabs(py - n.y) / 0.5;
                return ax < 4.3 && ax * 0.5 + ay * 0.866 < 4.3 * 0.866;
            };
            double hx = x - n.x, hy = (y - n.y) / 0.5;
            if (hexIn(x, y)) return {lit(hx * hx + hy * hy < 3.2 ? hex(0x202020) : hex(0xa0a4a8) * (y < n.y ? 1.25 : 0.95), x, y), 1};
            if (hexIn(x, y - 1.6)) return {lit(hex(0x505458), x, y), 1};
            return NONE;
        });
    }
}

// ---------- foreground: lamp, velvet curtains and valance ----------

double curtainEdge(double y) { double t = (y - 150) / 150; return 13 + 14 * t * t; }

Px curtainAt(double x, double y) {  // left curtain; the right one is mirrored
    double e = curtainEdge(y);
    if (std::fabs(y - 150) < 3.2 && x < e + 1.5) {  // twisted gold tie-back rope
        double tw = frac((x + y) * 0.45);
        return {lit(mix(hex(0x8a6020), hex(0xf0c860), tw < 0.5 ? tw * 2 : 2 - tw * 2), x, y), 1};
    }
    double tx = e - 1.5, tt = y - 153;  // tassel hanging from the rope
    if (tt > 0 && tt < 16 && std::fabs(x - tx) < 1.2 + tt * 0.18) {
        double strand = frac(x * 1.3);
        return {lit(hex(0xd8a848) * (0.7 + 0.4 * strand) * (tt < 3 ? 1.2 : 1.0), x, y), 1};
    }
    if (x > e) return NONE;
    double u = x / e;
    double f = 0.5 + 0.5 * icos(u * 2 * PI * 2.2 + 0.4 + 0.3 * isin(y * 0.03));
    Col c = velvet(f * (0.55 + 0.45 * u));
    if (x > e - 1.2) c = c * 0.5;
    return {lit(c, x, y) * 1.2, 1};
}

void drawFront(Layer& L) {
    paint(L, 0, 0, 40, H, [](double x, double y) { return curtainAt(x, y); });
    paint(L, W - 40, 0, W, H, [](double x, double y) { return curtainAt(W - x, y); });
    paint(L, 0, 0, W, 26, [](double x, double y) -> Px {
        double s = 2 * frac(x / 31.25) - 1, b = 12 + 7 * (1 - s * s);  // swagged lower edge of the valance
        if (y < b - 2.2) {
            double f = 0.5 + 0.5 * icos(y / b * PI * 2.5 - 0.8);
            return {lit(velvet(f * (0.5 + 0.5 * (1 - s * s))), x, y) * 1.3, 1};
        }
        if (y < b) return {lit(hex(0xe8b850) * (y < b - 1.1 ? 1.2 : 0.8), x, y), 1};
        if (y < b + 3.5 && frac(x * 1.1) < 0.55) return {lit(hex(0xc89a40) * (1.1 - (y - b) * 0.15), x, y), 1};
        return NONE;
    });
    paint(L, 30, 0, 86, 70, [](double x, double y) -> Px {
        double dx = x - LAMP_X;
        if (y < 37 && std::fabs(dx) < 0.7) return {hex(0x1a1410), 1};
        if (y >= 35 && y < 40 && std::fabs(dx) < 4) return {Col{0.45f, 0.33f, 0.16f} * (1.2 - std::fabs(dx) / 5), 1};
        double er = dx / 21, ey = (y - 58) / 3.2;
        if (er * er + ey * ey < 1) return {mix(hex(0xffe6a8), hex(0xfff8e0), 1 - er * er), 1};  // lit inside of the shade
        double bx = dx / 5.5, by = (y - LAMP_Y) / 5.5;
        if (y > 58 && bx * bx + by * by < 1) return {hex(0xfffae8), 1};
        if (y >= 40 && y < 58) {
            double t = (y - 40) / 18, hw = 6 + 15 * t * (2 - t), gx = dx / hw;
            if (std::fabs(gx) < 1) {
                double k = 0.35 + 0.65 * std::sqrt(1 - gx * gx) + 0.5 * clamp01(1 - std::fabs(gx + 0.45) * 5);
                return {hex(0x6a8a48) * (k * (0.7 + 0.4 * t)), 1};  // green enamel shade
            }
        }
        return NONE;
    });
}

// ---------- animated props ----------

void drawHammer(Layer& L, double raiseDeg) {
    double a = iatan2(6.8, -30.0) + rad(raiseDeg), len = 31;
    double ux = icos(a), uy = isin(a), vx = -uy, vy = ux;
    double hx = PIVOT_X + ux * len, hy = PIVOT_Y + uy * len;
    paint(L, 28, 100, 92, 166, [&](double x, double y) -> Px {
        double rx = x - hx, ry = y - hy, au = rx * ux + ry * uy, av = rx * vx + ry * vy;
        if (std::fabs(au) < 4.2 && std::fabs(av) < 7.5) {
            double k = 0.6 + 0.6 * clamp01(1 - std::fabs(au + 1.5) / 4) + (std::fabs(av) > 6.3 ? -0.2 : 0);
            return {lit(hex(0x7c828c) * k, x, y), 1};
        }
        double d = segDist(x, y, PIVOT_X, PIVOT_Y, hx, hy);
        if (d < 1.9) return {lit(hex(0x9a6a3a) * (1.25 - 0.4 * d), x, y), 1};
        return ball(x, y, PIVOT_X, PIVOT_Y, 3, hex(0xc09048));
    });
}

// One burst of sparks from the anvil, t time units after the blow; streaks while fast, embers after.
void drawSparks(Layer& L, uint32_t seed, double t, double heat) {
    Rng r{seed};
    for (int n = 0; n < 18; ++n) {
        double ang = -PI * (0.06 + 0.88 * r.next()), sp = 35 + 55 * r.next(), size = 0.5 + 0.5 * r.next();
        double vx = sp * icos(ang), vy = sp * isin(ang), g = 240;
        auto pos = [&](double tt) { return P{SPARK_X + vx * tt, SPARK_Y + vy * tt + 0.5 * g * tt * tt}; };
        P p1 = pos(t), p0 = pos(t * (heat > 0.6 ? 0.45 : 0.8));
        double rest = BENCH_TOP + 3 + 8 * r.next();  // embers come to rest on the bench top as dots
        if (p1.y > rest) p0 = p1 = P{SPARK_X + vx * t * 0.8, rest};
        Col c = mix(hex(0xff5a10), hex(0xfff4c0), heat * (0.6 + 0.4 * r.next()));
        paint(L, std::min(p0.x, p1.x) - 2, std::min(p0.y, p1.y) - 2, std::max(p0.x, p1.x) + 2, std::max(p0.y, p1.y) + 2,
              [&](double x, double y) -> Px {
                  double d = segDist(x, y, p0.x, p0.y, p1.x, p1.y);
                  return d < size ? Px{c, 1} : (d < size + 0.8 ? Px{c, 0.35 * heat} : NONE);
              });
    }
}

void drawSteam(Layer& L, const std::vector<double>& puffs) {  // x, y, radius, opacity per puff
    for (size_t i = 0; i + 3 < puffs.size(); i += 4) {
        double px = puffs[i], py = puffs[i + 1], pr = puffs[i + 2], pa = puffs[i + 3];
        paint(L, px - pr - 2, py - pr - 2, px + pr + 2, py + pr + 2, [&](double x, double y) -> Px {
            double dx = x - px, dy = y - py, d = std::sqrt(dx * dx + dy * dy) / pr;
            d += 0.25 * (noise(x * 0.3, y * 0.3, uint32_t(i) + 81) - 0.5);
            double a = pa * (1 - smooth(0.0, 1.0, d));
            return a > 0 ? Px{hex(0xf0ece6) * (0.75 + 0.25 * lampReach(x, y)), a} : NONE;
        });
    }
}

// ---------- frame assembly ----------

struct Scene { Layer base{1}, front{0}, bigTitle{0}, smallTitle{0}; };

struct Step { double hammer; uint32_t sparkSeed; double sparkT, heat, glow; std::vector<double> steam; };

// Steps 0-8 only turn the gears; steps 9-14 add two hammer blows and a whistle of steam.
Step stepParams(int k) {
    switch (k) {
    case 9: return {22, 0, 0, 0, 0, {}};
    case 10: return {0, 101, 0.16, 1.0, 0.9, {}};
    case 11: return {32, 101, 0.42, 0.45, 0.25, {214, 136, 3.5, 0.75}};
    case 12: return {0, 202, 0.18, 1.0, 1.0, {215, 127, 6, 0.7, 214, 136, 3, 0.6}};
    case 13: return {15, 202, 0.45, 0.45, 0.3, {217, 115, 9, 0.55, 215, 127, 6, 0.55}};
    case 14: return {4, 202, 0.7, 0.15, 0.08, {220, 101, 12, 0.28, 217, 113, 8.5, 0.3}};
    default: return {0, 0, 0, 0, 0, {}};
    }
}

void addGlow(std::vector<Col>& img, double cx, double cy, double r, Col c) {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            double dx = x + 0.5 - cx, dy = y + 0.5 - cy, w = 1 / (1 + (dx * dx + dy * dy) / (r * r));
            img[size_t(y) * W + x] = img[size_t(y) * W + x] + c * (w * w);
        }
}

std::vector<uint8_t> render(const Scene& sc, int step, bool still) {
    Layer L = sc.base;
    std::vector<Gear> gears = wallGears(step % 5);
    for (const Gear& g : gears) drawGear(L, g, true);
    for (const Gear& g : gears) drawGear(L, g, false);
    Step s = stepParams(still ? 0 : step);
    drawHammer(L, s.hammer);
    if (s.sparkSeed) drawSparks(L, s.sparkSeed, s.sparkT, s.heat);
    drawSteam(L, s.steam);
    L.over(sc.front);
    if (still) paint(L, 0, 120, W, H, [](double, double y) { return Px{hex(0x0c0008), 0.7 * smooth(125, 215, y)}; });
    L.over(still ? sc.bigTitle : sc.smallTitle);

    std::vector<Col> img(size_t(W) * H, BLACK);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            Col sum = BLACK;
            for (int j = 0; j < SS; ++j)
                for (int i = 0; i < SS; ++i) sum = sum + L.c[size_t(y * SS + j) * SW + x * SS + i];
            img[size_t(y) * W + x] = sum * (1.0 / (SS * SS));
        }
    addGlow(img, LAMP_X, LAMP_Y + 2, 14, Col{0.55f, 0.4f, 0.2f});
    if (s.glow > 0) addGlow(img, SPARK_X, SPARK_Y - 2, 13, Col{0.9f, 0.5f, 0.15f} * s.glow);
    std::vector<uint8_t> rgb(size_t(W) * H * 3);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            double dx = (x + 0.5 - 125) / 125, dy = (y + 0.5 - 125) / 125;
            double v = 1 - 0.35 * smooth(0.55, 1.45, std::sqrt(dx * dx + dy * dy));
            const Col& c = img[size_t(y) * W + x];
            float ch[3] = {c.r, c.g, c.b};
            for (int k = 0; k < 3; ++k)
                rgb[(size_t(y) * W + x) * 3 + k] = uint8_t(std::lround(clamp01(ch[k] * v) * 255));
        }
    return rgb;
}

// ---------- product icon: the brass wheel of the wall train on a velvet tile ----------

constexpr int ICON_SS = 8;  // samples per pixel edge; icon pixels are few, so sample them finely

// The icon's wheel, with proportions of its own: the wall gears' deep teeth would turn into spikes
// at a few pixels. Surface level at a point: 0 outside or in a hole, 1 rim and teeth, 2 raised hub.
struct IconWheel {
    double cx, cy, tip;
    int teeth, holes;
};

int iconWheelAt(const IconWheel& w, double x, double y) {
    double dx = x - w.cx, dy = y - w.cy, r2 = dx * dx + dy * dy;
    double body = 0.74 * w.tip, hub = 0.34 * w.tip, axle = (w.holes ? 0.12 : 0.18) * w.tip;
    if (r2 >= w.tip * w.tip || r2 < axle * axle) return 0;
    double r = std::sqrt(r2);
    if (r > body) {  // trapezoid teeth, one straight up
        double u = (iatan2(dy, dx) + PI / 2) * w.teeth / (2 * PI);
        u -= std::floor(u + 0.5);
        return std::fabs(u) < 0.3 - 0.1 * (r - body) / (w.tip - body) ? 1 : 0;
    }
    if (r < hub) return 2;
    if (w.holes > 0) {  // round holes between hub and rim, like the big wheel's
        double u = (iatan2(dy, dx) + PI / 2) * w.holes / (2 * PI) + 0.5;
        u -= std::floor(u + 0.5);
        double da = u * 2 * PI / w.holes, rc = (hub + 0.82 * body) / 2, hr = 0.36 * (0.82 * body - hub);
        if (r * r + rc * rc - 2 * r * rc * icos(da) < hr * hr) return 0;
    }
    return 1;
}

// Straight (not premultiplied) RGBA rows, top row first, of the icon image size x size.
std::vector<uint8_t> renderIcon(int size) {
    double c = size / 2.0, shift = size / 48.0;
    IconWheel w{c - shift, c - shift, size * (size <= 16 ? 0.42 : 0.39), size <= 16 ? 8 : 10, size <= 16 ? 0 : 5};
    double bevel = std::max(0.45, size / 64.0), edge = std::max(1.0, size / 24.0);
    auto sample = [&](double x, double y) -> Px {
        double d = boxDist(x, y, c, c, c, c, size * 0.2);
        if (d > 0) return NONE;
        if (d > -edge) return {hex(0x2a0418), 1};  // the title's velvet ink keeps the tile apart from any desktop
        int level = iconWheelAt(w, x, y);
        if (level) {
            double t = clamp01((w.cy + w.tip - y) / (2 * w.tip));  // brass lit from above
            Col k = mix(hex(0xa86a24), hex(0xffe090), t);
            if (level == 2) k = k * 1.1;
            if (iconWheelAt(w, x - bevel, y - bevel) < level) k = k * 1.3;
            else if (iconWheelAt(w, x + bevel, y + bevel) < level) k = k * 0.55;
            return {k, 1};
        }
        double fold = 0.5 + 0.5 * icos(x / size * 2 * PI + 0.6);
        Col v = velvet(0.3 + 0.5 * fold) * (1.25 - 0.4 * y / size);
        if (size <= 16) return {v, 1};  // a shadow would blur the lower teeth, a rim crowd them
        if (d > -edge - size / 32.0) return {hex(0xd8a848), 1};  // gold inner rim
        if (iconWheelAt(w, x - 2 * shift, y - 3 * shift)) v = v * 0.4;  // the wheel's shadow
        return {v, 1};
    };
    std::vector<uint8_t> rgba(size_t(size) * size * 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            Col sum = BLACK;
            double cover = 0;
            for (int j = 0; j < ICON_SS; ++j)
                for (int i = 0; i < ICON_SS; ++i) {
                    Px p = sample(x + (i + 0.5) / ICON_SS, y + (j + 0.5) / ICON_SS);
                    sum = sum + p.c * p.a;
                    cover += p.a;
                }
            uint8_t* out = &rgba[(size_t(y) * size + x) * 4];
            float ch[3] = {sum.r, sum.g, sum.b};
            for (int k = 0; k < 3; ++k) out[k] = cover > 0 ? uint8_t(std::lround(clamp01(ch[k] / cover) * 255)) : 0;
            out[3] = uint8_t(std::lround(cover / (ICON_SS * ICON_SS) * 255));
        }
    return rgba;
}

// An icon file of 32-bit images with alpha, each followed by the AND mask that older systems draw with.
bool writeIco(const std::string& path, const std::vector<int>& sizes, const std::vector<std::vector<uint8_t>>& images) {
    std::vector<uint8_t> f(6 + 16 * sizes.size(), 0);
    auto put = [&](size_t at, uint32_t v, int n) { for (int i = 0; i < n; ++i) f[at + i] = uint8_t(v >> (8 * i)); };
    put(2, 1, 2);
    put(4, uint32_t(sizes.size()), 2);
    for (size_t n = 0; n < sizes.size(); ++n) {
        int s = sizes[n];
        uint32_t maskRow = uint32_t((s + 31) / 32 * 4), bytes = 40 + uint32_t(s * s * 4) + maskRow * uint32_t(s);
        size_t entry = 6 + 16 * n, at = f.size();
        f[entry] = uint8_t(s);
        f[entry + 1] = uint8_t(s);
        put(entry + 4, 1, 2); put(entry + 6, 32, 2); put(entry + 8, bytes, 4); put(entry + 12, uint32_t(at), 4);
        f.resize(at + bytes, 0);
        put(at, 40, 4); put(at + 4, uint32_t(s), 4); put(at + 8, uint32_t(2 * s), 4);  // colour and mask heights
        put(at + 12, 1, 2); put(at + 14, 32, 2); put(at + 20, bytes - 40, 4);
        size_t mask = at + 40 + size_t(s) * s * 4;
        for (int y = 0; y < s; ++y)  // bottom-up rows, B,G,R,A order; a mask bit set where the pixel is see-through
            for (int x = 0; x < s; ++x) {
                const uint8_t* px = &images[n][(size_t(y) * s + x) * 4];
                size_t row = size_t(s - 1 - y);
                uint8_t* out = &f[at + 40 + (row * s + x) * 4];
                out[0] = px[2]; out[1] = px[1]; out[2] = px[0]; out[3] = px[3];
                if (px[3] < 128) f[mask + row * maskRow + x / 8] |= uint8_t(0x80 >> (x % 8));
            }
    }
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    bool ok = std::fwrite(f.data(), 1, f.size(), fp) == f.size();
    return std::fclose(fp) == 0 && ok;
}

bool writeBmp(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
    uint32_t row = uint32_t(w * 3 + 3) & ~3u, bytes = row * uint32_t(h), size = 54 + bytes;
    std::vector<uint8_t> f(size, 0);
    auto put = [&](size_t at, uint32_t v, int n) { for (int i = 0; i < n; ++i) f[at + i] = uint8_t(v >> (8 * i)); };
    f[0] = 'B'; f[1] = 'M';
    put(2, size, 4); put(10, 54, 4); put(14, 40, 4); put(18, uint32_t(w), 4); put(22, uint32_t(h), 4);
    put(26, 1, 2); put(28, 24, 2); put(30, 0, 4); put(34, bytes, 4); put(38, 2835, 4); put(42, 2835, 4);
    for (int y = 0; y < h; ++y)  // bottom-up rows, B,G,R order
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k) f[54 + size_t(h - 1 - y) * row + x * 3 + k] = rgb[(size_t(y) * w + x) * 3 + 2 - k];
    FILE* fp = std::fopen(path.c_str(), "wb");
    if (!fp) return false;
    bool ok = std::fwrite(f.data(), 1, f.size(), fp) == f.size();
    return std::fclose(fp) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: artgen OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1];
    Scene sc;
    drawWall(sc.base);
    drawShelf(sc.base);
    drawPlate(sc.base);
    drawBench(sc.base);
    drawSteamPipe(sc.base);
    drawAnvilAndPost(sc.base);
    drawTools(sc.base);
    drawFront(sc.front);
    const Col velvetInk = hex(0x2a0418), rim = hex(0xe8c070), shade = hex(0x000000);
    TextStyle big{44, 0.12, 2.4, 1.3, 3.5, 3.5, 0.7, true, BLACK, velvetInk, rim, shade};
    drawText(sc.bigTitle, "VELVET", 112, 192, big);
    drawText(sc.bigTitle, "TINKERS", 132, 241, big);
    TextStyle small{19, 0.12, 1.5, 0.8, 1.5, 1.5, 0.7, true, BLACK, velvetInk, rim, shade};
    drawText(sc.smallTitle, "VELVET TINKERS", 125, 238, small);

    std::vector<std::vector<uint8_t>> frames;
    for (int k = 0; k < 15; ++k) frames.push_back(render(sc, k, false));
    for (int k = 0; k < 4; ++k)
        if (frames[k + 5] != frames[k]) {
            std::fprintf(stderr, "artgen: animation step %d differs from step %d\n", k + 5, k);
            return 1;
        }
    bool ok = writeBmp(dir + "/bitmap111.bmp", W, H, render(sc, 0, true));
    for (int k = 0; k < 15; ++k) ok = ok && writeBmp(dir + "/bitmap" + std::to_string(112 + k) + ".bmp", W, H, frames[k]);
    ok = ok && writeBmp(dir + "/bitmap127.bmp", 2, 2, std::vector<uint8_t>(12, 255));
    const std::vector<int> iconSizes{16, 32, 48};
    std::vector<std::vector<uint8_t>> icons;
    for (int s : iconSizes) icons.push_back(renderIcon(s));
    ok = ok && writeIco(dir + "/product.ico", iconSizes, icons);
    if (!ok) {
        std::fprintf(stderr, "artgen: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
