// The adjust window under the offscreen platform: its controls kept in step, the debounced
// redraw, key preview and the stored positions.
#include "ui/adjust_window.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>

#include "screen_reader_view.h"
#include "ui/application.h"
#include "ui/chart_window.h"
#include "ui/page_viewer.h"
#include "ui/window_set.h"
#include "window_parts.h"
#include "window_set_fixture.h"

class AdjustWindowTest : public QObject, protected WindowSetFixture {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void synchronisation_data();
  void synchronisation();
  void thumb_drag_data();
  void thumb_drag();
  void debounce_is_not_restarted_by_later_changes();
  void failing_redraw_is_reported_once();
  void keys_typed_in_an_edit_box_reach_the_chart();
  void creation_loads_stored_positions_data();
  void creation_loads_stored_positions();
  void settings_round_trip();
  void controls_follow_their_anchors();
  void thousands_separator_is_shown_and_read();
  void drawing_area_list_starts_with_its_prompt();
  void typing_in_the_drawing_area_list_builds_what_is_typed();
  void percent_labels_lie_under_the_scroll_bars();
  void screen_reader_names_every_control_data();
  void screen_reader_names_every_control();
  void labels_are_tied_to_their_fields_data();
  void labels_are_tied_to_their_fields();
  void tab_follows_the_layout_data();
  void tab_follows_the_layout();

 private:
  void createWindows();
  void destroyWindows();
  // Applies operations such as "step UpDown_H +1", "click ScrollBar_H add", "type Edit_H 150".
  void apply(const QString& operation);
  // Checks expectations such as "UpDown_H=51", "ScrollBar_Pitch.max=50", "current_pattern=3".
  void expect(const QString& expectation);
  QRect arrowRect(QScrollBar* bar, bool add) const;
};

void AdjustWindowTest::init() {
  openScratch();
  createWindows();
}

void AdjustWindowTest::cleanup() {
  destroyWindows();
  QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
  closeScratch();
}

void AdjustWindowTest::createWindows() {
  createWindowSet();
  adjust_->FormCreate();
  adjust_->show();
  QVERIFY(QTest::qWaitForWindowExposed(adjust_));
}

void AdjustWindowTest::destroyWindows() {
  windows_.reset();
}

QRect AdjustWindowTest::arrowRect(QScrollBar* bar, bool add) const {
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.subControls = QStyle::SC_All;
  option.orientation = bar->orientation();
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = bar->sliderPosition();
  option.sliderValue = bar->value();
  option.singleStep = bar->singleStep();
  option.pageStep = bar->pageStep();
  if (bar->orientation() == Qt::Horizontal) option.state |= QStyle::State_Horizontal;
  return bar->style()->subControlRect(
      QStyle::CC_ScrollBar, &option,
      add ? QStyle::SC_ScrollBarAddLine : QStyle::SC_ScrollBarSubLine, bar);
}

void AdjustWindowTest::apply(const QString& operation) {
  const QStringList words = operation.split(' ');
  QCOMPARE(words.size(), 3);
  QWidget* control = adjust_->findChild<QWidget*>(words[1]);
  QVERIFY2(control != nullptr, qPrintable(words[1]));
  if (words[0] == "step") {
    auto* updown = qobject_cast<UpDownControl*>(control);
    QVERIFY(updown != nullptr);
    const int steps = words[2].toInt();
    for (int i = 0; i < std::abs(steps); ++i) updown->step(steps > 0 ? +1 : -1);
  } else if (words[0] == "click") {
    auto* bar = qobject_cast<ScrollBarControl*>(control);
    QVERIFY(bar != nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, arrowRect(bar, words[2] == "add").center());
  } else if (words[0] == "type") {
    auto* edit = qobject_cast<QLineEdit*>(control);
    QVERIFY(edit != nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, words[2]);
  } else {
    QFAIL(qPrintable("unknown operation " + operation));
  }
}

