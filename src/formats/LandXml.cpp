#include "formats/LandXml.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <system_error>
#include <utility>
#include <vector>

#include "core/storage/AtomicFile.h"
#include "core/support/NumberText.h"

namespace orvane {

namespace {

namespace fs = std::filesystem;

// The maker's address in the Application element: a neutral placeholder.
constexpr std::string_view kManufacturerUrl = "www.kaldero.com";

// The document is handed to the sink in pieces of about this size (bytes).
constexpr size_t kPieceBytes = size_t{1} << 20;

// Replacement for characters XML 1.0 cannot carry even as a reference.
constexpr std::string_view kReplacement = "&#65533;";

void AppendCodeReference(std::string& out, uint32_t code) {
  char buf[16];
  auto r = std::to_chars(buf, buf + sizeof buf, code);
  out += "&#";
  out.append(buf, r.ptr);
  out += ';';
}

// One character of code point c (already known to be a valid scalar value).
void AppendCharacter(std::string& out, uint32_t c) {
  switch (c) {
    case '&':
      out += "&amp;";
      return;
    case '<':
      out += "&lt;";
      return;
    case '>':
      out += "&gt;";
      return;
    case '"':
      out += "&quot;";
      return;
    // Attribute values turn raw tabs and line ends into blanks; references
    // keep them.
    case '\t':
    case '\n':
    case '\r':
      AppendCodeReference(out, c);
      return;
    default:
      break;
  }
  if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) {
    out += kReplacement;
  } else if (c <= 0xFF) {
    out += static_cast<char>(static_cast<unsigned char>(c));
  } else {
    AppendCodeReference(out, c);
  }
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when the
// bytes there are not a valid, shortest-form sequence of a scalar value.
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t& code) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  size_t length = 0;
  uint32_t min = 0;
  if (b0 < 0x80) {
    code = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    length = 2, code = b0 & 0x1Fu, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, code = b0 & 0x0Fu, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, code = b0 & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// How to read a Tag's bytes. Names typed on this system, and file names,
// are UTF-8; older projects hold 8-bit ISO-8859-1 names, whose accented
// letters almost never form valid UTF-8. So: UTF-8 when the bytes are valid
// UTF-8, ISO-8859-1 otherwise.
TextBytes NameBytes(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, i, code);
    if (length == 0) return TextBytes::Latin1;
    i += length;
  }
  return TextBytes::Utf8;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The general decimal form. The schema's xs:double spells the non-finite
// values NaN, INF and -INF.
void AppendGeneral(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "NaN";
  } else if (std::isinf(v)) {
    out += v > 0 ? "INF" : "-INF";
  } else {
    AppendNumber(out, v);
  }
}

void AppendFixed3(std::string& out, double v) {
  if (!std::isfinite(v))
    AppendGeneral(out, v);
  else
    out += FormatFixed(v, 3);
}

// Northing, easting, elevation in the general form.
void AppendPoint(std::string& out, const PointRec& p) {
  AppendGeneral(out, p.Y);
  out += ' ';
  AppendGeneral(out, p.X);
  out += ' ';
  AppendGeneral(out, p.Z);
}

// "northing easting elevation" of every point, formatted once: the
// document lists each point twice (CgPoints and Pnts).
class PointTexts {
 public:
  explicit PointTexts(const TriangleMesh& mesh) {
    const int32_t n = mesh.PointCount();
    start_.reserve(static_cast<size_t>(n) + 2);
    start_.push_back(0);
    start_.push_back(0);  // point 0 is never listed
    std::string one;
    for (int32_t i = 1; i <= n; ++i) {
      one.clear();
      AppendPoint(one, mesh.Point(i));
      text_ += one;
      start_.push_back(text_.size());
    }
  }
  std::string_view Of(int32_t i) const {
    const auto k = static_cast<size_t>(i);
    return std::string_view(text_).substr(start_[k], start_[k + 1] - start_[k]);
  }

 private:
  std::string text_;
  std::vector<size_t> start_;
};

// One element of the long lists, assembled in place and appended at once.
class Piece {
 public:
  Piece& operator<<(std::string_view s) {
    if (s.size() > static_cast<size_t>(buf_ + sizeof buf_ - p_)) Spill();
    if (s.size() > sizeof buf_) {
      out_.append(s);
    } else {
      std::memcpy(p_, s.data(), s.size());
      p_ += s.size();
    }
    return *this;
  }
  Piece& operator<<(int64_t v) {
    if (buf_ + sizeof buf_ - p_ < 24) Spill();
    p_ = std::to_chars(p_, buf_ + sizeof buf_, v).ptr;
    return *this;
  }
  explicit Piece(std::string& out) : out_(out) {}
  ~Piece() { Spill(); }
  Piece(const Piece&) = delete;
  Piece& operator=(const Piece&) = delete;

