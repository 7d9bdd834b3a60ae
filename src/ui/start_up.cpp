#include "ui/start_up.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "about/version_record.h"
#include "ui/application.h"

namespace lumigrid {
namespace {

// The command line, read before any window exists: --help and --version must work without a
// display, and a mistyped option must not start the program. Returns the exit status when the
// program is to end here.
std::optional<int> handle_command_line(int argc, char** argv) {
  int core_argc = argc;
  const QCoreApplication core(core_argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Test patterns for checking displays and printers: grids, stripes, circles, moire and "
      "colour charts over the window or the whole screen, and printable test-chart pages.\n"
      "Keys 0-9 pick a pattern, F11 toggles full screen, the right mouse button opens the "
      "menu. See lumigrid(1)."));
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
  return std::nullopt;
}

}  // namespace

int lumigrid_main(int argc, char** argv) {
  if (const std::optional<int> status = handle_command_line(argc, argv)) return *status;
  try {
    LumigridApplication app(argc, argv);
    return run_lumigrid(app);
  } catch (const std::exception& error) {
    // Start-up failed outside any window's creation step.
    std::fprintf(stderr, "lumigrid: %s\n", error.what());
    return 1;
  }
}

}  // namespace lumigrid