void AdjustWindowTest::expect(const QString& expectation) {
  const QStringList sides = expectation.split('=');
  QCOMPARE(sides.size(), 2);
  const int expected = sides[1].toInt();
  const QStringList target = sides[0].split('.');
  int actual = 0;
  if (target[0] == "current_pattern") {
    actual = chart_->state().current_pattern;
  } else if (auto* updown = adjust_->findChild<UpDownControl*>(target[0])) {
    actual = target.size() > 1 ? updown->maximum() : updown->position();
  } else if (auto* bar = adjust_->findChild<ScrollBarControl*>(target[0])) {
    actual = target.size() > 1 ? bar->maximum() : bar->position();
  } else {
    QFAIL(qPrintable("unknown control " + target[0]));
  }
  QVERIFY2(actual == expected,
           qPrintable(QString("%1: got %2, expected %3").arg(sides[0]).arg(actual).arg(expected)));
}

void AdjustWindowTest::synchronisation_data() {
  QTest::addColumn<QStringList>("operations");
  QTest::addColumn<QStringList>("expected");
  QTest::newRow("up-down H once: bar shows the previous value")
      << QStringList{"step UpDown_H +1"} << QStringList{"UpDown_H=51", "ScrollBar_H=50"};
  QTest::newRow("up-down H twice") << QStringList{"step UpDown_H +1", "step UpDown_H +1"}
                                   << QStringList{"UpDown_H=52", "ScrollBar_H=51"};
  QTest::newRow("up-down HP down once")
      << QStringList{"step UpDown_HP -1"} << QStringList{"UpDown_HP=49", "ScrollBar_HP=50"};
  QTest::newRow("bar H arrow once: spin box moves, bar stays")
      << QStringList{"click ScrollBar_H add"} << QStringList{"UpDown_H=51", "ScrollBar_H=50"};
  QTest::newRow("bar H arrow twice: bar catches up")
      << QStringList{"click ScrollBar_H add", "click ScrollBar_H add"}
      << QStringList{"UpDown_H=51", "ScrollBar_H=51"};
  QTest::newRow("bar H arrow three times")
      << QStringList{"click ScrollBar_H add", "click ScrollBar_H add", "click ScrollBar_H add"}
      << QStringList{"UpDown_H=52", "ScrollBar_H=51"};
  QTest::newRow("bar VP arrow up once")
      << QStringList{"click ScrollBar_VP sub"} << QStringList{"UpDown_VP=49", "ScrollBar_VP=50"};
  QTest::newRow("up-down V past the bar's maximum")
      << QStringList{"step UpDown_V +72"} << QStringList{"UpDown_V=102", "ScrollBar_V=100"};
  QTest::newRow("up-down space below the bar's minimum")
      << QStringList{"step UpDown_space -85"}
      << QStringList{"UpDown_space=15", "ScrollBar_Space=20"};
  QTest::newRow("typed value is read without moving the bar")
      << QStringList{"type Edit_H 150"} << QStringList{"UpDown_H=150", "ScrollBar_H=50"};
  QTest::newRow("step after typing copies the typed value into the bar")
      << QStringList{"type Edit_H 150", "step UpDown_H +1"}
      << QStringList{"UpDown_H=151", "ScrollBar_H=150"};
  QTest::newRow("typed value out of range keeps the last valid one")
      << QStringList{"type Edit_H 900"} << QStringList{"UpDown_H=50", "ScrollBar_H=50"};
  QTest::newRow("typed text that is no number keeps the last valid one")
      << QStringList{"type Edit_HP 4x"} << QStringList{"UpDown_HP=50"};
  QTest::newRow("space step limits pitch to the previous space div 2")
      << QStringList{"step UpDown_space -1", "step UpDown_space -1"}
      << QStringList{"UpDown_space=98", "ScrollBar_Pitch.max=49", "UpDown_Pitch.max=49"};
  QTest::newRow("space bar arrow limits pitch to the previous space div 2")
      << QStringList{"click ScrollBar_Space sub", "click ScrollBar_Space sub"}
      << QStringList{"UpDown_space=98", "ScrollBar_Space=98", "ScrollBar_Pitch.max=49",
                     "UpDown_Pitch.max=49"};
  QTest::newRow("lowered maximum pulls pitch down")
      << QStringList{"step UpDown_Pitch +42", "step UpDown_space -40"}
      << QStringList{"UpDown_space=60", "ScrollBar_Pitch.max=30", "ScrollBar_Pitch=30",
                     "UpDown_Pitch=30"};
  QTest::newRow("pitch bar arrow: both meet at the end of the click")
      << QStringList{"click ScrollBar_Pitch add"}
      << QStringList{"UpDown_Pitch=9", "ScrollBar_Pitch=9"};
  QTest::newRow("pitch2 bar arrow down") << QStringList{"click ScrollBar_Pitch2 sub"}
                                         << QStringList{"UpDown_Pitch2=49", "ScrollBar_Pitch2=49"};
}

