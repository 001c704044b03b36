// Built with floating-point contraction off (see CMakeLists.txt): every
// product and sum below must be rounded exactly once, as the error analysis
// assumes.

#include "core/geometry/Predicates.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

namespace {

constexpr double kEps = 1.1102230246251565e-16;  // 2^-53: half an ulp of 1
constexpr double kSplitter = 134217729.0;        // 2^27 + 1
constexpr double kResultErrBound = (3.0 + 8.0 * kEps) * kEps;
constexpr double kCcwErrBoundB = (2.0 + 12.0 * kEps) * kEps;
constexpr double kCcwErrBoundC = (9.0 + 64.0 * kEps) * kEps * kEps;
constexpr double kIccErrBoundB = (4.0 + 48.0 * kEps) * kEps;

// --- error-free transformations ---------------------------------------------

inline void TwoSum(double a, double b, double& x, double& y) {
  x = a + b;
  const double bvirt = x - a;
  const double avirt = x - bvirt;
  y = (a - avirt) + (b - bvirt);
}

inline void TwoDiffTail(double a, double b, double x, double& y) {
  const double bvirt = a - x;
  const double avirt = x + bvirt;
  y = (a - avirt) + (bvirt - b);
}

inline void TwoDiff(double a, double b, double& x, double& y) {
  x = a - b;
  TwoDiffTail(a, b, x, y);
}

inline void Split(double a, double& hi, double& lo) {
  const double c = kSplitter * a;
  const double abig = c - a;
  hi = c - abig;
  lo = a - hi;
}

inline void TwoProduct(double a, double b, double& x, double& y) {
  x = a * b;
  double ahi, alo, bhi, blo;
  Split(a, ahi, alo);
  Split(b, bhi, blo);
  const double err1 = x - ahi * bhi;
  const double err2 = err1 - alo * bhi;
  const double err3 = err2 - ahi * blo;
  y = alo * blo - err3;
}

// (a1 + a0) - b as the three-term expansion x2 + x1 + x0.
inline void TwoOneDiff(double a1, double a0, double b, double& x2, double& x1, double& x0) {
  double i;
  TwoDiff(a0, b, i, x0);
  TwoSum(a1, i, x2, x1);
}

// (a1 + a0) - (b1 + b0) as the four-term expansion x[3..0] (x[3] largest).
inline void TwoTwoDiff(double a1, double a0, double b1, double b0, double x[4]) {
  double j, z;
  TwoOneDiff(a1, a0, b0, j, z, x[0]);
  TwoOneDiff(j, z, b1, x[3], x[2], x[1]);
}

// --- expansion arithmetic (components in increasing magnitude, no zeros) ------
// Raw-array forms for the hot stages (no allocation), vector forms for the
// rare fully exact fallback.

// h = e + f; returns the length of h. h must hold elen + flen entries.
int SumInto(int elen, const double* e, int flen, const double* f, double* h) {
  int ei = 0, fi = 0, hn = 0;
  auto next = [&]() {
    if (fi >= flen || (ei < elen && std::fabs(e[ei]) < std::fabs(f[fi]))) return e[ei++];
    return f[fi++];
  };
  const int total = elen + flen;
  if (total == 0) return 0;
  double q = next();
  for (int k = 1; k < total; ++k) {
    double sum, err;
    TwoSum(q, next(), sum, err);
    if (err != 0) h[hn++] = err;
    q = sum;
  }
  if (q != 0 || hn == 0) h[hn++] = q;
  return hn;
}

// h = e * b; returns the length of h. h must hold 2 * elen entries.
int ScaleInto(int elen, const double* e, double b, double* h) {
  if (elen == 0 || b == 0) return 0;
  int hn = 0;
  double q, hh;
  TwoProduct(e[0], b, q, hh);
  if (hh != 0) h[hn++] = hh;
  for (int i = 1; i < elen; ++i) {
    double p1, p0, sum;
    TwoProduct(e[i], b, p1, p0);
    TwoSum(q, p0, sum, hh);
    if (hh != 0) h[hn++] = hh;
    TwoSum(p1, sum, q, hh);
    if (hh != 0) h[hn++] = hh;
  }
  if (q != 0) h[hn++] = q;
  return hn;
}

using Expansion = std::vector<double>;

Expansion Sum(const Expansion& e, const Expansion& f) {
  Expansion h(e.size() + f.size() + 1);
  h.resize(static_cast<size_t>(SumInto(static_cast<int>(e.size()), e.data(),
                                       static_cast<int>(f.size()), f.data(), h.data())));
  return h;
}

Expansion Scale(const Expansion& e, double b) {
  Expansion h(2 * e.size() + 1);
  h.resize(static_cast<size_t>(ScaleInto(static_cast<int>(e.size()), e.data(), b, h.data())));
  return h;
}

Expansion Product(const Expansion& e, const Expansion& f) {
  Expansion acc;
  for (double c : f) acc = Sum(acc, Scale(e, c));
  return acc;
}

Expansion Negate(Expansion e) {
  for (double& c : e) c = -c;
  return e;
}

double Estimate(const double* e, int n) {
  double q = 0;
  for (int i = 0; i < n; ++i) q += e[i];
  return q;
}

double SignOf(const Expansion& e) {
  return e.empty() ? 0.0 : e.back();
}

// The exact difference a - b as an expansion.
Expansion Diff(double a, double b) {
  double x, y;
  TwoDiff(a, b, x, y);
  Expansion d;
  if (y != 0) d.push_back(y);
  if (x != 0) d.push_back(x);
  return d;
}

// --- orientation ----------------------------------------------------------------

double Orient2DExact(double ax, double ay, double bx, double by, double cx, double cy) {
  const Expansion acx = Diff(ax, cx), bcx = Diff(bx, cx);
  const Expansion acy = Diff(ay, cy), bcy = Diff(by, cy);
  return SignOf(Sum(Product(acx, bcy), Negate(Product(acy, bcx))));
}

double Orient2DAdapt(double ax, double ay, double bx, double by, double cx, double cy,
                     double detsum) {
  const double acx = ax - cx, bcx = bx - cx, acy = ay - cy, bcy = by - cy;
  double detleft, detlefttail, detright, detrighttail;
  TwoProduct(acx, bcy, detleft, detlefttail);
  TwoProduct(acy, bcx, detright, detrighttail);
  double B[4];
  TwoTwoDiff(detleft, detlefttail, detright, detrighttail, B);
  double det = Estimate(B, 4);
  double errbound = kCcwErrBoundB * detsum;
  if (det >= errbound || -det >= errbound) return det;

  double acxtail, acytail, bcxtail, bcytail;
  TwoDiffTail(ax, cx, acx, acxtail);
  TwoDiffTail(bx, cx, bcx, bcxtail);
  TwoDiffTail(ay, cy, acy, acytail);
  TwoDiffTail(by, cy, bcy, bcytail);
  // The differences were exact: B is the exact determinant.
  if (acxtail == 0 && acytail == 0 && bcxtail == 0 && bcytail == 0) return det;

  errbound = kCcwErrBoundC * detsum + kResultErrBound * std::fabs(det);
  det += (acx * bcytail + bcy * acxtail) - (acy * bcxtail + bcx * acytail);
  if (det >= errbound || -det >= errbound) return det;
  return Orient2DExact(ax, ay, bx, by, cx, cy);
}

// --- in-circle ------------------------------------------------------------------

double InCircleExact(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                     double dy) {
  const Expansion adx = Diff(ax, dx), ady = Diff(ay, dy);
  const Expansion bdx = Diff(bx, dx), bdy = Diff(by, dy);
  const Expansion cdx = Diff(cx, dx), cdy = Diff(cy, dy);
  const Expansion alift = Sum(Product(adx, adx), Product(ady, ady));
  const Expansion blift = Sum(Product(bdx, bdx), Product(bdy, bdy));
  const Expansion clift = Sum(Product(cdx, cdx), Product(cdy, cdy));
  const Expansion bc = Sum(Product(bdx, cdy), Negate(Product(cdx, bdy)));
  const Expansion ca = Sum(Product(cdx, ady), Negate(Product(adx, cdy)));
  const Expansion ab = Sum(Product(adx, bdy), Negate(Product(bdx, ady)));
  return SignOf(Sum(Sum(Product(alift, bc), Product(blift, ca)), Product(clift, ab)));
}

// The 2x2 minor p*q - r*s of exact doubles, as an expansion in m (<= 4).
inline int Minor(double p, double q, double r, double s, double* m) {
  double p1, p0, r1, r0, x[4];
  TwoProduct(p, q, p1, p0);
  TwoProduct(r, s, r1, r0);
  TwoTwoDiff(p1, p0, r1, r0, x);
  int n = 0;
  for (double c : x)
    if (c != 0) m[n++] = c;
  return n;
}

// minor * (dx^2 + dy^2) into h (<= 32 entries); returns its length.
inline int Lifted(double p, double q, double r, double s, double dx, double dy, double* h) {
  double m[4], t1[8], t2[16], u1[8], u2[16];
  const int mn = Minor(p, q, r, s, m);
  const int n1 = ScaleInto(mn, m, dx, t1);
  const int n2 = ScaleInto(n1, t1, dx, t2);
  const int k1 = ScaleInto(mn, m, dy, u1);
  const int k2 = ScaleInto(k1, u1, dy, u2);
  return SumInto(n2, t2, k2, u2, h);
}

// The sign of the in-circle determinant, when its six differences are
// exact and lie on a coarse binary raster: all integer multiples of one
// power of two u, below 2^30 u. In units of u every product of two
// differences is an integer below 2^60, every minor and lift below 2^61
// (64-bit integers), every lifted minor below 2^122 and the sum below 2^124
// (128-bit integers), all exact. The points of a regular grid meet this at
// any extent that occurs in practice, so their co-circular quadruples, and
// the near ties that a far corner of the enclosing triangle brings, are
// settled without expansion arithmetic. (Without 128-bit integers the bound
// is 2^12 u, where the plain double evaluation is exact: every lifted minor
// below 2^50 u^4.)
std::optional<double> RasterInCircle(double ax, double ay, double bx, double by, double cx,
                                     double cy, double dx, double dy) {
#if defined(__SIZEOF_INT128__)
  constexpr int kBits = 30;
#else
  constexpr int kBits = 12;
#endif
  const double d[6] = {ax - dx, ay - dy, bx - dx, by - dy, cx - dx, cy - dy};
  const double from[6] = {ax, ay, bx, by, cx, cy};
  const double to[6] = {dx, dy, dx, dy, dx, dy};
  double m = 0;
  for (int k = 0; k < 6; ++k) {
    double tail;
    TwoDiffTail(from[k], to[k], d[k], tail);
    if (tail != 0) return std::nullopt;
    m = std::max(m, std::fabs(d[k]));
  }
  if (m == 0) return 0.0;  // all four points coincide
  if (!(m > 0x1p-200 && m < 0x1p200)) return std::nullopt;
  // m < 2^e (m is normal here), and scaling by 2^(kBits - e) is exact and
  // brings every difference below 2^kBits.
  const int e = static_cast<int>(std::bit_cast<uint64_t>(m) >> 52) - 1022;
  const double scale = std::bit_cast<double>(static_cast<uint64_t>(1023 + kBits - e) << 52);
  int64_t q[6];
  for (int k = 0; k < 6; ++k) {
    const double v = d[k] * scale;
    q[k] = static_cast<int64_t>(v);
    if (static_cast<double>(q[k]) != v) return std::nullopt;
  }
  const int64_t adx = q[0], ady = q[1], bdx = q[2], bdy = q[3], cdx = q[4], cdy = q[5];
#if defined(__SIZEOF_INT128__)
  using Wide = __int128;
  const Wide det = Wide{adx * adx + ady * ady} * (bdx * cdy - cdx * bdy) +
                   Wide{bdx * bdx + bdy * bdy} * (cdx * ady - adx * cdy) +
                   Wide{cdx * cdx + cdy * cdy} * (adx * bdy - bdx * ady);
  return det > 0 ? 1.0 : (det < 0 ? -1.0 : 0.0);
#else
  const double det =
      static_cast<double>(adx * adx + ady * ady) * static_cast<double>(bdx * cdy - cdx * bdy) +
      static_cast<double>(bdx * bdx + bdy * bdy) * static_cast<double>(cdx * ady - adx * cdy) +
      static_cast<double>(cdx * cdx + cdy * cdy) * static_cast<double>(adx * bdy - bdx * ady);
  return det;
#endif
}

double InCircleAdapt(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                     double dy, double permanent) {
  const double adx = ax - dx, bdx = bx - dx, cdx = cx - dx;
  const double ady = ay - dy, bdy = by - dy, cdy = cy - dy;
  if (const std::optional<double> raster = RasterInCircle(ax, ay, bx, by, cx, cy, dx, dy))
    return *raster;
  // With exact differences this is the exact determinant.
  double a[32], b[32], c[32], ab[64], fin[96];
  const int an = Lifted(bdx, cdy, cdx, bdy, adx, ady, a);
  const int bn = Lifted(cdx, ady, adx, cdy, bdx, bdy, b);
  const int cn = Lifted(adx, bdy, bdx, ady, cdx, cdy, c);
  const int abn = SumInto(an, a, bn, b, ab);
  const int finn = SumInto(abn, ab, cn, c, fin);
  const double det = Estimate(fin, finn);
  const double errbound = kIccErrBoundB * permanent;
  if (det >= errbound || -det >= errbound) return det;

  double adxtail, bdxtail, cdxtail, adytail, bdytail, cdytail;
  TwoDiffTail(ax, dx, adx, adxtail);
  TwoDiffTail(ay, dy, ady, adytail);
  TwoDiffTail(bx, dx, bdx, bdxtail);
  TwoDiffTail(by, dy, bdy, bdytail);
  TwoDiffTail(cx, dx, cdx, cdxtail);
  TwoDiffTail(cy, dy, cdy, cdytail);
  if (adxtail == 0 && bdxtail == 0 && cdxtail == 0 && adytail == 0 && bdytail == 0 && cdytail == 0)
    return finn > 0 ? fin[finn - 1] : 0.0;
  return InCircleExact(ax, ay, bx, by, cx, cy, dx, dy);
}

}  // namespace

