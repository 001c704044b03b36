#pragma once
// The palettes shipped with the program: class files ("*.rgb",
// docs/colouring.md) in the program's palette folder. One of them, named
// like text 67 of the language table, holds slope classes in degrees; the
// others are elevation ramps whose lines give the colours of generated
// bands (ColourClasses.h).

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct Palette {
  std::string Name;            // file name cut at its first ".", trimmed, upper-cased
  std::filesystem::path File;  // the file itself (its name keeps its own case)
  bool Slope = false;          // the slope palette: Name equals the slope name
};

// Where the palettes are looked for, in order: <program folder>/data/palettes
// (the build tree), then <program folder>/../share/orvane/palettes (an
// installed program).
std::vector<std::filesystem::path> PaletteSearchPath();
// The first folder of PaletteSearchPath that exists; "" when none does.
std::filesystem::path PaletteFolder();

// True when name, trimmed of blanks and upper-cased, equals text 67 of texts
// (the text table) so treated (an empty text 67 names no palette).
bool IsSlopePaletteName(std::string_view name, std::span<const std::string> texts);

// The palettes of folder: its "*.rgb" files sorted by file name as bytes, so
// every machine lists them in one order. A name that an earlier file already
// gave (files differing only in letter case, or after the first ".") is
// left out: the name is what the user picks a palette by. texts (the text
// table) name the slope palette.
std::vector<Palette> ListPalettes(const std::filesystem::path& folder,
                                  std::span<const std::string> texts);

// The palette whose name equals name trimmed and upper-cased; nullopt when
// there is none.
std::optional<Palette> FindPalette(std::span<const Palette> palettes, std::string_view name);

}  // namespace orvane