void AdjustWindowTest::synchronisation() {
  QFETCH(QStringList, operations);
  QFETCH(QStringList, expected);
  for (const QString& operation : operations) apply(operation);
  for (const QString& expectation : expected) expect(expectation);
}

void AdjustWindowTest::thumb_drag_data() {
  QTest::addColumn<QString>("bar");
  QTest::addColumn<QString>("updown");
  QTest::addColumn<bool>("spin_leads");  // the spin box follows the thumb, the bar trails it
  QTest::newRow("H: the bar trails the spin box") << "ScrollBar_H"
                                                  << "UpDown_H" << true;
  QTest::newRow("Space: the spin box trails the bar") << "ScrollBar_Space"
                                                      << "UpDown_space" << false;
}

void AdjustWindowTest::thumb_drag() {
  QFETCH(QString, bar);
  QFETCH(QString, updown);
  QFETCH(bool, spin_leads);
  auto* scroll_bar = adjust_->findChild<ScrollBarControl*>(bar);
  auto* spin = adjust_->findChild<UpDownControl*>(updown);
  auto leader = [&] { return spin_leads ? spin->position() : scroll_bar->position(); };
  auto trailer = [&] { return spin_leads ? scroll_bar->position() : spin->position(); };
  QStyleOptionSlider option;
  option.initFrom(scroll_bar);
  option.orientation = Qt::Horizontal;
  option.state |= QStyle::State_Horizontal;
  option.minimum = scroll_bar->minimum();
  option.maximum = scroll_bar->maximum();
  option.sliderPosition = option.sliderValue = scroll_bar->value();
  option.pageStep = scroll_bar->pageStep();
  const QPoint thumb =
      scroll_bar->style()
          ->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, scroll_bar)
          .center();

  QTest::mousePress(scroll_bar, Qt::LeftButton, {}, thumb);
  int previous = leader();
  for (int dx = 20; dx <= 60; dx += 20) {
    QTest::mouseMove(scroll_bar, thumb + QPoint(dx, 0));
    QVERIFY(leader() > previous);
    QCOMPARE(trailer(), previous);
    previous = leader();
  }
  QTest::mouseRelease(scroll_bar, Qt::LeftButton, {}, thumb + QPoint(60, 0));
  QCOMPARE(scroll_bar->position(), previous);
  QCOMPARE(spin->position(), previous);
}

void AdjustWindowTest::debounce_is_not_restarted_by_later_changes() {
  QVERIFY(
      !part_of<QTimer>(adjust_, "Timer1")->isActive());  // loading design values changed nothing
  chart_->image_Pattern(9);
  apply("type Edit_H 60");
  QVERIFY(part_of<QTimer>(adjust_, "Timer1")->isActive());
  const int armed = part_of<QTimer>(adjust_, "Timer1")->timerId();
  apply("type Edit_HP 30");
  apply("step UpDown_V +1");
  apply("step UpDown_VP -2");
  QCOMPARE(part_of<QTimer>(adjust_, "Timer1")->timerId(), armed);

  chart_->state().current_pattern = 9;
  part_of<QTimer>(adjust_, "Timer1")->setInterval(0);  // fire as soon as the loop runs
  QTRY_VERIFY(!part_of<QTimer>(adjust_, "Timer1")->isActive());
  const lumigrid::ChartState& state = chart_->state();
  QCOMPARE(state.line_H, 60);
  QCOMPARE(double(state.ratio_HP), 0.30000001192092896);
  QCOMPARE(state.line_V, 31);
  QCOMPARE(double(state.ratio_VP), 0.47999998927116394);
  QCOMPARE(chart_->surface().pixel(0, 0), lumigrid::kBlack);  // white, then pattern 9 again
}

