#include "ui/start_up.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "about/version_record.h"
#include "ui/application.h"
#include "ui/paint_threads.h"

namespace lumigrid {
namespace {

// The command line, read before any window exists: --help and --version must work without a
// display, and a mistyped option must not start the program. Returns the exit status when the
// program is to end here.
constexpr qint64 kMaxStyleSheetBytes = qint64(1) << 20;

std::optional<int> handle_command_line(int argc, char** argv) {
  int core_argc = argc;
  const QCoreApplication core(core_argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Test patterns for checking displays and printers: grids, stripes, circles, moire and "
      "colour charts over the window or the whole screen, and printable test-chart pages.\n"
      "Keys 0-9 pick a pattern, G B W L U I S F the display test screens (again: the next "
      "variant), F11 toggles full screen, the right mouse button opens the menu. See "
      "lumigrid(1)."));
  // Qt's own options, such as -platform offscreen, stay allowed; the application object takes
  // them later.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help_option({QStringLiteral("h"), QStringLiteral("help")},
                                       QStringLiteral("Show this help and exit."));
  const QCommandLineOption version_option(QStringLiteral("version"),
                                          QStringLiteral("Show the version and exit."));
  parser.addOption(help_option);
  parser.addOption(version_option);
  for (const char* name :
       {"platform", "platformpluginpath", "platformtheme", "plugin", "display", "geometry",
        "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "style", "stylesheet"}) {
    QCommandLineOption qt_option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    qt_option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(qt_option);
  }
  for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
    QCommandLineOption qt_flag(QString::fromLatin1(name));
    qt_flag.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(qt_flag);
  }

  const bool parsed = parser.parse(QCoreApplication::arguments());
  if (parsed && parser.isSet(help_option)) {
    std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (parsed && parser.isSet(version_option)) {
    const std::string path =
        QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    std::printf("lumigrid %s\n", about::get_file_version(path).c_str());
    return 0;
  }
  if (!parsed || !parser.positionalArguments().isEmpty()) {
    const QString reason = parsed ? QStringLiteral("unexpected argument: ") +
                                        parser.positionalArguments().join(QLatin1Char(' '))
                                  : parser.errorText();
    std::fprintf(stderr, "lumigrid: %s\n%s", reason.toLocal8Bit().constData(),
                 parser.helpText().toLocal8Bit().constData());
    return 2;
  }
  // Qt reads a style sheet whole: /dev/zero or a FIFO would grow the program without end.
  if (parser.isSet(QStringLiteral("stylesheet"))) {
    const QString sheet = parser.value(QStringLiteral("stylesheet"));
    const QFileInfo info(sheet);
    if (!info.isFile() || info.size() > kMaxStyleSheetBytes) {
      std::fprintf(stderr,
                   "lumigrid: -stylesheet takes a style sheet file of at most %lld bytes: %s\n",
                   static_cast<long long>(kMaxStyleSheetBytes), sheet.toLocal8Bit().constData());
      return 2;
    }
  }
  return std::nullopt;
}

// Where the windows were to go, for the one line said when they cannot: the display the
// command line or $DISPLAY names, or the platform asked for.
std::string display_wanted(int argc, char** argv) {
  std::string display, platform;
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string option = argv[i];
    if (option == "-display" || option == "--display") display = argv[i + 1];
    if (option == "-platform" || option == "--platform") platform = argv[i + 1];
  }
  if (platform.empty()) {
    if (const char* variable = std::getenv("QT_QPA_PLATFORM")) platform = variable;
  }
  if (!platform.empty() && platform.rfind("xcb", 0) != 0)
    return "the platform \"" + platform + "\"";
  if (display.empty()) {
    if (const char* variable = std::getenv("DISPLAY")) display = variable;
  }
  return display.empty() ? std::string("a display (DISPLAY is not set)")
                         : "the display \"" + display + "\"";
}

std::string display_for_message;

// Qt ends a program it cannot give a display with an abort and a core; lumigrid says which
// display it could not open, in one line, and ends with status 1.
void no_display_handler(QtMsgType type, const QMessageLogContext&, const QString&) {
  if (type != QtFatalMsg) return;
  std::fprintf(stderr, "lumigrid: cannot open %s\n", display_for_message.c_str());
  std::fflush(stderr);
  std::_Exit(1);
}

// Toolkit threads end the program when an allocation fails in them; lumigrid then says why, in
// one line, and ends with status 1 instead of an abort and a core.
std::terminate_handler previous_terminate = nullptr;

void memory_terminate_handler() {
  if (const std::exception_ptr pending = std::current_exception()) {
    try {
      std::rethrow_exception(pending);
    } catch (const std::bad_alloc&) {
      std::fputs("lumigrid: not enough memory to go on\n", stderr);
      std::fflush(stderr);
      std::_Exit(1);
    } catch (...) {  // anything else keeps the standard report
    }
  }
  if (previous_terminate != nullptr) previous_terminate();
  std::abort();
}

}  // namespace

int lumigrid_main(int argc, char** argv) {
  if (const std::optional<int> status = handle_command_line(argc, argv)) return *status;
  previous_terminate = std::set_terminate(memory_terminate_handler);
  try {
    display_for_message = display_wanted(argc, argv);
    const QtMessageHandler previous = qInstallMessageHandler(no_display_handler);
    std::optional<LumigridApplication> created;
    created.emplace(argc, argv);
    qInstallMessageHandler(previous);
    LumigridApplication& app = *created;
    const PaintThreads threads = start_paint_threads();
    if (threads.started == 0) {
      // Any window's paint would wait for ever; a thread that never ran would hold Qt's
      // clean-up too, so the program ends here without it.
      std::fputs(
          "lumigrid: cannot start the threads that draw the windows: not enough memory, or "
          "too many threads\n",
          stderr);
      std::fflush(stderr);
      std::_Exit(1);
    }
    const int status = run_lumigrid(app);
    if (threads.started < threads.asked) {
      // The windows are closed and the settings written; Qt's clean-up would wait for ever
      // for the thread that never ran.
      std::fflush(stdout);
      std::fflush(stderr);
      std::_Exit(status);
    }
    return status;
  } catch (const std::bad_alloc&) {
    // As in the toolkit's threads: one line, not the library's name for the failure.
    std::fputs("lumigrid: not enough memory to go on\n", stderr);
    return 1;
  } catch (const std::exception& error) {
    // Start-up failed outside any window's creation step.
    std::fprintf(stderr, "lumigrid: %s\n", error.what());
    return 1;
  }
}

}  // namespace lumigrid
