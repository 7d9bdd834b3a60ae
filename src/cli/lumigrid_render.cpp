// lumigrid-render: the chart window's drawings, the printable page and the drawing-area sizes
// without a screen, through the same code the windows use.

#include <charconv>
#include <clocale>
#include <cstdint>
#include <ctime>
#include <exception>
#include <filesystem>
#include <iostream>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "about/program_version.h"
#include "about/version_record.h"
#include "base/errors.h"
#include "cli/page_commands.h"
#include "cli/terminal_progress.h"
#include "export/colour_profile.h"
#include "export/image_export.h"
#include "monitor/screen_size.h"
#include "page/drawing_area.h"
#include "page/paper_sheet.h"
#include "patterns/chart_painter.h"
#include "print/print_layout.h"
#include "settings/settings.h"
#include "surface/surface.h"

namespace {

using namespace lumigrid;

// The build's file version, kept in the executable for --version to read back.
[[gnu::used]] const about::VersionRecord kFileVersionRecord =
    about::make_version_record(LUMIGRID_FILE_VERSION_MAJOR, LUMIGRID_FILE_VERSION_MINOR,
                               LUMIGRID_FILE_VERSION_RELEASE, LUMIGRID_FILE_VERSION_BUILD);

constexpr const char* kUsage =
    "usage: lumigrid-render [--size WxH] [--h N] [--v N] [--hp N] [--vp N]\n"
    "                       [--space N] [--pitch N] [--pitch2 N] [--ppi N]\n"
    "                       [--settings FILE] [--log] [--mm-per-pixel X] --keys K[,K...] -o FILE\n"
    "       lumigrid-render --keys K[,K...] --paper PAPER [--dpi 300|600] [--colour device|srgb]\n"
    "                       [options of --keys but --size] (-o FILE | --print [QUEUE] [--wait])\n"
    "       lumigrid-render --page TEXT [--space N] [--pitch N] [--pitch2 N] [--ppi N] [-o FILE]\n"
    "                       [--print [QUEUE] [--wait]]\n"
    "       lumigrid-render --area TEXT [--dpi N]\n"
    "       lumigrid-render --help | --version\n";

constexpr const char* kHelp =
    "Draws lumigrid's test patterns and printable pages without a screen.\n"
    "\n"
    "  --keys K[,K...]  patterns to draw in turn, as the digit keys of the chart window\n"
    "                   (0 white, 1 and 6 colour charts, 2 and 7 stripes, 3 circles,\n"
    "                   4 square grids, 5 moire circles, 8 dot grid, 9 black), or the\n"
    "                   letters of the test screens, as the chart window's letter keys\n"
    "                   (a letter again steps to the screen's next variant): G gamma,\n"
    "                   B black level, W white saturation, L video range, U uniformity,\n"
    "                   I inversion, S sub-pixels, F frame and overscan; R the ruler screen\n"
    "                   (millimetre rulers, a 10 mm grid and a bank card's outline)\n"
    "  -o FILE          the picture to write: .png, .jpg, .gif, .tif or .tiff (TIFF),\n"
    "                   .pdf (one sheet the picture's size on paper), anything else BMP\n"
    "  --size WxH       client area of the simulated chart window (default 832x533)\n"
    "  --h, --v N       grid spacing H (1-700, default 40) and V (1-200, default 20)\n"
    "  --hp, --vp N     grid proportions in percent (0-100, default 30 and 20)\n"
    "  --space N        tile size of stripes and circles (10-3840, default 100)\n"
    "  --pitch N        ring and stripe pitch (2 to Space div 2, default 8)\n"
    "  --pitch2 N       second pitch of the moire circles (2-200, default 50)\n"
    "  --ppi N          screen resolution for text sizes (default 96)\n"
    "  --mm-per-pixel X the size of a pixel for the ruler screen, 0.05 to 2 (default: 96 dpi,\n"
    "                   25.4/96 mm)\n"
    "  --paper PAPER    with --keys: draw the patterns on the whole of a paper, portrait: A5 to\n"
    "                   A0, B5 to B0, Letter, Legal or Tabloid; a strip at its bottom edge says\n"
    "                   what was printed and carries 100 mm bars across and down\n"
    "  --dpi 300|600    with --paper: the sheet's resolution (default 600)\n"
    "  --colour ROUTE   with --paper: device (default) sends the chart's numbers unconverted,\n"
    "                   the queue's colour management off (cm-calibration); srgb tags the\n"
    "                   sheet with the sRGB profile (PDF and TIFF) for a colour-managed route\n"
    "  --settings FILE  settings file with the colour-chart sections; without it, the colour\n"
    "                   charts lumigrid finds: the user's lumigrid.INI (beside lumigrid when\n"
    "                   that folder is writable, else in $XDG_CONFIG_HOME/lumigrid or\n"
    "                   ~/.config/lumigrid), else the defaults in $XDG_CONFIG_DIRS/lumigrid\n"
    "                   (/etc/xdg/lumigrid/lumigrid.INI); that file is only read, never written\n"
    "  --log            print the colour charts' trace lines, and on standard error the\n"
    "                   settings file they were read from\n"
    "  --page TEXT      build the printable page for a drawing area, such as \"FHD 1920x1080\",\n"
    "                   \"A4 600 dpi 7016x4961\" or 800x600\n"
    "  --print [QUEUE]  print the page at its true size on a CUPS queue (default: the default\n"
    "                   queue) on the paper it names, 600 dpi, no scaling; prints the job id;\n"
    "                   with --paper, the sheet on that paper at --dpi, with print-color-mode\n"
    "                   color (monochrome for a black-and-white sheet)\n"
    "  --wait           with --print: follow the job until the queue has taken it through its\n"
    "                   filters (up to 10 minutes); a job aborted, cancelled or held there\n"
    "                   is an error, told with the server's reason\n"
    "  --area TEXT      print the drawing area's size in pixels as \"W H\" (--dpi, default 600)\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "The print server gets 5 s to take a connection and 30 s for each answer, of at most\n"
    "16 MiB; what it says is shown cleaned of control characters, in quotes.\n"
    "\n"
    "Exit status: 0 done, 1 a drawing, the file or the print job failed (the picture is still\n"
    "written when it can be), 2 bad arguments.\n";

struct UsageError {
  std::string reason;
};

std::optional<std::int32_t> parse_decimal(std::string_view text) {
  std::int32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.empty())
    return std::nullopt;
  return value;
}