void AdjustWindowTest::failing_redraw_is_reported_once() {
  {
    // A colour chart of no rows divides by zero.
    std::ofstream settings(settings_path_);
    settings << "[Dynamic Range]\ncolor X=6\ncolor Y=0\n";
  }
  chart_->state().current_pattern = 1;
  apply("step UpDown_H +1");
  part_of<QTimer>(adjust_, "Timer1")->setInterval(0);
  QTRY_COMPARE(errors_.size(), 1);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  QVERIFY(!part_of<QTimer>(adjust_, "Timer1")->isActive());
  QCOMPARE(errors_, QStringList{"Floating point division by zero"});
  errors_.clear();
}

void AdjustWindowTest::keys_typed_in_an_edit_box_reach_the_chart() {
  chart_->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart_));
  const QString caption = chart_->windowTitle();
  part_of<QLineEdit>(adjust_, "Edit_H")->setText("1");
  QTest::keyClick(part_of<QLineEdit>(adjust_, "Edit_H"), Qt::Key_2);
  QCOMPARE(chart_->state().current_pattern, 2);
  QTest::keyClick(part_of<QLineEdit>(adjust_, "Edit_H"), Qt::Key_5, Qt::KeypadModifier);
  QCOMPARE(chart_->state().current_pattern, 5);
  QCOMPARE(part_of<QLineEdit>(adjust_, "Edit_H")->text(),
           QString("125"));  // the edit box got the digits too
  QCOMPARE(part_of<UpDownControl>(adjust_, "UpDown_H")->position(), 125);
  QCOMPARE(chart_->windowTitle(), caption);
  QVERIFY(part_of<QTimer>(adjust_, "Timer1")->isActive());

  QTest::keyClick(part_of<ScrollBarControl>(adjust_, "ScrollBar_HP"), Qt::Key_F11);
  QCoreApplication::processEvents();
  QVERIFY(chart_->state().is_full_screen);
  QVERIFY(chart_->isFullScreen());
  QTest::keyClick(part_of<QComboBox>(adjust_, "ComboBox1"), Qt::Key_Escape);
  QCoreApplication::processEvents();
  QVERIFY(!chart_->state().is_full_screen);
  QVERIFY(!chart_->isFullScreen());
}

void AdjustWindowTest::creation_loads_stored_positions_data() {
  QTest::addColumn<QString>("file");  // empty: no settings file
  QTest::addColumn<QStringList>("expected");
  QTest::newRow("no file: the design positions")
      << QString() << QStringList{"current_pattern=0", "UpDown_H=50",     "ScrollBar_H=50",
                                  "UpDown_V=30",       "ScrollBar_V=30",  "UpDown_space=100",
                                  "ScrollBar_Pitch=8", "UpDown_Pitch2=50"};
  QTest::newRow("stored values; V beyond its bar is pulled back by the bar")
      << "[latest pattern]\nlatest pattern=3\n[Latest Setting]\nScrollBar_H=123\n"
         "ScrollBar_HP=40\nScrollBar_V=150\nScrollBar_VP=10\nScrollBar_Space=60\n"
         "ScrollBar_Pitch=40\n"
      << QStringList{"current_pattern=3",      "UpDown_H=123",       "ScrollBar_H=123",
                     "UpDown_HP=40",           "ScrollBar_HP=40",    "UpDown_V=100",
                     "ScrollBar_V=100",        "UpDown_VP=10",       "UpDown_space=60",
                     "ScrollBar_Space=60",     "UpDown_Pitch=40",    "ScrollBar_Pitch=40",
                     "ScrollBar_Pitch.max=50", "UpDown_Pitch.max=50"};
  QTest::newRow("hex value, out-of-range values, pattern beyond 9")
      << "[latest pattern]\nlatest pattern=12\n[Latest Setting]\nScrollBar_H=0x20\n"
         "ScrollBar_Space=5\nScrollBar_Pitch=300\n"
      << QStringList{"current_pattern=12", "UpDown_H=32",        "ScrollBar_H=32",
                     "UpDown_space=10",    "ScrollBar_Space=20", "UpDown_Pitch=50",
                     "ScrollBar_Pitch=50"};
  QTest::newRow("malformed value keeps the design position")
      << "[Latest Setting]\nScrollBar_H=abc\nScrollBar_VP=\n"
      << QStringList{"UpDown_H=50", "ScrollBar_H=50", "UpDown_VP=50"};
}

