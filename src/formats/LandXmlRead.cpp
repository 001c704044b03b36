#include "formats/LandXmlRead.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "core/storage/AtomicFile.h"
#include "formats/TextFiles.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// Element names reach the handlers as "namespace URI" + kNsSep + "local
// name" (just the local name for an element in no namespace).
constexpr char kNsSep = '\x01';

constexpr std::string_view kNamespaces[] = {
    "http://www.landxml.org/schema/LandXML-1.0", "http://www.landxml.org/schema/LandXML-1.1",
    "http://www.landxml.org/schema/LandXML-1.2", "http://www.landxml.org/schema/LandXML-2.0"};

// LandXML nests a dozen levels; extensions a few more.
constexpr size_t kMaxDepth = 256;

// The elements the reader follows; everything else is passed over with
// whatever it holds.
enum class Kind : uint8_t {
  Other,
  Root,
  Units,
  UnitSystem,  // Metric or Imperial
  CgPoints,
  CgPoint,
  Surfaces,
  Surface,
  SourceData,
  Boundaries,
  Boundary,
  Breaklines,
  Breakline,
  PntList,  // PntList3D of a kept boundary or of a breakline
  Definition,
  Pnts,
  P,
  Faces,
  F,
};

struct UnitEntry {
  std::string_view Name;
  LandXmlUnit Unit;
};
constexpr UnitEntry kUnits[] = {
    {"meter", LandXmlUnit::Metre},
    {"millimeter", LandXmlUnit::Millimetre},
    {"centimeter", LandXmlUnit::Centimetre},
    {"kilometer", LandXmlUnit::Kilometre},
    {"foot", LandXmlUnit::InternationalFoot},
    {"USSurveyFoot", LandXmlUnit::UsSurveyFoot},
};

// Blanks of XML: space, tab, CR, LF.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The next blank-separated token of s (advanced past it), "" at the end.
std::string_view NextToken(std::string_view& s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  size_t j = i;
  while (j < s.size() && !IsBlank(s[j])) ++j;
  const std::string_view token = s.substr(i, j - i);
  s.remove_prefix(j);
  return token;
}

// A whole token as a double (xs:double: a leading "+" allowed); nullopt when
// it is not one.
std::optional<double> ParseDouble(std::string_view token) {
  if (token.size() > 1 && token[0] == '+' && token[1] != '-') token.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
  if (ec != std::errc() || end != token.data() + token.size()) {
    // Beyond the range of a double: too large is no survey either (refused
    // below as not finite); too small is zero.
    if (ec == std::errc::result_out_of_range && end == token.data() + token.size()) {
      const size_t e = token.find_first_of("eE");
      const bool tiny = e != std::string_view::npos && e + 1 < token.size() && token[e + 1] == '-';
      return tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return std::nullopt;
  }
  return v;
}

std::optional<int64_t> ParseInteger(std::string_view token) {
  if (token.size() > 1 && token[0] == '+' && token[1] != '-') token.remove_prefix(1);
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
  if (ec != std::errc() || end != token.data() + token.size()) return std::nullopt;
  return v;
}

// Windows-1252 (which documents of some programs declare) as expat's
// single-byte map: Latin-1 with the printable characters of 0x80..0x9F.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFF, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFF, 0x017D, 0xFFFF, 0xFFFF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFF, 0x017E, 0x0178};

int XMLCALL UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower != "windows-1252" && lower != "cp1252") return XML_STATUS_ERROR;
  for (int i = 0; i < 256; ++i) info->map[i] = i;
  for (int i = 0; i < 32; ++i) info->map[0x80 + i] = kCp1252High[i] == 0xFFFF ? -1 : kCp1252High[i];
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