// Each number option with the range the adjust window allows for it.
struct NumberOption {
  std::int32_t min;
  std::int32_t max;
};
const std::map<std::string_view, NumberOption> kNumberOptions = {
    {"--h", {1, 700}},      {"--v", {1, 200}},       {"--hp", {0, 100}},
    {"--vp", {0, 100}},     {"--space", {10, 3840}}, {"--pitch", {2, 3840 / 2}},
    {"--pitch2", {2, 200}}, {"--ppi", {1, 10000}},   {"--dpi", {1, 100000}},
};
const std::set<std::string_view> kTextOptions = {
    "--size", "--settings",     "--keys",  "-o",      "--page",
    "--area", "--mm-per-pixel", "--paper", "--colour"};

struct Arguments {
  std::map<std::string, std::int32_t> numbers;
  std::map<std::string, std::string> texts;
  bool log = false;
  std::optional<std::string> print;  // --print, with its queue or empty
  bool wait = false;                 // --wait
  bool help = false;
  bool version = false;

  bool has(const std::string& name) const { return numbers.count(name) || texts.count(name); }
  std::int32_t number(const std::string& name, std::int32_t fallback) const {
    const auto it = numbers.find(name);
    return it == numbers.end() ? fallback : it->second;
  }
};

Arguments parse_arguments(int argc, char** argv) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (name == "--log") {
      args.log = true;
      continue;
    }
    if (name == "--print") {
      // The queue is optional: a next argument that is not an option names it.
      const bool named = i + 1 < argc && argv[i + 1][0] != '-';
      args.print = named ? std::string(argv[++i]) : std::string();
      continue;
    }
    if (name == "--wait") {
      args.wait = true;
      continue;
    }
    if (name == "--help" || name == "-h") {
      args.help = true;
      continue;
    }
    if (name == "--version") {
      args.version = true;
      continue;
    }
    const bool is_number = kNumberOptions.count(name) != 0;
    if (!is_number && !kTextOptions.count(name)) throw UsageError{"unknown argument " + name};
    if (i + 1 >= argc) throw UsageError{name + " needs a value"};
    const std::string value = argv[++i];
    if (is_number) {
      const NumberOption range = kNumberOptions.at(name);
      const auto n = parse_decimal(value);
      if (!n || *n < range.min || *n > range.max)
        throw UsageError{name + " takes a whole number from " + std::to_string(range.min) + " to " +
                         std::to_string(range.max) + ", not \"" + value + "\""};
      args.numbers[name] = *n;
    } else {
      args.texts[name] = value;
    }
  }
  return args;
}