 private:
  void Spill() {
    out_.append(buf_, static_cast<size_t>(p_ - buf_));
    p_ = buf_;
  }
  std::string& out_;
  char buf_[256];
  char* p_ = buf_;
};

// Builds the document into buf and hands it to sink whenever it passes
// flushAt bytes (never when sink is empty).
class DocumentWriter {
 public:
  DocumentWriter(std::string& buf, size_t flushAt, const LandXmlSink& sink,
                 const LandXmlProgress& progress)
      : buf_(buf), flushAt_(flushAt), sink_(sink), progress_(progress) {}

  bool Write(const TriangleMesh& mesh, std::span<const PointList> zones,
             std::span<const PointList> breaklines, const LandXmlClock& clock) {
    std::string& d = buf_;
    d += "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    d += "<LandXML language=\"English\" readOnly=\"false\" version=\"1.2\" time=\"";
    AppendXmlEscaped(d, clock.Time, TextBytes::Utf8);
    d += "\" date=\"";
    AppendXmlEscaped(d, clock.Date, TextBytes::Utf8);
    d += "\" xsi:schemaLocation=\"http://www.landxml.org/schema/LandXML-1.2 "
         "http://www.landxml.org/schema/LandXML-1.2/LandXML-1.2.xsd\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xmlns=\"http://www.landxml.org/schema/LandXML-1.2\">";
    d += "<Units><Metric directionUnit=\"decimal degrees\" angularUnit=\"decimal degrees\" "
         "diameterUnit=\"millimeter\" pressureUnit=\"milliBars\" temperatureUnit=\"celsius\" "
         "volumeUnit=\"cubicMeter\" linearUnit=\"meter\" areaUnit=\"squareMeter\"/></Units>";
    d += "<Project name=\"\"/>";
    d += "<Application version=\"2019\" name=\"ORVANE\" timeStamp=\"";
    AppendXmlEscaped(d, clock.TimeStamp, TextBytes::Utf8);
    d += "\" manufacturerURL=\"";
    d += kManufacturerUrl;
    d += "\" manufacturer=\"Kaldero\" desc=\"ORVANE\"/>";

    const int32_t points = mesh.PointCount();
    const PointTexts texts(mesh);
    d += "<CgPoints>";
    if (!Loop(LandXmlPhase::CgPoints, points, [&](int32_t i) {
          Piece(d) << "<CgPoint name=\"" << int64_t{i} << "\">" << texts.Of(i) << "</CgPoint>";
        }))
      return false;
    d += "</CgPoints>";

    d += "<Surfaces><Surface name=\"";
    const std::string name = LandXmlSurfaceName(mesh);
    AppendXmlEscaped(d, name, NameBytes(name));
    d += "\" desc=\"\">";
    WriteSourceData(zones, breaklines);

    const ExtentsRec extents = mesh.GetExtents();
    d += "<Definition elevMin=\"";
    AppendGeneral(d, extents.Min.Z);
    d += "\" elevMax =\"";
    AppendGeneral(d, extents.Max.Z);
    d += "\" area3DSurf =\"";
    AppendGeneral(d, SurfaceArea3D(mesh));
    d += "\" area2DSurf=\"";
    AppendGeneral(d, SurfaceArea2D(mesh));
    d += "\" surfType=\"TIN\">";

    d += "<Pnts>";
    if (!Loop(LandXmlPhase::Pnts, points, [&](int32_t i) {
          Piece(d) << "<P id=\"" << int64_t{i} << "\">" << texts.Of(i) << "</P>";
        }))
      return false;
    d += "</Pnts>";

    d += "<Faces>";
    if (!Loop(LandXmlPhase::Faces, mesh.TriangleCount(), [&](int32_t i) {
          const std::array<int32_t, 3> abc = *mesh.GetTriangleIndexes(i);
          Piece(d) << "<F>" << int64_t{abc[0]} << " " << int64_t{abc[1]} << " " << int64_t{abc[2]}
                   << "</F>";
        }))
      return false;
    d += "</Faces>";
    d += "</Definition></Surface></Surfaces></LandXML>\r\n";
    return Flush();
  }