namespace {

// An expansion's value: its non-overlapping components summed smallest
// first, within a few units of the exact value's last place, with the sign
// of the largest component (the sign of the exact value).
double Rounded(const Expansion& e) {
  if (e.empty()) return 0;
  const double v = Estimate(e.data(), static_cast<int>(e.size()));
  return (v > 0) == (e.back() > 0) && v != 0 ? v : e.back();
}

}  // namespace

double Orient2DAccurate(double ax, double ay, double bx, double by, double cx, double cy) {
  const Expansion acx = Diff(ax, cx), bcx = Diff(bx, cx);
  const Expansion acy = Diff(ay, cy), bcy = Diff(by, cy);
  const Expansion det = Sum(Product(acx, bcy), Negate(Product(acy, bcx)));
  return Rounded(det);
}

double Orient3D(double ax, double ay, double az, double bx, double by, double bz, double cx,
                double cy, double cz, double dx, double dy, double dz) {
  // Rows b - a, c - a, d - a: the determinant is (d - a) . ((b - a) x (c - a)).
  const double bax = bx - ax, bay = by - ay, baz = bz - az;
  const double cax = cx - ax, cay = cy - ay, caz = cz - az;
  const double dax = dx - ax, day = dy - ay, daz = dz - az;
  const double m1 = bay * caz, m2 = baz * cay;  // x of (b - a) x (c - a)
  const double m3 = baz * cax, m4 = bax * caz;  // y
  const double m5 = bax * cay, m6 = bay * cax;  // z
  const double det = dax * (m1 - m2) + day * (m3 - m4) + daz * (m5 - m6);
  const double permanent = std::fabs(dax) * (std::fabs(m1) + std::fabs(m2)) +
                           std::fabs(day) * (std::fabs(m3) + std::fabs(m4)) +
                           std::fabs(daz) * (std::fabs(m5) + std::fabs(m6));
  // The differences and the products round too: a bound twice the usual
  // one covers them. Within it the value is taken exactly.
  constexpr double kO3dErrBound = 2 * (7.0 + 56.0 * kEps) * kEps;
  if (std::fabs(det) >= 1e10 * kO3dErrBound * permanent) return det;
  const Expansion ebax = Diff(bx, ax), ebay = Diff(by, ay), ebaz = Diff(bz, az);
  const Expansion ecax = Diff(cx, ax), ecay = Diff(cy, ay), ecaz = Diff(cz, az);
  const Expansion edax = Diff(dx, ax), eday = Diff(dy, ay), edaz = Diff(dz, az);
  const Expansion nx = Sum(Product(ebay, ecaz), Negate(Product(ebaz, ecay)));
  const Expansion ny = Sum(Product(ebaz, ecax), Negate(Product(ebax, ecaz)));
  const Expansion nz = Sum(Product(ebax, ecay), Negate(Product(ebay, ecax)));
  return Rounded(Sum(Sum(Product(edax, nx), Product(eday, ny)), Product(edaz, nz)));
}

namespace predicates_detail {

double Orient2DSlow(double ax, double ay, double bx, double by, double cx, double cy,
                    double detsum) {
  return Orient2DAdapt(ax, ay, bx, by, cx, cy, detsum);
}

double InCircleSlow(double ax, double ay, double bx, double by, double cx, double cy, double dx,
                    double dy, double permanent) {
  return InCircleAdapt(ax, ay, bx, by, cx, cy, dx, dy, permanent);
}

}  // namespace predicates_detail

}  // namespace orvane