// Pitch goes up to Space div 2, as the adjust window lets it, so that any page built there can be
// rebuilt here; Space is the one given, else its start value.
void check_pitch_against_space(const Arguments& args) {
  if (!args.numbers.count("--pitch")) return;
  const std::int32_t most = args.number("--space", LivePatternValues{}.space) / 2;
  const std::int32_t pitch = args.number("--pitch", 0);
  if (pitch > most) {
    throw UsageError{"--pitch takes a whole number from 2 to " + std::to_string(most) +
                     " (Space div 2), not \"" + std::to_string(pitch) + "\""};
  }
}

void allow_only(const Arguments& args, const std::set<std::string_view>& allowed,
                const std::string& mode) {
  for (const auto& [name, value] : args.numbers)
    if (!allowed.count(name)) throw UsageError{name + " does not go with " + mode};
  for (const auto& [name, value] : args.texts)
    if (!allowed.count(name)) throw UsageError{name + " does not go with " + mode};
  if (args.log && !allowed.count("--log")) throw UsageError{"--log does not go with " + mode};
  if (args.print && !allowed.count("--print")) {
    throw UsageError{"--print does not go with " + mode};
  }
  if (args.wait && !args.print) throw UsageError{"--wait goes only with --print"};
}

struct Size {
  std::int32_t width;
  std::int32_t height;
};

Size parse_size(const std::string& text) {
  const auto x = text.find_first_of("xX");
  const auto bad = [&] {
    return UsageError{"--size takes WxH, each from 1 to 32767, not \"" + text + "\""};
  };
  if (x == std::string::npos) throw bad();
  const auto w = parse_decimal(std::string_view(text).substr(0, x));
  const auto h = parse_decimal(std::string_view(text).substr(x + 1));
  if (!w || !h || *w < 1 || *w > 32767 || *h < 1 || *h > 32767) throw bad();
  return {*w, *h};
}

// One item of --keys: a pattern number, the letter of a test screen, or R for the ruler screen.
struct KeyItem {
  std::int32_t pattern = 0;
  std::optional<DisplayTest> test;
  bool ruler = false;
};

// --mm-per-pixel: a pitch no screen lies outside of.
double parse_mm_per_pixel(const std::string& text) {
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.empty() ||
      !plausible_pitch(value)) {
    throw UsageError{"--mm-per-pixel takes a number from 0.05 to 2, not \"" + text + "\""};
  }
  return value;
}

std::vector<KeyItem> parse_keys(const std::string& text) {
  std::vector<KeyItem> keys;
  std::size_t start = 0;
  for (;;) {
    const auto comma = text.find(',', start);
    const std::string_view item = std::string_view(text).substr(
        start, comma == std::string::npos ? text.npos : comma - start);
    const std::optional<DisplayTest> test =
        item.size() == 1 ? display_test_for_letter(item[0]) : std::nullopt;
    const bool ruler = item.size() == 1 && (item[0] == kRulerKey || item[0] == 'r');
    const auto key = parse_decimal(item);
    if (!key && !test && !ruler) {
      throw UsageError{
          "--keys takes 32-bit integers and the letters G, B, W, L, U, I, S, F, R separated by "
          "commas, not \"" +
          text + "\""};
    }
    keys.push_back(ruler  ? KeyItem{0, std::nullopt, true}
                   : test ? KeyItem{0, test}
                          : KeyItem{*key, std::nullopt});
    if (comma == std::string::npos) return keys;
    start = comma + 1;
  }
}