 private:
  void WriteSourceData(std::span<const PointList> zones, std::span<const PointList> breaklines) {
    std::string& d = buf_;
    if (zones.empty() && breaklines.empty()) {
      d += "<SourceData/>";
      return;
    }
    d += "<SourceData>";
    if (!zones.empty()) {
      d += "<Boundaries>";
      for (const PointList& zone : zones) {
        d += "<Boundary edgeTrim=\"true\" bndType=\"outer\"><PntList3D>";
        for (int32_t i = 1; i <= zone.count(); ++i) {
          const PointRec& p = zone.Point(i);
          if (i > 1) d += ' ';
          AppendFixed3(d, p.Y);
          d += ' ';
          AppendGeneral(d, p.X);
          d += ' ';
          AppendGeneral(d, p.Z);
        }
        d += "</PntList3D></Boundary>";
      }
      d += "</Boundaries>";
    }
    if (!breaklines.empty()) {
      d += "<Breaklines>";
      for (const PointList& line : breaklines) {
        d += "<Breakline desc=\"break\" brkType=\"standard\"><PntList3D>";
        for (int32_t i = 1; i <= line.count(); ++i) {
          const PointRec& p = line.Point(i);
          if (i > 1) {
            d += ' ';
            AppendFixed3(d, p.Y);
          } else {
            AppendGeneral(d, p.Y);  // the one northing in the general form
          }
          d += ' ';
          AppendFixed3(d, p.X);
          d += ' ';
          AppendFixed3(d, p.Z);
        }
        d += "</PntList3D></Breakline>";
      }
      d += "</Breaklines>";
    }
    d += "</SourceData>";
  }

  template <typename Element>
  bool Loop(LandXmlPhase phase, int32_t count, Element&& element) {
    if (!Report(phase, 0, count)) return false;
    for (int32_t i = 1; i <= count; ++i) {
      element(i);
      if (buf_.size() >= flushAt_ && !Flush()) return false;
      if (i % kLandXmlProgressStep == 0 && i != count && !Report(phase, i, count)) return false;
    }
    return Report(phase, count, count);
  }

  bool Report(LandXmlPhase phase, int64_t done, int64_t total) {
    return !progress_ || progress_(phase, done, total);
  }

  bool Flush() {
    if (!sink_) return true;
    const bool ok = sink_(buf_);
    buf_.clear();
    return ok;
  }

  std::string& buf_;
  size_t flushAt_;
  const LandXmlSink& sink_;
  const LandXmlProgress& progress_;
};

std::string TwoDigits(int v) {
  return std::string{static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

struct LocalNow {
  std::tm tm{};
  int milliseconds = 0;
};

LocalNow ReadLocalNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  LocalNow result;
  localtime_r(&seconds, &result.tm);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  result.milliseconds = static_cast<int>(ms < 0 ? ms + 1000 : ms);
  return result;
}

std::string DateText(const std::tm& tm) {
  char year[16];
  auto r = std::to_chars(year, year + sizeof year, tm.tm_year + 1900);
  std::string y(year, r.ptr);
  while (y.size() < 4) y.insert(y.begin(), '0');
  return y + "-" + TwoDigits(tm.tm_mon + 1) + "-" + TwoDigits(tm.tm_mday);
}

std::string TimeText(const std::tm& tm) {
  return TwoDigits(tm.tm_hour) + ":" + TwoDigits(tm.tm_min) + ":" + TwoDigits(tm.tm_sec);
}

std::string StampText(const LocalNow& now) {
  std::string ms = std::to_string(now.milliseconds);
  while (ms.size() < 3) ms.insert(ms.begin(), '0');
  return DateText(now.tm) + "T" + TimeText(now.tm) + "." + ms;
}

size_t EstimatedBytes(const TriangleMesh& mesh, std::span<const PointList> zones,
                      std::span<const PointList> breaklines) {
  size_t polylinePoints = 0;
  for (const PointList& l : zones) polylinePoints += static_cast<size_t>(l.count());
  for (const PointList& l : breaklines) polylinePoints += static_cast<size_t>(l.count());
  return 2048 + static_cast<size_t>(mesh.PointCount()) * 150 +
         static_cast<size_t>(mesh.TriangleCount()) * 32 + polylinePoints * 48;
}

}  // namespace

LandXmlClock LandXmlClockNow() {
  const LocalNow now = ReadLocalNow();
  return {DateText(now.tm), TimeText(now.tm), StampText(now)};
}

std::string ExportTimeStamp() {
  return StampText(ReadLocalNow());
}

