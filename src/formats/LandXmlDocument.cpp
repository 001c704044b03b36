#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/SurfaceArea.h"
#include "formats/LandXml.h"
#include "formats/LandXmlText.h"

namespace orvane {

namespace {

using landxml::AppendFixed3;
using landxml::AppendGeneral;
using landxml::AppendPoint;
using landxml::NameBytes;

// The maker's address in the Application element: a neutral placeholder.
constexpr std::string_view kManufacturerUrl = "www.kaldero.com";

// The document is handed to the sink in pieces of about this size (bytes).
constexpr size_t kPieceBytes = size_t{1} << 20;

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
                 const LandXmlProgress& progress, const CoordinateSystemInfo* crs = nullptr)
      : buf_(buf), flushAt_(flushAt), sink_(sink), progress_(progress), crs_(crs) {}

  bool Write(const TriangleMesh& mesh, std::span<const PointList> zones,
             std::span<const PointList> breaklines, const LandXmlClock& clock) {
    std::string& d = buf_;
    WriteHeader(clock);
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
    WriteDefinitionStart(mesh);

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
  // The declaration, the LandXML element and what precedes the points.
  void WriteHeader(const LandXmlClock& clock) {
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
    if (crs_ != nullptr) {
      d += "<CoordinateSystem name=\"";
      AppendXmlEscaped(d, crs_->Name, TextBytes::Utf8);
      if (crs_->EpsgCode) d += "\" epsgCode=\"" + std::to_string(*crs_->EpsgCode);
      d += "\" ogcWktCode=\"";
      AppendXmlEscaped(d, crs_->Wkt, TextBytes::Utf8);
      d += "\"/>";
    }
    d += "<Project name=\"\"/>";
    d += "<Application version=\"2019\" name=\"ORVANE\" timeStamp=\"";
    AppendXmlEscaped(d, clock.TimeStamp, TextBytes::Utf8);
    d += "\" manufacturerURL=\"";
    d += kManufacturerUrl;
    d += "\" manufacturer=\"Kaldero\" desc=\"ORVANE\"/>";
  }

  // The Definition element's start tag with the surface's figures.
  void WriteDefinitionStart(const TriangleMesh& mesh) {
    std::string& d = buf_;
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
  }

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
  const CoordinateSystemInfo* crs_;
};

size_t EstimatedBytes(const TriangleMesh& mesh, std::span<const PointList> zones,
                      std::span<const PointList> breaklines) {
  size_t polylinePoints = 0;
  for (const PointList& l : zones) polylinePoints += static_cast<size_t>(l.count());
  for (const PointList& l : breaklines) polylinePoints += static_cast<size_t>(l.count());
  return 2048 + static_cast<size_t>(mesh.PointCount()) * 150 +
         static_cast<size_t>(mesh.TriangleCount()) * 32 + polylinePoints * 48;
}

}  // namespace

bool WriteLandXml(const TriangleMesh& mesh, std::span<const PointList> zones,
                  std::span<const PointList> breaklines, const LandXmlClock& clock,
                  const LandXmlSink& sink, const LandXmlProgress& progress,
                  const CoordinateSystemInfo* coordinateSystem) {
  std::string buf;
  buf.reserve(kPieceBytes + 4096);
  DocumentWriter writer(buf, kPieceBytes, sink, progress, coordinateSystem);
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

}  // namespace orvane
