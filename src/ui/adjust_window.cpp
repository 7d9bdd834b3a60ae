#include "ui/adjust_window.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <initializer_list>
#include <utility>

#include "settings/settings.h"
#include "ui/close_key.h"
#include "ui/error_reporting.h"
#include "ui/key_codes.h"
#include "ui/window_accessibility.h"

namespace {

constexpr int kDebounceMs = 1500;

QRect to_rect(const lumigrid::Box& box) {
  return QRect(box.left, box.top, box.width, box.height);
}

QString text_of(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

TForm_menu::TForm_menu(lumigrid::SettingsLocation settings, QWidget* owner)
    : QWidget(owner, Qt::Window), settings_(std::move(settings)) {
  lumigrid::announce_window(
      this, QStringLiteral("The grid and pattern values and the drawing-area list that builds "
                           "the printable page; Ctrl+W closes"));
  lumigrid::close_with_ctrl_w(this);
  setWindowTitle("Form_menu");
  setFont(QFont("Tahoma", 8));
  setAttribute(Qt::WA_QuitOnClose, false);  // closing it only hides it

  std::array<QLineEdit*, lumigrid::kParameterCount> edits{};
  std::array<UpDownControl*, lumigrid::kParameterCount> updowns{};
  std::array<ScrollBarControl*, lumigrid::kParameterCount> bars{};
  for (std::size_t i = 0; i < lumigrid::kParameterCount; ++i) {
    const lumigrid::AdjustParameter& parameter = lumigrid::kAdjustParameters[i];
    edits[i] = new QLineEdit(this);
    edits[i]->setObjectName(text_of(parameter.edit_name));
    updowns[i] = new UpDownControl(edits[i], parameter.updown_min, parameter.updown_max,
                                   parameter.initial, this);
    updowns[i]->setObjectName(text_of(parameter.updown_name));
    bars[i] = new ScrollBarControl(parameter.bar_vertical ? Qt::Vertical : Qt::Horizontal,
                                   parameter.bar_min, parameter.bar_max, parameter.initial, this);
    bars[i]->setObjectName(text_of(parameter.bar_name));
    const lumigrid::ParameterSpeech& speech = lumigrid::kParameterSpeech[i];
    const QString name = text_of(speech.name);
    const QString description = text_of(speech.description);
    edits[i]->setAccessibleName(name);
    edits[i]->setAccessibleDescription(description);
    updowns[i]->setSpeech(name, description + text_of(lumigrid::kUpDownSpeechSuffix));
    bars[i]->setAccessibleName(name);
    bars[i]->setAccessibleDescription(description + text_of(lumigrid::kScrollBarSpeechSuffix));
    place(edits[i], parameter.edit, parameter.spin_anchors);
    place(updowns[i], parameter.updown, parameter.spin_anchors);
    place(bars[i], parameter.bar, parameter.bar_anchors);
  }
  using lumigrid::kH, lumigrid::kV, lumigrid::kHP, lumigrid::kVP, lumigrid::kSpace,
      lumigrid::kPitch, lumigrid::kPitch2;
  Edit_H = edits[kH], Edit_V = edits[kV], Edit_HP = edits[kHP], Edit_VP = edits[kVP];
  Edit_space = edits[kSpace], Edit_pitch = edits[kPitch], Edit_pitch2 = edits[kPitch2];
  UpDown_H = updowns[kH], UpDown_V = updowns[kV], UpDown_HP = updowns[kHP];
  UpDown_VP = updowns[kVP], UpDown_space = updowns[kSpace], UpDown_Pitch = updowns[kPitch];
  UpDown_Pitch2 = updowns[kPitch2];
  ScrollBar_H = bars[kH], ScrollBar_V = bars[kV], ScrollBar_HP = bars[kHP];
  ScrollBar_VP = bars[kVP], ScrollBar_Space = bars[kSpace], ScrollBar_Pitch = bars[kPitch];
  ScrollBar_Pitch2 = bars[kPitch2];

  for (std::size_t i = 0; i < labels_.size(); ++i) {
    const lumigrid::AdjustLabel& label = lumigrid::kAdjustLabels[i];
    labels_[i] = new QLabel(text_of(label.text), this);
    labels_[i]->setObjectName(text_of(label.name));
    labels_[i]->setBuddy(edits[label.field]);
    place(labels_[i], label.box, label.anchors);
    // A label is painted on the window itself, beneath every control: where the design lays the
    // "%" of HP on its scroll bar, the bar hides it.
    labels_[i]->lower();
  }

  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  // The list completes nothing: each character typed builds the page of the text as typed, so
  // "8" is 1920 x 1080, not "8K UHD".
  ComboBox1->setCompleter(nullptr);
  for (std::string_view row : lumigrid::kDrawingAreaRows) {
    ComboBox1->addItem(text_of(row));
    if (row.empty()) {
      ComboBox1->setItemData(ComboBox1->count() - 1, text_of(lumigrid::kEmptyRowSpeech),
                             Qt::AccessibleTextRole);
    }
  }
  ComboBox1->setCurrentIndex(-1);
  ComboBox1->setEditText(text_of(lumigrid::kDrawingAreaPrompt));
  place(ComboBox1, lumigrid::kDrawingAreaListBox, lumigrid::kAnchorTopLeft);
  for (QWidget* list : std::initializer_list<QWidget*>{ComboBox1, ComboBox1->lineEdit()}) {
    list->setAccessibleName(text_of(lumigrid::kDrawingAreaListSpeech.name));
    list->setAccessibleDescription(text_of(lumigrid::kDrawingAreaListSpeech.description));
  }

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(kDebounceMs);

  auto wire = [this](auto* sender, auto signal, void (TForm_menu::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { lumigrid::run_handler([&] { (this->*handler)(); }); });
  };
  wire(ScrollBar_H, &ScrollBarControl::changed, &TForm_menu::ScrollBar_HChange);
  wire(ScrollBar_V, &ScrollBarControl::changed, &TForm_menu::ScrollBar_VChange);
  wire(ScrollBar_HP, &ScrollBarControl::changed, &TForm_menu::ScrollBar_HPChange);
  wire(ScrollBar_VP, &ScrollBarControl::changed, &TForm_menu::ScrollBar_VPChange);
  wire(ScrollBar_Space, &ScrollBarControl::scrolled, &TForm_menu::ScrollBar_SpaceScroll);
  wire(ScrollBar_Pitch, &ScrollBarControl::scrolled, &TForm_menu::ScrollBar_PitchScroll);
  wire(ScrollBar_Pitch2, &ScrollBarControl::scrolled, &TForm_menu::ScrollBar_Pitch2Scroll);
  wire(UpDown_H, &UpDownControl::changing, &TForm_menu::UpDown_HChanging);
  wire(UpDown_V, &UpDownControl::changing, &TForm_menu::UpDown_VChanging);
  wire(UpDown_HP, &UpDownControl::changing, &TForm_menu::UpDown_HPChanging);
  wire(UpDown_VP, &UpDownControl::changing, &TForm_menu::UpDown_VPChanging);
  wire(UpDown_space, &UpDownControl::changing, &TForm_menu::UpDown_spaceChanging);
  wire(UpDown_Pitch, &UpDownControl::changing, &TForm_menu::UpDown_PitchChanging);
  wire(UpDown_Pitch2, &UpDownControl::changing, &TForm_menu::UpDown_Pitch2Changing);
  for (QLineEdit* edit : edits) wire(edit, &QLineEdit::textChanged, &TForm_menu::Edit_Change);
  wire(Timer1, &QTimer::timeout, &TForm_menu::Timer1Timer);
  wire(ComboBox1, &QComboBox::editTextChanged, &TForm_menu::ComboBox1Change);

  resize(lumigrid::kAdjustClientWidth, lumigrid::kAdjustClientHeight);
  applyLayout();
  qApp->installEventFilter(this);
}

TForm_menu::~TForm_menu() = default;

void TForm_menu::setChart(lumigrid::ChartControl* chart) {
  chart_ = chart;
}

void TForm_menu::setPageBuilder(PageBuilder builder) {
  page_builder_ = std::move(builder);
}

lumigrid::LivePatternValues TForm_menu::liveValues() const {
  lumigrid::LivePatternValues values;
  values.space = UpDown_space->position();
  values.pitch = UpDown_Pitch->position();
  values.pitch2 = UpDown_Pitch2->position();
  return values;
}

lumigrid::SliderPositions TForm_menu::sliderPositions() const {
  lumigrid::SliderPositions positions;
  positions.H = ScrollBar_H->position();
  positions.HP = ScrollBar_HP->position();
  positions.V = ScrollBar_V->position();
  positions.VP = ScrollBar_VP->position();
  positions.Space = ScrollBar_Space->position();
  positions.Pitch = ScrollBar_Pitch->position();
  return positions;
}

void TForm_menu::place(QWidget* widget, const lumigrid::Box& box, std::uint8_t anchors) {
  placed_.push_back({widget, box, anchors});
}

void TForm_menu::setTabOrderByLayout() {
  // Tab reads the window as the operator sees it: row by row from the top, each row from the
  // left. The controls anchored to the bottom move up past others when the window is made
  // shorter, so the order follows every layout.
  std::vector<QWidget*> order;
  for (const Placed& placed : placed_) {
    if ((placed.widget->focusPolicy() & Qt::TabFocus) != 0) order.push_back(placed.widget);
  }
  std::stable_sort(order.begin(), order.end(), [](const QWidget* a, const QWidget* b) {
    return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
  });
  if (order.empty()) return;
  // The chain runs through the window itself, and the window opens on the control after it. Qt
  // takes a control that already follows the one before it, across the window, as in place; the
  // window joins the chain while it is ordered, so the first control comes right after it.
  const Qt::FocusPolicy policy = focusPolicy();
  setFocusPolicy(Qt::TabFocus);
  QWidget::setTabOrder(this, order.front());
  for (std::size_t i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
  setFocusPolicy(policy);
}

void TForm_menu::applyLayout() {
  const int grow_x = width() - lumigrid::kAdjustClientWidth;
  const int grow_y = height() - lumigrid::kAdjustClientHeight;
  for (const Placed& placed : placed_) {
    QRect rect = to_rect(lumigrid::anchored_box(placed.box, placed.anchors, grow_x, grow_y));
    // Labels size themselves to their text: where the design font is missing the substitute is
    // wider, and a clipped "MTF test chart (  Num 7)" would hide what the row is for.
    if (auto* label = qobject_cast<QLabel*>(placed.widget)) {
      rect.setWidth(std::max(rect.width(), label->sizeHint().width()));
    }
    placed.widget->setGeometry(rect);
  }
  setTabOrderByLayout();
}

void TForm_menu::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  applyLayout();
}

void TForm_menu::FormCreate() {
  const lumigrid::StartupSettings stored =
      lumigrid::read_startup_settings(settings_, sliderPositions());

  if (chart_ != nullptr) chart_->state().current_pattern = stored.latest_pattern;
  UpDown_H->setPosition(stored.positions.H);
  UpDown_HP->setPosition(stored.positions.HP);
  UpDown_V->setPosition(stored.positions.V);
  UpDown_VP->setPosition(stored.positions.VP);
  UpDown_space->setPosition(stored.positions.Space);
  UpDown_Pitch->setPosition(stored.positions.Pitch);

  ScrollBar_H->setPosition(UpDown_H->position());
  ScrollBar_HP->setPosition(UpDown_HP->position());
  ScrollBar_V->setPosition(UpDown_V->position());
  ScrollBar_VP->setPosition(UpDown_VP->position());
  ScrollBar_Space->setPosition(UpDown_space->position());
  ScrollBar_Pitch->setPosition(UpDown_Pitch->position());
}

void TForm_menu::FormKeyUp(int key, Qt::KeyboardModifiers /*shift*/) {
  if (chart_ != nullptr) lumigrid::run_key_command(*chart_, key);
}

void TForm_menu::ScrollBar_HChange() {
  UpDown_H->setPosition(ScrollBar_H->position());
}
void TForm_menu::ScrollBar_VChange() {
  UpDown_V->setPosition(ScrollBar_V->position());
}
void TForm_menu::ScrollBar_HPChange() {
  UpDown_HP->setPosition(ScrollBar_HP->position());
}
void TForm_menu::ScrollBar_VPChange() {
  UpDown_VP->setPosition(ScrollBar_VP->position());
}

void TForm_menu::ScrollBar_SpaceScroll() {
  UpDown_space->setPosition(ScrollBar_Space->position());
  ScrollBar_Pitch->setMaximum(ScrollBar_Space->position() / 2);
}

void TForm_menu::ScrollBar_PitchScroll() {
  UpDown_Pitch->setPosition(ScrollBar_Pitch->position());
}
void TForm_menu::ScrollBar_Pitch2Scroll() {
  UpDown_Pitch2->setPosition(ScrollBar_Pitch2->position());
}

void TForm_menu::UpDown_HChanging() {
  ScrollBar_H->setPosition(UpDown_H->position());
}
void TForm_menu::UpDown_VChanging() {
  ScrollBar_V->setPosition(UpDown_V->position());
}
void TForm_menu::UpDown_HPChanging() {
  ScrollBar_HP->setPosition(UpDown_HP->position());
}
void TForm_menu::UpDown_VPChanging() {
  ScrollBar_VP->setPosition(UpDown_VP->position());
}

void TForm_menu::UpDown_spaceChanging() {
  // Runs before the step: Pitch's maxima follow the Space value being left.
  ScrollBar_Space->setPosition(UpDown_space->position());
  ScrollBar_Pitch->setMaximum(UpDown_space->position() / 2);
  UpDown_Pitch->setMaximum(ScrollBar_Pitch->maximum());
}

void TForm_menu::UpDown_PitchChanging() {
  ScrollBar_Pitch->setPosition(UpDown_Pitch->position());
}
void TForm_menu::UpDown_Pitch2Changing() {
  ScrollBar_Pitch2->setPosition(UpDown_Pitch2->position());
}

void TForm_menu::Edit_Change() {
  // An armed timer is not restarted: the redraw comes 1500 ms after the first change of a burst.
  if (!Timer1->isActive()) Timer1->start();
}

void TForm_menu::Timer1Timer() {
  // Disarmed before the redraw: a redraw that fails must not come back every 1500 ms.
  Timer1->stop();
  updatePattern();
}

void TForm_menu::updatePattern() {
  lumigrid::ChartControl* chart = chart_;
  if (chart == nullptr) return;
  lumigrid::ChartState& state = chart->state();
  lumigrid::set_grid_values(state, {UpDown_H->position(), UpDown_HP->position(),
                                    UpDown_V->position(), UpDown_VP->position()});
  chart->image_Pattern(0);
  chart->image_Pattern(state.current_pattern);
}

void TForm_menu::ComboBox1Change() {
  if (!page_builder_) return;
  // Space, Pitch and Pitch2 as they are now; changing them later does not redraw the page.
  page_builder_(ComboBox1->currentText(),
                {UpDown_space->position(), UpDown_Pitch->position(), UpDown_Pitch2->position()});
}

bool TForm_menu::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyRelease || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  if (widget->window() != this) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->isAutoRepeat()) return false;
  if (event == previewed_event_ && previewed_receiver_ != nullptr &&
      widget != previewed_receiver_ && widget->isAncestorOf(previewed_receiver_)) {
    previewed_receiver_ = widget;  // the same release passed on to a parent
    return false;
  }
  previewed_event_ = event;
  previewed_receiver_ = widget;
  const int code = lumigrid::windows_key_code(*key);
  const Qt::KeyboardModifiers modifiers = key->modifiers();
  lumigrid::run_handler([&] { FormKeyUp(code, modifiers); });
  return false;  // the control still sees the key
}