void AppendXmlEscaped(std::string& out, std::string_view text, TextBytes bytes) {
  if (bytes == TextBytes::Latin1) {
    for (char ch : text) AppendCharacter(out, static_cast<unsigned char>(ch));
    return;
  }
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = DecodeUtf8(text, i, code);
    if (length == 0) {
      out += kReplacement;  // one replacement per byte that starts no valid sequence
      ++i;
    } else {
      AppendCharacter(out, code);
      i += length;
    }
  }
}

std::string LandXmlSurfaceName(const TriangleMesh& mesh) {
  return VariantToText(mesh.Tag);
}

bool WriteLandXml(const TriangleMesh& mesh, std::span<const PointList> zones,
                  std::span<const PointList> breaklines, const LandXmlClock& clock,
                  const LandXmlSink& sink, const LandXmlProgress& progress) {
  std::string buf;
  buf.reserve(kPieceBytes + 4096);
  DocumentWriter writer(buf, kPieceBytes, sink, progress);
  return writer.Write(mesh, zones, breaklines, clock);
}

std::optional<std::string> BuildLandXml(const TriangleMesh& mesh, std::span<const PointList> zones,
                                        std::span<const PointList> breaklines,
                                        const LandXmlClock& clock,
                                        const LandXmlProgress& progress) {
  std::string doc;
  doc.reserve(EstimatedBytes(mesh, zones, breaklines));
  const LandXmlSink none;
  DocumentWriter writer(doc, SIZE_MAX, none, progress);
  if (!writer.Write(mesh, zones, breaklines, clock)) return std::nullopt;
  return doc;
}

LandXmlExport ExportLandXml(const TriangleMesh& surface, const fs::path& folder,
                            const fs::path& output, const LandXmlProgress& progress,
                            const std::optional<LandXmlClock>& clock) {
  LandXmlExport result;
  const std::string name = LandXmlSurfaceName(surface);
  const std::string shown = "surface '" + Latin1ToUtf8(name) + "'";
  if (surface.TriangleCount() == 0) {
    result.Error = shown + " has no triangles (a LandXML surface needs at least one face); " +
                   output.string() + " not written";
    return result;
  }
  const int32_t points = surface.PointCount();
  for (int32_t i = 1; i <= surface.TriangleCount(); ++i) {
    const std::array<int32_t, 3> abc = *surface.GetTriangleIndexes(i);
    for (int32_t index : abc) {
      if (index < 1 || index > points) {
        result.Error = shown + ": triangle " + std::to_string(i) + " names point " +
                       std::to_string(index) + ", which the surface does not have (it has " +
                       std::to_string(points) + "); " + output.string() + " not written";
        return result;
      }
    }
  }

  // The Tag's bytes are the file names' bytes, as for the surface's ".dsp".
  // A Tag that cannot be a file name of the folder has no companion files:
  // reading "../x.brk" would take another project's breaklines.
  const bool plainName = !name.empty() && name != "." && name != ".." &&
                         name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
  PolylineFile breaklines, zones;
  for (auto [file, layout] : {std::pair{fs::path(name + ".brk"), PolylineLayout::Breaklines},
                              std::pair{fs::path(name + ".bnd"), PolylineLayout::Zones}}) {
    if (!plainName) break;
    const fs::path path = folder / file;
    std::error_code ec;
    if (!fs::exists(path, ec)) continue;
    PolylineFile read = ReadPolylineFile(path, layout);
    result.Inputs.emplace_back(path, read.Report);
    if (!read.Report.ok()) {
      result.Error = read.Report.Error + "; " + output.string() + " not written";
      return result;
    }
    (layout == PolylineLayout::Zones ? zones : breaklines) = std::move(read);
  }
  result.ZoneCount = static_cast<int32_t>(zones.Lists.size());
  result.BreaklineCount = static_cast<int32_t>(breaklines.Lists.size());
  result.Zones = zones.Lists;
  result.Breaklines = breaklines.Lists;

  AtomicFileWriter writer(output);
  if (!writer.ok()) {
    result.Error = writer.Error();
    return result;
  }
  bool writeFailed = false;
  const LandXmlSink sink = [&](std::string_view piece) {
    writeFailed = !writer.Write(piece);
    return !writeFailed;
  };
  const bool complete = WriteLandXml(surface, zones.Lists, breaklines.Lists,
                                     clock ? *clock : LandXmlClockNow(), sink, progress);
  if (!complete) {
    writer.Discard();
    if (writeFailed) {
      result.Error = writer.Error();
    } else {
      result.Cancelled = true;
      result.Error = "cancelled: " + output.string() + " not written";
    }
    return result;
  }
  if (!writer.Commit()) result.Error = writer.Error();
  return result;
}

}  // namespace orvane