// Point ids to point numbers: a table when the ids are dense enough, else a
// sorted list.
class IdMap {
 public:
  // Builds the map of ids (point k has ids[k]); the index of the first point
  // whose id an earlier point already has, or -1.
  int64_t Build(const std::vector<int64_t>& ids) {
    table_.clear();
    sorted_.clear();
    if (ids.empty()) return -1;
    const auto [lo, hi] = std::minmax_element(ids.begin(), ids.end());
    min_ = *lo;
    const auto n = static_cast<uint64_t>(ids.size());
    const uint64_t span = static_cast<uint64_t>(*hi) - static_cast<uint64_t>(*lo);
    if (span < 4 * n + 1024) {
      table_.assign(span + 1, 0);
      for (size_t k = 0; k < ids.size(); ++k) {
        int32_t& slot = table_[static_cast<uint64_t>(ids[k]) - static_cast<uint64_t>(min_)];
        if (slot != 0) return static_cast<int64_t>(k);
        slot = static_cast<int32_t>(k + 1);
      }
      return -1;
    }
    sorted_.reserve(ids.size());
    for (size_t k = 0; k < ids.size(); ++k) sorted_.emplace_back(ids[k], static_cast<int32_t>(k));
    std::sort(sorted_.begin(), sorted_.end());
    int64_t first = -1;
    for (size_t k = 1; k < sorted_.size(); ++k)
      if (sorted_[k].first == sorted_[k - 1].first && (first < 0 || sorted_[k].second < first))
        first = sorted_[k].second;
    return first;
  }
  // The 1-based number of the point with this id; 0 when none has it.
  int32_t Find(int64_t id) const {
    if (!table_.empty()) {
      const uint64_t at = static_cast<uint64_t>(id) - static_cast<uint64_t>(min_);
      return at < table_.size() ? table_[at] : 0;
    }
    const auto it = std::lower_bound(sorted_.begin(), sorted_.end(), std::pair{id, INT32_MIN});
    return it != sorted_.end() && it->first == id ? it->second + 1 : 0;
  }

 private:
  int64_t min_ = 0;
  std::vector<int32_t> table_;
  std::vector<std::pair<int64_t, int32_t>> sorted_;
};

// Where a byte of the document is: 1-based line and column (bytes).
using Locator = std::function<std::pair<int64_t, int64_t>(int64_t byte)>;