void AdjustWindowTest::creation_loads_stored_positions() {
  QFETCH(QString, file);
  QFETCH(QStringList, expected);
  destroyWindows();
  if (!file.isNull()) {
    std::ofstream settings(settings_path_);
    settings << file.toStdString();
  }
  createWindows();
  for (const QString& expectation : expected) expect(expectation);
}

void AdjustWindowTest::settings_round_trip() {
  chart_->image_Pattern(3);
  apply("click ScrollBar_H add");
  apply("click ScrollBar_H add");
  apply("step UpDown_V +75");  // the bar stops at 100
  apply("step UpDown_space -20");
  apply("click ScrollBar_Pitch add");
  apply("type Edit_HP 77");  // typed only: the bar keeps 50; the key 7 picks pattern 7
  QVERIFY(chart_->close());

  destroyWindows();
  createWindows();
  for (const char* expectation :
       {"current_pattern=7", "UpDown_H=51", "ScrollBar_H=51", "UpDown_V=100", "ScrollBar_V=100",
        "UpDown_space=81", "ScrollBar_Space=81", "UpDown_Pitch=9", "ScrollBar_Pitch=9",
        "UpDown_HP=50", "ScrollBar_HP=50"}) {
    expect(expectation);
  }
}

void AdjustWindowTest::controls_follow_their_anchors() {
  adjust_->resize(lumigrid::kAdjustClientWidth + 100, lumigrid::kAdjustClientHeight + 50);
  QCoreApplication::processEvents();
  QCOMPARE(part_of<ScrollBarControl>(adjust_, "ScrollBar_H")->geometry(),
           QRect(133, 8, 892, 21));  // stretches
  QCOMPARE(part_of<ScrollBarControl>(adjust_, "ScrollBar_V")->geometry(),
           QRect(8, 8, 21, 297));  // grows
  QCOMPARE(part_of<QLineEdit>(adjust_, "Edit_V")->geometry(),
           QRect(8, 311, 46, 21));  // follows the bottom
  // A label moves with its anchor and is never narrower than its design box or its text.
  const QLabel* label4 = adjust_->findChild<QLabel*>("Label4");
  QCOMPARE(label4->geometry().topLeft(), QPoint(931, 123));
  QCOMPARE(label4->height(), 13);
  QVERIFY(label4->width() >= std::max(94, label4->sizeHint().width()));
  QCOMPARE(part_of<ScrollBarControl>(adjust_, "ScrollBar_Pitch2")->geometry(),
           QRect(216, 179, 339, 17));  // stays
}

void AdjustWindowTest::thousands_separator_is_shown_and_read() {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  apply("type Edit_space 999");
  apply("step UpDown_space +1");
  const QString shown = part_of<QLineEdit>(adjust_, "Edit_space")->text();
  apply("type Edit_pitch2 1,5");  // not a whole number with a separator in the right place
  const int pitch2 = part_of<UpDownControl>(adjust_, "UpDown_Pitch2")->position();
  apply("type Edit_space 2,500");
  const int typed = part_of<UpDownControl>(adjust_, "UpDown_space")->position();
  QLocale::setDefault(before);
  QCOMPARE(shown, QString("1,000"));
  QCOMPARE(typed, 2500);
  QCOMPARE(pitch2, 50);
}