// The locale's decimal separator, which the settings file's reals use.
char locale_decimal_separator() {
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, "")) {
    const char* point = std::localeconv()->decimal_point;
    if (point && point[0] != '\0') separator = point[0];
  }
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

std::filesystem::path own_executable(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) exe = std::filesystem::absolute(argv0, ec);
  return exe;
}

// The lumigrid whose settings the colour charts borrow: the one installed beside this program,
// else the build tree's (src/app beside src/cli), else a lumigrid that would sit beside it.
std::filesystem::path lumigrid_executable(const std::filesystem::path& render) {
  const std::filesystem::path folder = render.parent_path();
  std::filesystem::path beside = folder / "lumigrid";
  std::error_code ec;
  for (const std::filesystem::path& candidate : {beside, folder.parent_path() / "app" / "lumigrid"})
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  return beside;
}

// The settings file the colour charts read, for --log: the file, or its fallback when only that
// exists, or none; a missing file that may be written is made by the first chart.
std::string settings_read(const SettingsLocation& location) {
  std::error_code ec;
  const bool file = std::filesystem::exists(location.file, ec);
  const bool fallback =
      !location.fallback.empty() && std::filesystem::exists(location.fallback, ec);
  if (file && fallback)
    return location.file.string() + " (and " + location.fallback.string() + " for what it lacks)";
  if (file) return location.file.string();
  if (fallback) return location.fallback.string();
  if (!location.read_only) return location.file.string() + " (made with the default chart's keys)";
  return "none (" + location.file.string() + " does not exist): the default chart";
}

// The sheet a --paper drawing is made for.
struct SheetChoice {
  SheetPrint print;
  Size size;
};

std::optional<SheetChoice> sheet_choice(const Arguments& args) {
  if (!args.texts.count("--paper")) return std::nullopt;
  const std::string& name = args.texts.at("--paper");
  SheetChoice choice;
  const auto paper = sheet_paper(name);
  const auto wanted = sheet_wanted_paper(name);
  if (!paper || !wanted) {
    throw UsageError{"--paper takes A5 to A0, B5 to B0, Letter, Legal or Tabloid, not \"" + name +
                     "\""};
  }
  choice.print.paper = *wanted;
  choice.print.dpi = args.number("--dpi", kSheetDpiHigh);
  if (choice.print.dpi != kSheetDpiLow && choice.print.dpi != kSheetDpiHigh) {
    throw UsageError{"--dpi takes 300 or 600 with --paper, not \"" +
                     std::to_string(choice.print.dpi) + "\""};
  }
  const std::string route = args.texts.count("--colour") ? args.texts.at("--colour") : "device";
  if (route != "device" && route != "srgb") {
    throw UsageError{"--colour takes device or srgb, not \"" + route + "\""};
  }
  choice.print.srgb = route == "srgb";
  choice.print.pattern = args.texts.at("--keys");
  const AreaSize area = sheet_size(*paper, choice.print.dpi);
  choice.size = {area.width, area.height};
  return choice;
}

// "2026-12-11 14:20 UTC".
std::string utc_now() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
  return text;
}

// Whether any pixel of the sheet has colour, rather than only greys from black to white.
bool has_colour(const Surface& surface) {
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    const std::uint8_t* row = surface.rowData(y);
    for (std::int32_t x = 0; x < surface.width(); ++x, row += 4) {
      if (row[0] != row[1] || row[1] != row[2]) return true;
    }
  }
  return false;
}

