#include "ui/about_box.h"

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "about/program_version.h"
#include "screen_reader_view.h"
#include "support/about_test_support.h"
#include "support/local_http_server.h"
#include "ui/chart_window.h"
#include "ui/update_checks.h"
#include "ui/window_set.h"
#include "window_parts.h"

using lumigrid::testing::LocalHttpServer;
using lumigrid::testing::read_file;
using lumigrid::testing::WorkingFolder;

namespace {

QString index_json(const QString& version, const QString& file_name = "about_box_test.zip") {
  return QString(R"({"file_name": "%1", "version": "%2", "website": "http://example.invalid/r"})")
      .arg(file_name, version);
}

QString this_version() {
  return QString("%1.%2.%3.%4")
      .arg(LUMIGRID_FILE_VERSION_MAJOR)
      .arg(LUMIGRID_FILE_VERSION_MINOR)
      .arg(LUMIGRID_FILE_VERSION_RELEASE)
      .arg(LUMIGRID_FILE_VERSION_BUILD);
}

// Waits for the next modal box (polling the event loop it runs in), hands it to `handle` and
// presses `button`.
void press_when_box_shows(QMessageBox::StandardButton button,
                          const std::function<void(QMessageBox*)>& handle) {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (box == nullptr) {
    QTimer::singleShot(10, [=] { press_when_box_shows(button, handle); });
    return;
  }
  if (handle) handle(box);
  box->button(button)->click();
}

void press_in_next_box(QMessageBox::StandardButton button,
                       std::function<void(QMessageBox*)> handle = {}) {
  QTimer::singleShot(0, [=] { press_when_box_shows(button, handle); });
}

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

// A window that notes the keys that come up in it.
class ReleaseRecorder : public QWidget {
 public:
  QList<int> released;

 protected:
  void keyReleaseEvent(QKeyEvent* event) override { released.append(event->key()); }
};

const std::string kIndexPath = "/NAS_file_Share/about_box_test/index.json";

}  // namespace

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    server_ = std::make_unique<LocalHttpServer>();
    folder_ = std::make_unique<WorkingFolder>("about_box");
    lumigrid::about::update_settings().host = server_->host();
    lumigrid::about::update_settings().documentation_url = "http://docs.invalid:8090/display/LG/";
    QDesktopServices::setUrlHandler("http", &catcher_, "open");
  }

  void cleanupTestCase() {
    QDesktopServices::unsetUrlHandler("http");
    folder_.reset();
    server_.reset();
  }

  void init() {
    server_->serve(kIndexPath, {404, "none"});
    about_module_state() = {};
    catcher_.urls.clear();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }

  void creation_step_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("separator");
    QTest::newRow("slash_locale") << QLocale(QLocale::English, QLocale::UnitedStates) << "/";
    QTest::newRow("dash_locale") << QLocale(QLocale::Swedish, QLocale::Sweden) << "-";
    QTest::newRow("dot_locale") << QLocale(QLocale::German, QLocale::Germany) << ".";
  }

  void creation_step() {
    QFETCH(QLocale, locale);
    QFETCH(QString, separator);
    QLocale::setDefault(locale);
    TAboutBox box;
    const QString path = QCoreApplication::applicationFilePath();
    QCOMPARE(box.windowTitle(), QString("About about_box_test"));
    QCOMPARE(part_of<QLabel>(&box, "Label1")->text(), QString("about_box_test"));
    QCOMPARE(part_of<QLabel>(&box, "Label1")->toolTip(), path);
    const QDate released = QFileInfo(path).lastModified().date();
    QCOMPARE(part_of<QLabel>(&box, "UpdateDate")->text(),
             "Ver: " + this_version() + ", Released on " +
                 released.toString("yyyy" + separator + "MM" + separator + "dd"));
    QCOMPARE(part_of<QLabel>(&box, "Image1")->size(), QSize(128, 128));
    QCOMPARE(part_of<QLabel>(&box, "Image1")->pixmap().size(), QSize(128, 128));
    QCOMPARE(part_of<QToolButton>(&box, "SpeedButton_web")->text(),
             QString("More Online information "));
    QTRY_COMPARE(part_of<QToolButton>(&box, "SpeedButton_download")->text(),
                 QString("Web site upgrade not available."));
    QCOMPARE(box.size(), QSize(666, 165));
  }

  // Each About command runs the first check while the window is made and the second when it
  // becomes active: the first answer goes to the first check.
  void about_command_checks_in_order() {
    server_->serve_in_turn(kIndexPath, {{200, index_json("9.9.9.9").toStdString()},
                                        {200, index_json(this_version()).toStdString()}});
    QString caption;
    QString tooltip;
    QString web_tooltip;
    const auto requests_before = server_->requests().size();
    // Runs only inside show_about_box below, so it may refer to this test's locals.
    std::function<void()> close_when_checked;
    int polls_left = 1000;  // a bound, so a missing activation fails instead of hanging
    close_when_checked = [&] {
      auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
      const bool checked = box != nullptr && part_of<QToolButton>(box, "SpeedButton_download")
                                                 ->toolTip()
                                                 .endsWith("Click to Download");
      if (box == nullptr || (!checked && --polls_left > 0)) {
        QTimer::singleShot(10, close_when_checked);
        return;
      }
      caption = part_of<QToolButton>(box, "SpeedButton_download")->text();
      tooltip = part_of<QToolButton>(box, "SpeedButton_download")->toolTip();
      web_tooltip = part_of<QToolButton>(box, "SpeedButton_web")->toolTip();
      box->close();
    };
    QTimer::singleShot(0, close_when_checked);
    show_about_box(nullptr);
    QCOMPARE(server_->requests().size() - requests_before, std::size_t{2});
    QCOMPARE(caption, QString("Different Version:  9.9.9.9\navailable online"));
    QCOMPARE(tooltip, "Version:  " + this_version() + "\navailable online\nClick to Download");
    QCOMPARE(web_tooltip, QString("http://example.invalid/r"));
    QCOMPARE(QString::fromStdString(read_file("index.json")), index_json("9.9.9.9"));
  }

  void web_button_opens_documentation_then_website() {
    TAboutBox box;
    part_of<QToolButton>(&box, "SpeedButton_web")->click();
    server_->serve(kIndexPath, {200, index_json("2.0.0.0").toStdString()});
    QVERIFY(box.get_onlin_info2());
    part_of<QToolButton>(&box, "SpeedButton_web")->click();
    QCOMPARE(catcher_.urls, (QList<QUrl>{QUrl("http://docs.invalid:8090/display/LG/"),
                                         QUrl("http://example.invalid/r")}));
  }

  void download_answers_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("cancel") << int(QMessageBox::Cancel);
  }

  void download_answers() {
    QFETCH(int, answer);
    server_->serve(kIndexPath, {200, index_json("2.0.0.0").toStdString()});
    TAboutBox box;
    QTRY_VERIFY(part_of<QToolButton>(&box, "SpeedButton_download")->text().startsWith("Different"));
    QString question;
    press_in_next_box(static_cast<QMessageBox::StandardButton>(answer),
                      [&](QMessageBox* shown) { question = shown->text(); });
    part_of<QAction>(&box, "Action_check_for_update")->trigger();
    QCOMPARE(question, QString("File: about_box_test.zip\nVersion: 2.0.0.0\ndownload online?"));
    for (const std::string& path : server_->requests()) QCOMPARE(path, kIndexPath);
  }

  // Names that would leave the program's folder, hide themselves or take the settings file's
  // place are refused before anything is fetched.
  void download_refuses_unsafe_name_data() {
    QTest::addColumn<QString>("file_name");
    QTest::newRow("parent_folder") << "../about_box_test.zip";
    QTest::newRow("hidden") << ".bashrc";
    QTest::newRow("settings_file") << "about_box_test.INI";
  }

  void download_refuses_unsafe_name() {
    QFETCH(QString, file_name);
    server_->serve(kIndexPath, {200, index_json("2.0.0.0", file_name).toStdString()});
    TAboutBox box;
    QTRY_VERIFY(part_of<QToolButton>(&box, "SpeedButton_download")->text().startsWith("Different"));
    QString message;
    press_in_next_box(QMessageBox::Yes, [&](QMessageBox*) {
      press_in_next_box(QMessageBox::Ok, [&](QMessageBox* shown) { message = shown->text(); });
    });
    part_of<QAction>(&box, "Action_check_for_update")->trigger();
    QCOMPARE(message, "Error while downloading " + file_name);
    for (const std::string& path : server_->requests()) QCOMPARE(path, kIndexPath);
  }

  // A release that takes its time shows its progress; Cancel ends it without a message and
  // leaves nothing beside the program.
  void download_shows_progress_and_cancels() {
    server_->serve(kIndexPath, {200, index_json("2.0.0.0").toStdString()});
    lumigrid::testing::CannedResponse slow{200, std::string(100000, 'z')};
    slow.trickle_ms = 20;
    server_->serve("/NAS_file_Share/about_box_test/about_box_test.zip", slow);
    TAboutBox box;
    box.show();
    QTRY_VERIFY(part_of<QToolButton>(&box, "SpeedButton_download")
                    ->toolTip()
                    .endsWith("Click to Download"));
    bool progress_seen = false;
    bool message_shown = false;
    std::function<void()> cancel_when_shown;
    cancel_when_shown = [&] {
      if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr) {
        message_shown = true;
        return;
      }
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* progress = qobject_cast<QProgressDialog*>(widget);
        if (progress != nullptr && progress->isVisible()) {
          progress_seen = true;
          progress->cancel();
          return;
        }
      }
      QTimer::singleShot(10, cancel_when_shown);
    };
    press_in_next_box(QMessageBox::Yes,
                      [&](QMessageBox*) { QTimer::singleShot(10, cancel_when_shown); });
    part_of<QAction>(&box, "Action_check_for_update")->trigger();
    QVERIFY(progress_seen);
    QVERIFY(!message_shown);
    const QDir program_folder(QCoreApplication::applicationDirPath());
    QVERIFY(!program_folder.exists("about_box_test.zip"));
    QVERIFY(program_folder.entryList({".about_box_test.zip.part*"}, QDir::Hidden | QDir::Files)
                .isEmpty());
  }

  // However the server holds the check, the chart window is shown while it runs, and the
  // windows go at once when the program ends.
  void chart_window_shows_while_the_server_holds_the_check_data() {
    QTest::addColumn<bool>("trickle");
    QTest::newRow("never_answering") << false;
    QTest::newRow("trickling") << true;
  }

  void chart_window_shows_while_the_server_holds_the_check() {
    QFETCH(bool, trickle);
    lumigrid::testing::CannedResponse held{200, index_json("2.0.0.0").toStdString()};
    if (trickle) {
      held.trickle_ms = 500;  // two bytes a second
    } else {
      held.never_answer = true;
    }
    server_->serve(kIndexPath, held);
    const auto settings = std::filesystem::current_path() / "held.INI";
    {
      // The operator sees the chart within two seconds, far inside the check's own deadline:
      // the start-up does not wait for the check at all.
      const QDeadlineTimer shown_by(2000);
      lumigrid::WindowSet windows(settings);
      windows.chart()->show();
      QVERIFY(QTest::qWaitForWindowExposed(windows.chart(), int(shown_by.remainingTime())));
      QVERIFY(!shown_by.hasExpired());
      QVERIFY(windows.updateCheck() != nullptr);
      // Still running: no outcome has arrived yet.
      QCOMPARE(windows.updateCheck()->downloadCaption(), std::string("Check for Update"));
    }
    server_->serve(kIndexPath, {404, "none"});
  }

  // The start-up's check makes no window, yet its outcome reaches the state the About windows
  // share, as the About window's own first check would leave it.
  void start_up_check_has_no_window() {
    server_->serve(kIndexPath, {200, index_json("2.0.0.0").toStdString()});
    const auto settings = std::filesystem::current_path() / "start_up.INI";
    lumigrid::WindowSet windows(settings);
    QVERIFY(windows.updateCheck() != nullptr);
    QTRY_COMPARE(windows.updateCheck()->downloadCaption(),
                 std::string("Different Version:  2.0.0.0\r\navailable online"));
    QCOMPARE(windows.updateCheck()->downloadTooltip(), std::string("2.0.0.0"));
    QCOMPARE(about_module_state().program_name, std::string("about_box_test"));
    QCOMPARE(about_module_state().online_version, std::string("2.0.0.0"));
    QCOMPARE(about_module_state().release_file_name, std::string("about_box_test.zip"));
    for (QWidget* window : QApplication::topLevelWidgets()) {
      QVERIFY2(qobject_cast<TAboutBox*>(window) == nullptr, qPrintable(window->windowTitle()));
    }
  }

  // The About window opens and answers while the server holds its checks, and closes at once.
  void about_window_answers_while_checking() {
    lumigrid::testing::CannedResponse held;
    held.never_answer = true;
    server_->serve(kIndexPath, held);
    QString caption;
    int ticks = 0;
    std::function<void()> close_after_ticks;
    close_after_ticks = [&] {
      auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
      if (box == nullptr || ++ticks < 5) {
        QTimer::singleShot(10, close_after_ticks);
        return;
      }
      caption = part_of<QToolButton>(box, "SpeedButton_download")->text();
      box->close();
    };
    QTimer::singleShot(0, close_after_ticks);
    show_about_box(nullptr);
    QCOMPARE(ticks, 5);
    QCOMPARE(caption, QString("Check for Update"));
    server_->serve(kIndexPath, {404, "none"});
  }

  // The keyboard alone works the window: Tab goes from the web button to the download button
  // and back, Space or Return presses the button with the focus.
  void keyboard_presses_the_buttons_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("return") << int(Qt::Key_Return);
    QTest::newRow("keypad_enter") << int(Qt::Key_Enter);
  }

  void keyboard_presses_the_buttons() {
    QFETCH(int, key);
    TAboutBox box;
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    auto* web = part_of<QToolButton>(&box, "SpeedButton_web");
    auto* download = part_of<QToolButton>(&box, "SpeedButton_download");
    const std::vector<QWidget*> visits = screen_reader_view::tab_visits(&box, web, 4);
    QCOMPARE(screen_reader_view::names_of(visits), screen_reader_view::names_of({web, download}));
    web->setFocus(Qt::TabFocusReason);
    QTest::keyClick(web, Qt::Key(key));
    QCOMPARE(catcher_.urls, (QList<QUrl>{QUrl("http://docs.invalid:8090/display/LG/")}));
  }

  // Escape and Ctrl+W close the window, as the close box does; the key's release, which comes
  // to the window behind, is taken (there Escape would leave full screen).
  void keyboard_closes_the_window_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::newRow("escape") << int(Qt::Key_Escape) << int(Qt::NoModifier);
    QTest::newRow("ctrl_w") << int(Qt::Key_W) << int(Qt::ControlModifier);
  }

  void keyboard_closes_the_window() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    ReleaseRecorder behind;
    behind.show();
    QVERIFY(QTest::qWaitForWindowExposed(&behind));
    TAboutBox box;
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QTest::keyPress(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCoreApplication::processEvents();
    QVERIFY(!box.isVisible());
    QTest::keyRelease(&behind, Qt::Key(key));
    QTest::keyClick(&behind, Qt::Key_A);  // a key of its own still comes up there
    QCOMPARE(behind.released, QList<int>{Qt::Key_A});
  }

  // A screen reader announces the window as a dialog and can tell what it is for.
  void screen_reader_sees_a_dialog_with_a_description() {
    TAboutBox box;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&box);
    QVERIFY(face != nullptr);
    QCOMPARE(face->role(), QAccessible::Dialog);
    QVERIFY(!face->text(QAccessible::Description).trimmed().isEmpty());
  }

  // A screen reader announces each part of the window by what it shows; the icon, which shows
  // no text, by a name of its own.
  void screen_reader_names_every_part_data() {
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("name");  // none: the text it shows
    QTest::newRow("icon") << "Image1"
                          << "Program icon";
    QTest::newRow("program_name") << "Label1" << QString();
    QTest::newRow("version") << "UpdateDate" << QString();
    QTest::newRow("web_button") << "SpeedButton_web" << QString();
    QTest::newRow("download_button") << "SpeedButton_download" << QString();
    QTest::newRow("copyright") << "Copyright" << QString();
  }

  void screen_reader_names_every_part() {
    QFETCH(QString, part);
    QFETCH(QString, name);
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTRY_COMPARE(part_of<QToolButton>(&box, "SpeedButton_download")->text(),
                 QString("Web site upgrade not available."));
    const std::map<QString, QWidget*> parts{
        {"Image1", part_of<QLabel>(&box, "Image1")},
        {"Label1", part_of<QLabel>(&box, "Label1")},
        {"UpdateDate", part_of<QLabel>(&box, "UpdateDate")},
        {"SpeedButton_web", part_of<QToolButton>(&box, "SpeedButton_web")},
        {"SpeedButton_download", part_of<QToolButton>(&box, "SpeedButton_download")},
        {"Copyright", part_of<QLabel>(&box, "Copyright")}};
    QWidget* widget = parts.at(part);
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(widget)) shown = label->text();
    if (auto* button = qobject_cast<QToolButton*>(widget)) shown = button->text();
    const QString expected = name.isNull() ? shown : name;
    QVERIFY(!expected.trimmed().isEmpty());
    QCOMPARE(screen_reader_view::accessible_text(widget, QAccessible::Name).trimmed(),
             expected.trimmed());
    const QStringList unnamed = screen_reader_view::unnamed_controls(&box);
    QVERIFY2(unnamed.isEmpty(), qPrintable("unnamed: " + unnamed.join(", ")));
  }

 private:
  std::unique_ptr<LocalHttpServer> server_;
  std::unique_ptr<WorkingFolder> folder_;
  UrlCatcher catcher_;
};

QTEST_MAIN(AboutBoxTest)
#include "about_box_test.moc"