void AdjustWindowTest::drawing_area_list_starts_with_its_prompt() {
  QCOMPARE(part_of<QComboBox>(adjust_, "ComboBox1")->currentText(),
           QString("Create a Drawing Area"));
  QCOMPARE(part_of<QComboBox>(adjust_, "ComboBox1")->currentIndex(), -1);
  QCOMPARE(part_of<QComboBox>(adjust_, "ComboBox1")->itemText(4),
           QString("4K UHD 3840") + QChar(0x00D7) + "2160");
  QCOMPARE(part_of<QComboBox>(adjust_, "ComboBox1")->itemText(14), QString("B4 "));
  QVERIFY(!part_of<QTimer>(adjust_, "Timer1")->isActive());
}

void AdjustWindowTest::typing_in_the_drawing_area_list_builds_what_is_typed() {
  // Each character builds a page; the list completes nothing, so "8" is not "8K UHD".
  struct Typed {
    char key;
    QSize page;
  };
  const Typed typed[] = {{'8', {1920, 1080}}, {'0', {1920, 1080}}, {'0', {1920, 1080}},
                         {'x', {1920, 1080}}, {'6', {800, 6}},     {'0', {800, 60}},
                         {'0', {800, 600}}};
  QLineEdit* edit = part_of<QComboBox>(adjust_, "ComboBox1")->lineEdit();
  edit->clear();
  edit->setFocus();
  QString text;
  for (const Typed& step : typed) {
    QTest::keyClicks(edit, QString(QChar(step.key)));
    text += QChar(step.key);
    QCOMPARE(part_of<QComboBox>(adjust_, "ComboBox1")->currentText(), text);
    QVERIFY(viewer_->page() != nullptr);
    QCOMPARE(QSize(viewer_->page()->width(), viewer_->page()->height()), step.page);
    QCOMPARE(viewer_->windowTitle(), text);
  }
}

void AdjustWindowTest::percent_labels_lie_under_the_scroll_bars() {
  // Labels are painted on the window itself, below its controls: where the design puts the "%"
  // of HP on the HP scroll bar, the bar hides it.
  const QLabel* label1 = adjust_->findChild<QLabel*>("Label1");
  QVERIFY(label1->geometry().intersects(
      part_of<ScrollBarControl>(adjust_, "ScrollBar_HP")->geometry()));
  QCOMPARE(adjust_->childAt(label1->geometry().center()),
           part_of<ScrollBarControl>(adjust_, "ScrollBar_HP"));
}

void AdjustWindowTest::screen_reader_names_every_control_data() {
  QTest::addColumn<QString>("window");
  QTest::addColumn<QString>("page");  // the drawing-area text typed first; none: no page
  QTest::newRow("adjust_window") << "adjust" << QString();
  QTest::newRow("viewer_before_a_page") << "viewer" << QString();
  QTest::newRow("viewer_with_a_page") << "viewer"
                                      << "640x480";
}

void AdjustWindowTest::screen_reader_names_every_control() {
  QFETCH(QString, window);
  QFETCH(QString, page);
  if (!page.isNull()) {
    part_of<QComboBox>(adjust_, "ComboBox1")->lineEdit()->clear();
    QTest::keyClicks(part_of<QComboBox>(adjust_, "ComboBox1")->lineEdit(), page);
  }
  QWidget* shown = window == "adjust" ? static_cast<QWidget*>(adjust_) : viewer_;
  shown->show();
  QVERIFY(QTest::qWaitForWindowExposed(shown));
  QStringList unnamed = screen_reader_view::unnamed_controls(shown);
  if (shown == adjust_) {
    // The rows of the drawing-area list, the empty one too.
    QAccessibleInterface* list =
        QAccessible::queryAccessibleInterface(part_of<QComboBox>(adjust_, "ComboBox1")->view());
    QVERIFY(list != nullptr);
    QCOMPARE(list->childCount(), part_of<QComboBox>(adjust_, "ComboBox1")->count());
    for (int row = 0; row < list->childCount(); ++row) {
      if (list->child(row)->text(QAccessible::Name).trimmed().isEmpty()) {
        unnamed << QString("ComboBox1 row %1").arg(row);
      }
    }
  }
  QVERIFY2(unnamed.isEmpty(), qPrintable("unnamed: " + unnamed.join(", ")));
}