// The sheet drawn: its strip painted, then saved and printed, the file and the job the same
// PDF's pixels.
int finish_sheet(Surface& surface, SheetChoice sheet, const Arguments& args, const char* argv0,
                 bool drawn) {
  sheet.print.colour = has_colour(surface);
  SheetStripText strip;
  strip.pattern = sheet.print.pattern;
  strip.paper = sheet.print.paper.name;
  strip.dpi = sheet.print.dpi;
  strip.route = sheet.print.srgb ? "sRGB" : "device values";
  strip.date = utc_now();
  strip.version = about::get_file_version(own_executable(argv0).string());
  draw_sheet_strip(surface, sheet.print.dpi, sheet_strip_line(strip));
  const std::span<const std::uint8_t> profile =
      sheet.print.srgb ? std::span<const std::uint8_t>(srgb_icc_profile())
                       : std::span<const std::uint8_t>();
  try {
    cli::ProgressBar bar(std::cerr);
    if (args.texts.count("-o")) {
      save_sheet_image(SurfaceRows(surface), args.texts.at("-o"), sheet.print.dpi, profile,
                       bar.phase("saving"));
    }
    if (args.print && !drawn) {
      std::cerr << "error: nothing is printed: a drawing failed\n";
    } else if (args.print) {
      cli::SheetPrintOptions options;
      options.queue = *args.print;
      options.sheet = sheet.print;
      options.wait_for_job = args.wait;
      cli::print_sheet(SurfaceRows(surface), options, std::cerr, std::cout,
                       bar.phase("printing sheet"));
    }
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

int run_keys(const Arguments& args, const char* argv0) {
  const std::optional<SheetChoice> sheet = sheet_choice(args);
  if (sheet) {
    allow_only(
        args,
        {"--h", "--v", "--hp", "--vp", "--space", "--pitch", "--pitch2", "--ppi", "--settings",
         "--log", "--keys", "-o", "--paper", "--dpi", "--colour", "--print", "--mm-per-pixel"},
        "--keys --paper");
    if (!args.texts.count("-o") && !args.print) {
      throw UsageError{"--keys --paper needs -o FILE or --print"};
    }
  } else {
    allow_only(args,
               {"--size", "--h", "--v", "--hp", "--vp", "--space", "--pitch", "--pitch2", "--ppi",
                "--settings", "--log", "--keys", "-o", "--mm-per-pixel"},
               "--keys");
    if (!args.texts.count("-o")) throw UsageError{"--keys needs -o FILE"};
  }
  const std::vector<KeyItem> keys = parse_keys(args.texts.at("--keys"));
  // The ruler screen at the pitch given, else at a sheet's own pitch, else at the pitch the
  // program assumes of a monitor that states no size.
  const bool pitch_given = args.texts.count("--mm-per-pixel") != 0;
  const double mm_per_pixel = pitch_given ? parse_mm_per_pixel(args.texts.at("--mm-per-pixel"))
                              : sheet     ? 25.4 / double(sheet->print.dpi)
                                          : ScreenScale{}.mm_per_pixel;
  const std::string ruler_caption = pitch_given ? "given on the command line"
                                    : sheet
                                        ? "printed at " + std::to_string(sheet->print.dpi) + " dpi"
                                        : describe_screen_scale(ScreenScale{});
  const Size size = sheet                        ? sheet->size
                    : args.texts.count("--size") ? parse_size(args.texts.at("--size"))
                                                 : Size{kChartClientWidth, kChartClientHeight};

  // H, V, HP and VP reach the chart state as the adjust window's update copies them.
  GridValues grid;
  grid.h = args.number("--h", grid.h);
  grid.hp = args.number("--hp", grid.hp);
  grid.v = args.number("--v", grid.v);
  grid.vp = args.number("--vp", grid.vp);
  ChartState state;
  set_grid_values(state, grid);
  LivePatternValues live;
  live.space = args.number("--space", live.space);
  live.pitch = args.number("--pitch", live.pitch);
  live.pitch2 = args.number("--pitch2", live.pitch2);
  // Without --settings, lumigrid's own settings, only read: a drawing made beside a running
  // lumigrid must not race the write it makes at its exit.
  SettingsLocation settings;
  if (args.texts.count("--settings")) {
    settings = SettingsLocation(args.texts.at("--settings"));
  } else {
    settings = locate_settings(lumigrid_executable(own_executable(argv0)));
    settings.read_only = true;
  }
  const bool log = args.log;
  if (log) std::cerr << "lumigrid-render: colour charts from " << settings_read(settings) << '\n';
  // A file too large to read leaves the colour charts at their defaults: never without a word.
  for (const std::string& warning : settings_file_warnings(settings)) {
    std::cerr << "lumigrid-render: " << warning << '\n';
    if (log) std::cout << warning << '\n';
  }

  std::optional<Surface> surface;
  try {
    surface.emplace(size.width, size.height, PixelFormat::Rgb32, kWhite);
  } catch (const std::bad_alloc&) {
    std::cerr << "error: not enough memory for a " << size.width << "x" << size.height
              << " surface\n";
    return 1;
  }
  surface->setPixelsPerInch(args.number("--ppi", 96));

  ChartPainter::Hooks hooks;
  hooks.live_values = [live] { return live; };
  hooks.log = [log](const std::string& line) {
    if (log) std::cout << line << '\n';
  };
  ChartPainter painter(*surface, state, settings, hooks, locale_decimal_separator());

  // As in the window, an error ends one drawing, not the session: the remaining keys are drawn
  // and the picture is written as it stands.
  int status = 0;
  for (const KeyItem& key : keys) {
    try {
      if (key.ruler) {
        painter.showRulerScreen(mm_per_pixel, ruler_caption);
      } else if (key.test) {
        painter.showDisplayTest(*key.test);
      } else {
        painter.image_Pattern(key.pattern);
      }
    } catch (const std::bad_alloc&) {
      std::cerr << "error: out of memory\n";
      status = 1;
    } catch (const std::exception& e) {
      std::cerr << "error: " << e.what() << '\n';
      status = 1;
    }
  }
  std::cout << std::flush;
  if (sheet) {
    // A drawing that failed is saved as it stands, as without --paper, but never printed.
    const int done = finish_sheet(*surface, *sheet, args, argv0, status == 0);
    return status != 0 ? status : done;
  }

  try {
    cli::ProgressBar bar(std::cerr);
    save_image(*surface, args.texts.at("-o"), bar.phase("saving"));
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << '\n';
    return 1;
  }
  return status;
}

int run_page(const Arguments& args) {
  allow_only(args, {"--page", "--space", "--pitch", "--pitch2", "--ppi", "-o", "--print"},
             "--page");
  cli::PageOptions options;
  options.text = args.texts.at("--page");
  options.space = args.number("--space", options.space);
  options.pitch = args.number("--pitch", options.pitch);
  options.pitch2 = args.number("--pitch2", options.pitch2);
  options.ppi = args.number("--ppi", options.ppi);
  if (args.texts.count("-o")) options.output = args.texts.at("-o");
  options.print_queue = args.print;
  options.wait_for_job = args.wait;
  return cli::run_page_command(options, std::cerr, std::cout);
}

int run_area(const Arguments& args) {
  allow_only(args, {"--area", "--dpi"}, "--area");
  return cli::run_area_command(args.texts.at("--area"), args.number("--dpi", 600), std::cout);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const Arguments args = parse_arguments(argc, argv);
    if (args.help) {
      std::cout << kUsage << '\n' << kHelp;
      return 0;
    }
    if (args.version) {
      std::cout << "lumigrid-render " << about::get_file_version(own_executable(argv[0]).string())
                << '\n';
      return 0;
    }
    check_pitch_against_space(args);
    const int modes = int(args.texts.count("--keys")) + int(args.texts.count("--page")) +
                      int(args.texts.count("--area"));
    if (modes != 1) throw UsageError{"give exactly one of --keys, --page and --area"};
    if (args.texts.count("--keys")) return run_keys(args, argv[0]);
    if (args.texts.count("--page")) return run_page(args);
    return run_area(args);
  } catch (const UsageError& e) {
    std::cerr << "lumigrid-render: " << e.reason << '\n' << kUsage;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << '\n';
    return 1;
  }
}