std::pair<int64_t, int64_t> LocateIn(std::string_view text, int64_t byte) {
  int64_t line = 1, column = 1;
  const auto end = static_cast<size_t>(std::clamp<int64_t>(byte, 0, int64_t(text.size())));
  for (size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return {line, column};
}

class Reader {
 public:
  Reader(const LandXmlReadOptions& options, fs::path file, Locator locate)
      : options_(options), file_(std::move(file)), locate_(std::move(locate)) {
    parser_ = XML_ParserCreateNS(nullptr, kNsSep);
    if (parser_ == nullptr) throw std::bad_alloc();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &Reader::OnStart, &Reader::OnEnd);
    XML_SetCharacterDataHandler(parser_, &Reader::OnText);
    XML_SetStartDoctypeDeclHandler(parser_, &Reader::OnDoctype);
    XML_SetEntityDeclHandler(parser_, &Reader::OnEntity);
    XML_SetUnknownEncodingHandler(parser_, &UnknownEncoding, nullptr);
    // No external entity is ever read: without a handler for them and
    // without parameter-entity parsing, expat reads nothing but the bytes
    // given to it.
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
  }
  ~Reader() { XML_ParserFree(parser_); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Parses len bytes at data (the last piece when final); false after a
  // failure (Failure() says which).
  bool Feed(const char* data, size_t len, bool final) {
    while (len > 0 || final) {
      const int piece = static_cast<int>(std::min<size_t>(len, size_t{1} << 24));
      const bool last = final && static_cast<size_t>(piece) == len;
      if (XML_Parse(parser_, data, piece, last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK)
        return Failed();
      data += piece;
      len -= static_cast<size_t>(piece);
      if (last) break;
    }
    return true;
  }
  // The same through expat's own buffer (no copy of the caller's).
  void* Buffer(size_t len) { return XML_GetBuffer(parser_, static_cast<int>(len)); }
  bool ParseBuffer(size_t len, bool final) {
    if (XML_ParseBuffer(parser_, static_cast<int>(len), final ? XML_TRUE : XML_FALSE) !=
        XML_STATUS_OK)
      return Failed();
    return true;
  }

  const Outcome& Failure() const { return failure_; }

  Result<LandXmlDocument> Finish() {
    if (!failure_.Ok()) return failure_;
    if (!sawRoot_)
      return Outcome::Failure(ErrorCode::Unreadable,
                              file_.string() + ": no LandXML element: not a LandXML document",
                              file_);
    for (const std::string& wanted : options_.Surfaces) {
      const bool found = std::any_of(doc_.AllSurfaces.begin(), doc_.AllSurfaces.end(),
                                     [&](const auto& s) { return s.first == wanted; });
      if (!found) {
        std::string names;
        for (const auto& s : doc_.AllSurfaces) names += (names.empty() ? "" : ", ") + s.first;
        return Outcome::Failure(
            ErrorCode::Refused,
            file_.string() + ": no surface named \"" + wanted + "\"" +
                (names.empty() ? " (it holds none)" : " (it holds " + names + ")"),
            file_);
      }
    }
    doc_.ConvertedToMetres = options_.ToMetres && doc_.Unit != LandXmlUnit::Metre;
    return std::move(doc_);
  }

 private:
  static Reader& Self(void* p) { return *static_cast<Reader*>(p); }

  // The failure expat stopped at, unless one of ours stopped it.
  bool Failed() {
    if (failure_.Ok()) {
      const XML_Error code = XML_GetErrorCode(parser_);
      const auto line = static_cast<int64_t>(XML_GetCurrentLineNumber(parser_));
      const auto column = static_cast<int64_t>(XML_GetCurrentColumnNumber(parser_)) + 1;
      std::string why = XML_ErrorString(code);
      if (code == XML_ERROR_AMPLIFICATION_LIMIT_BREACH || code == XML_ERROR_RECURSIVE_ENTITY_REF)
        why += " (entity expansion refused)";
      failure_ =
          Outcome::Failure(ErrorCode::Unreadable,
                           file_.string() + ": line " + std::to_string(line) + ", column " +
                               std::to_string(column) + ": not a well-formed XML document: " + why,
                           file_, line);
    }
    return false;
  }

  // Stops the parse with a fault of the document at byte (of the element
  // concerned).
  void Stop(int64_t byte, const std::string& why) {
    if (!failure_.Ok()) return;
    const auto [line, column] = locate_(byte);
    failure_ = Outcome::Failure(ErrorCode::Refused,
                                file_.string() + ": line " + std::to_string(line) + ", column " +
                                    std::to_string(column) + ": " + why,
                                file_, line);
    XML_StopParser(parser_, XML_FALSE);
  }
  int64_t Here() const { return XML_GetCurrentByteIndex(parser_); }

  static void XMLCALL OnDoctype(void* p, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Reader& r = Self(p);
    r.Stop(r.Here(),
           "a document type declaration (DTD) is not accepted: LandXML needs none, and its "
           "entities are not expanded");
  }
  static void XMLCALL OnEntity(void* p, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                               const XML_Char*, const XML_Char*, const XML_Char*) {
    Reader& r = Self(p);
    r.Stop(r.Here(), "entity declarations are not accepted");
  }

  static const char* Attribute(const XML_Char** atts, const char* name) {
    for (; *atts != nullptr; atts += 2)
      if (std::strcmp(name, atts[0]) == 0) return atts[1];
    return nullptr;
  }

  Kind ChildOf(Kind parent, std::string_view local) {
    switch (parent) {
      case Kind::Root:
        if (local == "Units") return Kind::Units;
        if (local == "CgPoints" && options_.Surfaces.empty()) return Kind::CgPoints;
        if (local == "Surfaces") return Kind::Surfaces;
        return Kind::Other;
      case Kind::Units:
        return local == "Metric" || local == "Imperial" ? Kind::UnitSystem : Kind::Other;
      case Kind::CgPoints:
        if (local == "CgPoints") return Kind::CgPoints;
        return local == "CgPoint" ? Kind::CgPoint : Kind::Other;
      case Kind::Surfaces:
        return local == "Surface" ? Kind::Surface : Kind::Other;
      case Kind::Surface:
        if (!surface_) return Kind::Other;
        if (local == "SourceData") return Kind::SourceData;
        return local == "Definition" ? Kind::Definition : Kind::Other;
      case Kind::SourceData:
        if (local == "Boundaries") return Kind::Boundaries;
        return local == "Breaklines" ? Kind::Breaklines : Kind::Other;
      case Kind::Boundaries:
        return local == "Boundary" ? Kind::Boundary : Kind::Other;
      case Kind::Breaklines:
        return local == "Breakline" ? Kind::Breakline : Kind::Other;
      case Kind::Boundary:
      case Kind::Breakline:
        if (local == "PntList2D" && parent == Kind::Breakline) ++surface_->SkippedBreaklines;
        return local == "PntList3D" && polylineKept_ ? Kind::PntList : Kind::Other;
      case Kind::Definition:
        if (local == "Pnts") return Kind::Pnts;
        return local == "Faces" ? Kind::Faces : Kind::Other;
      case Kind::Pnts:
        return local == "P" ? Kind::P : Kind::Other;
      case Kind::Faces:
        return local == "F" ? Kind::F : Kind::Other;
      default:
        return Kind::Other;
    }
  }

  static void XMLCALL OnStart(void* p, const XML_Char* name, const XML_Char** atts) {
    Self(p).Start(name, atts);
  }
  static void XMLCALL OnEnd(void* p, const XML_Char*) { Self(p).End(); }
  static void XMLCALL OnText(void* p, const XML_Char* s, int len) {
    Reader& r = Self(p);
    if (r.collect_) r.text_.append(s, static_cast<size_t>(len));
  }

  void Start(const XML_Char* qname, const XML_Char** atts) {
    if (!failure_.Ok()) return;
    const std::string_view full(qname);
    const size_t sep = full.find(kNsSep);
    const std::string_view ns =
        sep == std::string_view::npos ? std::string_view() : full.substr(0, sep);
    const std::string_view local = sep == std::string_view::npos ? full : full.substr(sep + 1);
    Kind kind = Kind::Other;
    if (stack_.empty()) {
      const bool landXmlNs = ns.empty() || std::find(std::begin(kNamespaces), std::end(kNamespaces),
                                                     ns) != std::end(kNamespaces);
      if (local != "LandXML" || !landXmlNs) {
        Stop(Here(), "the root element is " + std::string(local) +
                         (ns.empty() ? "" : " of namespace " + std::string(ns)) +
                         ", not LandXML (1.0, 1.1, 1.2 or 2.0): not a LandXML document");
        return;
      }
      sawRoot_ = true;
      ns_ = std::string(ns);
      if (const char* v = Attribute(atts, "version")) doc_.Version = v;
      stack_.push_back(Kind::Root);
      return;
    }
    // The parser keeps every open element: a document of nothing but
    // nested start tags would take many times its size in memory.
    if (stack_.size() >= kMaxDepth) {
      Stop(Here(),
           "elements nested deeper than " + std::to_string(kMaxDepth) + ": not a LandXML document");
      return;
    }
    // Elements of other namespaces (a program's own extensions) are passed
    // over with their content.
    if (ns == ns_) kind = ChildOf(stack_.back(), local);
    switch (kind) {
      case Kind::UnitSystem:
        StartUnits(atts);
        break;
      case Kind::Surface:
        StartSurface(atts);
        break;
      case Kind::Boundary: {
        const char* type = Attribute(atts, "bndType");
        polylineKept_ = type == nullptr || std::string_view(type) == "outer";
        if (!polylineKept_) ++surface_->SkippedBoundaries;
        break;
      }
      case Kind::Breakline:
        polylineKept_ = true;
        break;
      case Kind::Definition: {
        const char* type = Attribute(atts, "surfType");
        std::string t = type != nullptr ? type : "";
        if (t.size() == 3 && std::toupper(static_cast<unsigned char>(t[0])) == 'T' &&
            std::toupper(static_cast<unsigned char>(t[1])) == 'I' &&
            std::toupper(static_cast<unsigned char>(t[2])) == 'N')
          t = "TIN";
        doc_.AllSurfaces.back().second = t;
        if (t != "TIN" || sawDefinition_) {
          kind = Kind::Other;
        } else {
          sawDefinition_ = true;
        }
        break;
      }
      case Kind::P: {
        if (facesStarted_) {
          Stop(Here(), "a point (P) after the faces of surface \"" + surface_->Name + "\"");
          return;
        }
        const char* id = Attribute(atts, "id");
        const std::optional<int64_t> value = id ? ParseInteger(Trim(id)) : std::nullopt;
        if (!value) {
          Stop(Here(), id ? "point id \"" + std::string(id) + "\" is not an integer"
                          : "a point (P) without an id");
          return;
        }
        ids_.push_back(*value);
        starts_.push_back(Here());
        Collect();
        break;
      }
      case Kind::F: {
        if (!facesStarted_) StartFaces();
        const char* hidden = Attribute(atts, "i");
        if (hidden != nullptr && Trim(hidden) == "1") {
          ++surface_->HiddenFaces;
          kind = Kind::Other;
          break;
        }
        elementStart_ = Here();
        Collect();
        break;
      }
      case Kind::CgPoint:
      case Kind::PntList:
        elementStart_ = Here();
        Collect();
        break;
      default:
        break;
    }
    stack_.push_back(kind);
  }

  void Collect() {
    collect_ = true;
    text_.clear();
  }

  void End() {
    if (!failure_.Ok()) return;
    const Kind kind = stack_.back();
    stack_.pop_back();
    collect_ = false;
    switch (kind) {
      case Kind::P:
        EndPoint();
        break;
      case Kind::F:
        EndFace();
        break;
      case Kind::CgPoint:
        EndCgPoint();
        break;
      case Kind::PntList:
        EndPolyline();
        break;
      case Kind::Surface:
        EndSurface();
        break;
      default:
        break;
    }
  }

  void StartUnits(const XML_Char** atts) {
    const char* unit = Attribute(atts, "linearUnit");
    if (unit == nullptr) return;
    for (const UnitEntry& e : kUnits)
      if (e.Name == unit) {
        if (coordinatesRead_ && e.Unit != doc_.Unit) {
          Stop(Here(), "the Units come after coordinates they would change");
          return;
        }
        doc_.Unit = e.Unit;
        doc_.UnitsDeclared = true;
        return;
      }
    Stop(Here(), "linear unit \"" + std::string(unit) +
                     "\" is not one this program reads (meter, millimeter, centimeter, "
                     "kilometer, foot, USSurveyFoot)");
  }

  void StartSurface(const XML_Char** atts) {
    const char* name = Attribute(atts, "name");
    const std::string n = name != nullptr ? name : "";
    doc_.AllSurfaces.emplace_back(n, "");
    const bool wanted =
        options_.Surfaces.empty() ||
        std::find(options_.Surfaces.begin(), options_.Surfaces.end(), n) != options_.Surfaces.end();
    surface_.reset();
    if (!wanted) return;
    surface_ = std::make_unique<LandXmlSurface>();
    surface_->Name = n;
    ids_.clear();
    starts_.clear();
    facesStarted_ = false;
    sawDefinition_ = false;
  }

  void EndSurface() {
    if (surface_ && sawDefinition_ && failure_.Ok()) {
      if (!facesStarted_) StartFaces();  // checks the ids of a surface without faces too
      if (failure_.Ok()) doc_.Surfaces.push_back(std::move(*surface_));
    }
    surface_.reset();
    ids_ = {};
    starts_ = {};
    ids_.shrink_to_fit();
    map_ = IdMap();
  }

  void StartFaces() {
    facesStarted_ = true;
    const int64_t duplicate = map_.Build(ids_);
    if (duplicate >= 0) {
      Stop(starts_[static_cast<size_t>(duplicate)],
           "point id " + std::to_string(ids_[static_cast<size_t>(duplicate)]) +
               " is used twice in surface \"" + surface_->Name + "\"");
      return;
    }
    starts_ = {};
  }

  // Reads the coordinate triples of text_, each handed to add as x = E,
  // y = N, z (in metres when asked); false after a stop, whose message
  // begins with what() (made only then: this runs for every point). With
  // pairs, a lone northing-easting pair (a survey point without elevation)
  // is counted there instead.
  template <typename What, typename Add>
  bool ReadTriples(int64_t at, What&& what, Add&& add, int64_t* pairs = nullptr) {
    std::string_view s = text_;
    double v[3];
    int n = 0;
    for (std::string_view token = NextToken(s); !token.empty(); token = NextToken(s)) {
      const std::optional<double> d = ParseDouble(token);
      const auto shown = [token] { return std::string(token.substr(0, 40)); };
      if (!d) {
        Stop(at, what() + ": \"" + shown() + "\" is not a number");
        return false;
      }
      const double metres = ToMetres(*d, doc_.Unit);
      if (!std::isfinite(metres)) {
        Stop(at, what() + ": coordinate \"" + shown() + "\" is not a finite number");
        return false;
      }
      if (std::abs(metres) > kMaxCoordinate) {
        Stop(at, what() + ": coordinate \"" + shown() + "\" lies beyond " +
                     std::to_string(static_cast<int64_t>(kMaxCoordinate)) + " m: no survey");
        return false;
      }
      v[n++] = options_.ToMetres ? metres : *d;
      if (n == 3) {
        add(v[1], v[0], v[2]);
        n = 0;
      }
    }
    coordinatesRead_ = true;
    if (n == 2 && pairs != nullptr) {
      ++*pairs;
      return true;
    }
    if (n != 0) {
      Stop(at, what() + ": the coordinates are not northing, easting, elevation triples");
      return false;
    }
    return true;
  }

  void EndPoint() {
    const int64_t at = starts_.back();
    int count = 0;
    const auto what = [this] { return "point " + std::to_string(ids_.back()); };
    const bool ok = ReadTriples(at, what, [&](double x, double y, double z) {
      if (++count == 1)
        surface_->Points.push_back(
            PointRec{x, y, z, static_cast<double>(surface_->Points.size() + 1)});
    });
    if (ok && count != 1) Stop(at, what() + ": a point is one northing, easting, elevation triple");
    if (ok && surface_->Points.size() >= size_t{INT32_MAX} - 1)
      Stop(at, "more points than a surface can hold");
  }

  void EndFace() {
    std::string_view s = text_;
    std::array<int32_t, 3> face{};
    int n = 0;
    for (std::string_view token = NextToken(s); !token.empty(); token = NextToken(s)) {
      const std::optional<int64_t> id = ParseInteger(token);
      if (!id) {
        Stop(elementStart_, "face: \"" + std::string(token.substr(0, 40)) + "\" is not a point id");
        return;
      }
      if (n == 3) {
        Stop(elementStart_, "face: a TIN face names three points");
        return;
      }
      const int32_t k = map_.Find(*id);
      if (k == 0) {
        Stop(elementStart_, "face names point id " + std::to_string(*id) + ", which surface \"" +
                                surface_->Name + "\" does not have");
        return;
      }
      face[static_cast<size_t>(n++)] = k;
    }
    if (n != 3) {
      Stop(elementStart_, "face: a TIN face names three points");
      return;
    }
    // A TIN of n points has at most 2n - 5 triangles; more are repeats or
    // overlaps, and would let a small document take any amount of memory.
    if (surface_->Faces.size() >= 2 * surface_->Points.size()) {
      Stop(elementStart_, "more faces than a TIN of " + std::to_string(surface_->Points.size()) +
                              " points can have: surface \"" + surface_->Name + "\"");
      return;
    }
    surface_->Faces.push_back(face);
  }

  void EndCgPoint() {
    int count = 0;
    ReadTriples(
        elementStart_, [] { return std::string("survey point"); },
        [&](double x, double y, double z) {
          if (++count == 1)
            doc_.CgPoints.push_back(
                PointRec{x, y, z, static_cast<double>(doc_.CgPoints.size() + 1)});
        },
        &doc_.CgPointsWithoutElevation);
    if (count > 1) Stop(elementStart_, "survey point: more than one northing, easting, elevation");
  }

  void EndPolyline() {
    const Kind owner = stack_.back();
    PointList list;
    list.Model = owner == Kind::Boundary ? 1100 : 1300;
    const auto what = [owner] {
      return std::string(owner == Kind::Boundary ? "boundary" : "breakline");
    };
    if (!ReadTriples(elementStart_, what,
                     [&](double x, double y, double z) { list.AddVertex(x, y, z); }))
      return;
    if (list.count() == 0) return;
    (owner == Kind::Boundary ? surface_->Boundaries : surface_->Breaklines)
        .push_back(std::move(list));
  }

  const LandXmlReadOptions& options_;
  fs::path file_;
  Locator locate_;
  XML_Parser parser_ = nullptr;
  Outcome failure_;
  LandXmlDocument doc_;
  std::string ns_;
  bool sawRoot_ = false;
  std::vector<Kind> stack_;
  bool collect_ = false;
  std::string text_;
  int64_t elementStart_ = 0;
  bool coordinatesRead_ = false;
  bool polylineKept_ = false;
  // The surface being read (null when it is not wanted).
  std::unique_ptr<LandXmlSurface> surface_;
  bool sawDefinition_ = false;
  bool facesStarted_ = false;
  std::vector<int64_t> ids_;     // of its points, in order
  std::vector<int64_t> starts_;  // byte of each point's element, until the ids are checked
  IdMap map_;
};

}  // namespace

std::string_view UnitName(LandXmlUnit unit) {
  for (const UnitEntry& e : kUnits)
    if (e.Unit == unit) return e.Name;
  return "meter";
}

double ToMetres(double x, LandXmlUnit unit) {
  switch (unit) {
    case LandXmlUnit::Metre:
      return x;
    case LandXmlUnit::Millimetre:
      return x / 1000.0;
    case LandXmlUnit::Centimetre:
      return x / 100.0;
    case LandXmlUnit::Kilometre:
      return x * 1000.0;
    case LandXmlUnit::InternationalFoot:
      return x * 0.3048;
    case LandXmlUnit::UsSurveyFoot:
      return x * 1200.0 / 3937.0;
  }
  return x;
}

Result<LandXmlDocument> ParseLandXml(std::string_view text, const LandXmlReadOptions& options,
                                     const fs::path& file) {
  Reader reader(options, file, [text](int64_t byte) { return LocateIn(text, byte); });
  reader.Feed(text.data(), text.size(), true);
  return reader.Finish();
}

Result<LandXmlDocument> ReadLandXml(const fs::path& file, const LandXmlReadOptions& options,
                                    Feedback& feedback) {
  Result<FileReader> in = FileReader::Open(file);
  if (!in) return in.Error();
  const uint64_t size = in->Size();
  // A fault's place is found by reading the file again up to it: nothing
  // of the document is kept for it meanwhile.
  Locator locate = [file](int64_t byte) {
    std::pair<int64_t, int64_t> at{1, 1};
    Result<FileReader> again = FileReader::Open(file);
    if (!again) return at;
    std::vector<uint8_t> buf(size_t{1} << 20);
    int64_t done = 0;
    while (done < byte) {
      const size_t n = again->Read(
          buf.data(), static_cast<size_t>(std::min<int64_t>(int64_t(buf.size()), byte - done)));
      if (n == 0) break;
      for (size_t i = 0; i < n; ++i) {
        if (buf[i] == '\n') {
          ++at.first;
          at.second = 1;
        } else {
          ++at.second;
        }
      }
      done += static_cast<int64_t>(n);
    }
    return at;
  };
  Reader reader(options, file, std::move(locate));
  constexpr size_t kChunk = size_t{1} << 20;
  uint64_t done = 0;
  feedback.Phase("READING_LANDXML");
  for (;;) {
    void* buf = reader.Buffer(kChunk);
    if (buf == nullptr) throw std::bad_alloc();
    const size_t n = in->Read(static_cast<uint8_t*>(buf), kChunk);
    done += n;
    if (n == 0 && done < size)
      return Outcome::Failure(ErrorCode::Unreadable, file.string() + ": read failed", file);
    if (!reader.ParseBuffer(n, n == 0)) return reader.Failure();
    if (n == 0) break;
    feedback.Progress(static_cast<int32_t>(size > 0 ? done * 100 / size : 100), true);
    if (feedback.Cancelled()) return Outcome::Cancel("cancelled: nothing imported");
  }
  return reader.Finish();
}

}  // namespace orvane