void AdjustWindowTest::labels_are_tied_to_their_fields_data() {
  QTest::addColumn<QString>("label");
  QTest::addColumn<QString>("field");
  QTest::addColumn<QString>("bar");
  QTest::addColumn<QString>("name");  // what a screen reader calls the field and its bar
  QTest::newRow("percent_of_HP") << "Label1"
                                 << "Edit_HP"
                                 << "ScrollBar_HP"
                                 << "HP";
  QTest::newRow("percent_of_VP") << "Label2"
                                 << "Edit_VP"
                                 << "ScrollBar_VP"
                                 << "VP";
  QTest::newRow("test_chart_heading") << "Label3"
                                      << "Edit_space"
                                      << "ScrollBar_Space"
                                      << "Space";
  QTest::newRow("space") << "Label4"
                         << "Edit_space"
                         << "ScrollBar_Space"
                         << "Space";
  QTest::newRow("pitch") << "Label5"
                         << "Edit_pitch"
                         << "ScrollBar_Pitch"
                         << "Pitch";
  QTest::newRow("pitch2") << "Label6"
                          << "Edit_pitch2"
                          << "ScrollBar_Pitch2"
                          << "Pitch2";
}

void AdjustWindowTest::labels_are_tied_to_their_fields() {
  QFETCH(QString, label);
  QFETCH(QString, field);
  QFETCH(QString, bar);
  QFETCH(QString, name);
  const QLabel* shown = adjust_->findChild<QLabel*>(label);
  QVERIFY(shown != nullptr);
  QVERIFY(shown->buddy() != nullptr);
  QCOMPARE(shown->buddy()->objectName(), field);
  QCOMPARE(screen_reader_view::accessible_text(shown->buddy(), QAccessible::Name), name);
  QVERIFY(!screen_reader_view::accessible_text(shown->buddy(), QAccessible::Description).isEmpty());
  // The field's scroll bar is called by the same name, and says what it is.
  auto* scroll_bar = adjust_->findChild<ScrollBarControl*>(bar);
  QVERIFY(scroll_bar != nullptr);
  QCOMPARE(screen_reader_view::accessible_text(scroll_bar, QAccessible::Name), name);
  QVERIFY(screen_reader_view::accessible_text(scroll_bar, QAccessible::Description)
              .endsWith(" (scroll bar)"));
}

void AdjustWindowTest::tab_follows_the_layout_data() {
  QTest::addColumn<QSize>("grow");  // beyond the designed client area
  QTest::newRow("as_designed") << QSize(0, 0);
  QTest::newRow("wider_and_taller") << QSize(100, 50);
  // The foot's edit boxes of V and VP come up above the Space row.
  QTest::newRow("shorter") << QSize(0, -140);
}

void AdjustWindowTest::tab_follows_the_layout() {
  QFETCH(QSize, grow);
  adjust_->resize(lumigrid::kAdjustClientWidth + grow.width(),
                  lumigrid::kAdjustClientHeight + grow.height());
  QCoreApplication::processEvents();
  adjust_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(adjust_));
  const std::vector<QWidget*> expected = screen_reader_view::layout_order(adjust_);
  QCOMPARE(expected.size(), std::size_t(2 * lumigrid::kParameterCount + 1));
  // The window opens on its first control.
  QCOMPARE(screen_reader_view::tab_stop(adjust_, QApplication::focusWidget()), expected.front());
  const std::vector<QWidget*> visits =
      screen_reader_view::tab_visits(adjust_, expected.front(), expected.size());
  QCOMPARE(screen_reader_view::names_of(visits), screen_reader_view::names_of(expected));
}

int main(int argc, char** argv) {
  lumigrid::LumigridApplication app(argc, argv);
  AdjustWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "adjust_window_test.moc"
