#include <charconv>
#include <chrono>
#include <ctime>
#include <string>

#include "formats/LandXml.h"

namespace orvane {

namespace {

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

}  // namespace

LandXmlClock LandXmlClockNow() {
  const LocalNow now = ReadLocalNow();
  return {DateText(now.tm), TimeText(now.tm), StampText(now)};
}

std::string ExportTimeStamp() {
  return StampText(ReadLocalNow());
}

}  // namespace orvane
