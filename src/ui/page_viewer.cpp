#include "ui/page_viewer.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "page/page_build.h"
#include "ui/busy_progress.h"
#include "ui/close_key.h"
#include "ui/device_pixels.h"
#include "ui/error_reporting.h"
#include "ui/page_printing.h"
#include "ui/window_accessibility.h"
#include "ui/x11_window.h"
#ifdef LUMIGRID_HAVE_CUPS
#include "print/cups_printing.h"
#include "print/print_layout.h"
#include "ui/print_job_runner.h"
#endif

namespace {

constexpr int kDesignWidth = 983;
constexpr int kDesignHeight = 612;
constexpr QPoint kImageDesignOrigin(14, 19);
constexpr QSize kImageDesignSize(819, 462);
constexpr int kArrowStep = 20;  // pixels an arrow key scrolls, as the toolkit's scroll areas do

// What a screen reader calls the page and the scroll box around it: "Printable page" and the
// drawing-area text it was built for, which is also the window's caption.
QString page_speech(const QString& area_text) {
  const QString name = QStringLiteral("Printable page");
  return area_text.isEmpty() ? name : name + QLatin1Char(' ') + area_text;
}

lumigrid::ViewSize view_size(const QSize& size) {
  return {size.width(), size.height()};
}

QPoint to_qpoint(const lumigrid::Point& point) {
  return QPoint(point.x, point.y);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TPageImage::TPageImage(QWidget* parent) : QWidget(parent) {
  setObjectName("Image1");
  setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TPageImage::setPage(const lumigrid::ChartPage* page) {
  page_ = page;
  view_ = page != nullptr ? lumigrid::PageView(*page) : lumigrid::PageView();
  update();
}

void TPageImage::setStretch(bool on) {
  if (stretch_ == on) return;
  stretch_ = on;
  update();
}

void TPageImage::paintEvent(QPaintEvent* event) {
  if (page_ == nullptr || view_.empty()) return;
  const qreal ratio = devicePixelRatioF();
  // Stretched, the page fills the control's device pixels; not stretched, each page pixel is
  // one device pixel, whatever the screen's scale, cut off by the control.
  const QSize shown =
      stretch_ ? QSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)))
               : QSize(page_->width(), page_->height());
  const QRect shown_rect(QPoint(0, 0), shown);
  QPainter painter(this);
  for (const QRect& exposed : event->region()) {
    const QRect device = lumigrid::to_device(exposed, ratio).intersected(shown_rect);
    if (device.isEmpty()) continue;
    if (exposed_.width() < device.width() || exposed_.height() < device.height()) {
      exposed_ = QImage(std::max(exposed_.width(), device.width()),
                        std::max(exposed_.height(), device.height()), QImage::Format_Grayscale8);
    }
    view_.render(shown.width(), shown.height(),
                 {device.x(), device.y(), device.width(), device.height()}, exposed_.bits(),
                 std::size_t(exposed_.bytesPerLine()));
    // One sampled pixel per device pixel: the painter's scale maps the target back to exactly
    // these device pixels, so nothing is resampled on the way to the screen.
    const QRectF target(device.x() / ratio, device.y() / ratio, device.width() / ratio,
                        device.height() / ratio);
    painter.drawImage(target, exposed_, QRectF(0, 0, device.width(), device.height()));
  }
}

void TPageImage::mousePressEvent(QMouseEvent* event) {
  if (on_mouse_down) on_mouse_down(event);
}

void TPageImage::mouseMoveEvent(QMouseEvent* event) {
  if (on_mouse_move) on_mouse_move(event);
}

void TPageImage::mouseReleaseEvent(QMouseEvent* event) {
  if (on_mouse_up) on_mouse_up(event);
}

void TPageImage::contextMenuEvent(QContextMenuEvent* event) {
  if (on_context_menu) on_context_menu(event);
}

// ---------------------------------------------------------------------------------------------

TPageScrollBox::TPageScrollBox(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName("ScrollBox1");
  horizontalScrollBar()->setSingleStep(kArrowStep);
  verticalScrollBar()->setSingleStep(kArrowStep);
  horizontalScrollBar()->installEventFilter(this);
  verticalScrollBar()->installEventFilter(this);
}

void TPageScrollBox::setImage(QWidget* image, QPoint content_origin) {
  image_ = image;
  origin_ = content_origin;
  updateRange();
  placeImage();
}

void TPageScrollBox::setImageOrigin(QPoint content_origin) {
  origin_ = content_origin;
  updateRange();
  placeImage();
}

void TPageScrollBox::setImageSize(QSize size) {
  if (image_ == nullptr) return;
  image_->resize(size);
  updateRange();
  placeImage();
}

QPoint TPageScrollBox::scrollPosition() const {
  return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void TPageScrollBox::setScrollPosition(QPoint position) {
  verticalScrollBar()->setValue(position.y());
  horizontalScrollBar()->setValue(position.x());
}

QSize TPageScrollBox::visibleExtent() const {
  return viewport()->size();
}

QSize TPageScrollBox::contentExtent() const {
  if (image_ == nullptr) return QSize(0, 0);
  return QSize(std::max(0, origin_.x() + image_->width()),
               std::max(0, origin_.y() + image_->height()));
}

void TPageScrollBox::updateRange() {
  const QSize content = contentExtent();
  const QSize visible = visibleExtent();
  horizontalScrollBar()->setRange(0, std::max(0, content.width() - visible.width()));
  horizontalScrollBar()->setPageStep(std::max(1, visible.width()));
  verticalScrollBar()->setRange(0, std::max(0, content.height() - visible.height()));
  verticalScrollBar()->setPageStep(std::max(1, visible.height()));
}

void TPageScrollBox::placeImage() {
  if (image_ != nullptr) image_->move(origin_ - scrollPosition());
}

void TPageScrollBox::scrollContentsBy(int dx, int dy) {
  // Moves the image with the pixels already shown; only the uncovered strip is painted.
  viewport()->scroll(dx, dy);
  placeImage();
}

void TPageScrollBox::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateRange();
  placeImage();
}

bool TPageScrollBox::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Resize) {
    const bool handled = QAbstractScrollArea::viewportEvent(event);
    updateRange();
    placeImage();
    return handled;
  }
  if (event->type() == QEvent::Wheel) {
    if (on_mouse_wheel) on_mouse_wheel(static_cast<QWheelEvent*>(event));
    event->accept();
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

bool TPageScrollBox::eventFilter(QObject* watched, QEvent* event) {
  // The scroll bars belong to the scroll box: the wheel over them zooms too.
  if (event->type() == QEvent::Wheel &&
      (watched == horizontalScrollBar() || watched == verticalScrollBar())) {
    if (on_mouse_wheel) on_mouse_wheel(static_cast<QWheelEvent*>(event));
    event->accept();
    return true;
  }
  return QAbstractScrollArea::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------

TForm_Info::TForm_Info(QWidget* owner) : QWidget(owner, Qt::Window) {
  lumigrid::announce_window(this, QStringLiteral("The printable page; Ctrl+W closes"));
  lumigrid::close_with_ctrl_w(this);
  setWindowTitle("Form_Info");
  setFont(QFont("Segoe UI", 9));
  setAttribute(Qt::WA_QuitOnClose, false);  // closing it only hides it
  resize(kDesignWidth, kDesignHeight);

  ScrollBox1 = new TPageScrollBox(this);
  // Sized at once, not at the first show: a page built while the viewer is hidden is fitted to it.
  ScrollBox1->setGeometry(0, 0, kDesignWidth, kDesignHeight);
  ScrollBox1->hide();  // until the first page exists
  Image1 = new TPageImage(ScrollBox1->viewport());
  Image1->resize(kImageDesignSize);
  ScrollBox1->setImage(Image1, kImageDesignOrigin);
  nameThePage(QString());
  ScrollBox1->setAccessibleDescription(QStringLiteral(
      "the arrows, Page Up, Page Down, Home and End scroll; plus and minus zoom; the Menu key "
      "opens the menu"));
  Image1->setAccessibleDescription(QStringLiteral("the test-chart page"));
  ScrollBox1->horizontalScrollBar()->setAccessibleName(QStringLiteral("Across the page"));
  ScrollBox1->verticalScrollBar()->setAccessibleName(QStringLiteral("Down the page"));

  // Each entry's shortcut shows in the menu, and works with the menu closed: the window holds
  // the actions too.
  SaveImagePattern1 = new QAction("Save Image Pattern", this);
  SaveImagePattern1->setObjectName("SaveImagePattern1");
  SaveImagePattern1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  FitIn1 = new QAction("FitIn", this);
  FitIn1->setObjectName("FitIn1");
  FitIn1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
  FitIn2 = new QAction("1:1", this);
  FitIn2->setObjectName("FitIn2");
  FitIn2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  Print1 = new QAction(QString::fromUtf8("Print\u2026"), this);
  Print1->setObjectName("Print1");
  Print1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  addActions({SaveImagePattern1, FitIn1, FitIn2, Print1});
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction(SaveImagePattern1);
  PopupMenu1->addAction(FitIn1);
  PopupMenu1->addAction(FitIn2);
  PopupMenu1->addAction(Print1);
  connect(SaveImagePattern1, &QAction::triggered, this,
          [this] { lumigrid::run_handler([this] { SaveImagePattern1Click(); }); });
  connect(FitIn1, &QAction::triggered, this,
          [this] { lumigrid::run_handler([this] { FitIn1Click(); }); });
  connect(FitIn2, &QAction::triggered, this,
          [this] { lumigrid::run_handler([this] { FitIn2Click(); }); });
  connect(Print1, &QAction::triggered, this,
          [this] { lumigrid::run_handler([this] { Print1Click(); }); });
  choose_printer = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, this);
    return dialog.exec() == QDialog::Accepted;
  };
  tell_print_outcome = [this](const QString& message) {
    QMessageBox::information(this, QCoreApplication::applicationName(), message);
  };

  Image1->on_mouse_down = [this](QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    lumigrid::run_handler([&] { Image1MouseDown(event->button(), position); });
    if (event->button() == Qt::LeftButton) {
      // The drag starts at once and is over the image where it starts.
      dragging_ = true;
      Image1->setCursor(Qt::ClosedHandCursor);
      lumigrid::run_handler([&] { Image1DragOver(position, true); });
    }
  };
  Image1->on_mouse_move = [this](QMouseEvent* event) {
    if (!dragging_) return;
    const QPoint position = event->position().toPoint();
    // The image may reach beyond the visible area; only the part the operator sees counts.
    const QPoint in_viewport = Image1->mapTo(ScrollBox1->viewport(), position);
    const bool over_image =
        Image1->rect().contains(position) && ScrollBox1->viewport()->rect().contains(in_viewport);
    if (!over_image) {
      drag_origin_.reset();
      return;
    }
    const bool entered = !drag_origin_.has_value();
    lumigrid::run_handler([&] { Image1DragOver(position, entered); });
  };
  Image1->on_mouse_up = [this](QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;  // dropping does nothing else
    drag_origin_.reset();
    Image1->unsetCursor();
  };
  Image1->on_context_menu = [this](QContextMenuEvent* event) {
    PopupMenu1->popup(event->globalPos());
  };
  ScrollBox1->on_mouse_wheel = [this](QWheelEvent* event) {
    const QPoint angle = event->angleDelta();
    if (angle.y() == 0 && angle.x() != 0) return;  // a sideways wheel is not this notification
    const QPoint global = event->globalPosition().toPoint();
    lumigrid::run_handler([&] { ScrollBox1MouseWheel(angle.y(), global); });
  };
}

TForm_Info::~TForm_Info() {
  // A job still running is cancelled: nothing half-sent stays on the server.
  print_job_.reset();
  // The image control refers to the page; it lets go first.
  Image1->setPage(nullptr);
}

void TForm_Info::setLinks(Links links) {
  links_ = std::move(links);
}

lumigrid::ViewSize TForm_Info::bitmapSize() const {
  if (!page_) return {0, 0};
  return {page_->width(), page_->height()};
}

void TForm_Info::buildPage(const QString& area_text, const lumigrid::ChartParameters& parameters) {
  const std::u16string text(reinterpret_cast<const char16_t*>(area_text.utf16()),
                            std::size_t(area_text.size()));
  lumigrid::PageRequest request;
  request.chart = parameters;
  if (const QScreen* on = screen()) {
    request.pixels_per_inch = int(std::lround(on->logicalDotsPerInch() * devicePixelRatioF()));
  }

  std::shared_ptr<const lumigrid::ChartPage> page;
  {
    lumigrid::BusyProgress busy(this, "Building the page...");
    // Everything that can fail happens before the page shown so far is touched.
    page = lumigrid::build_chart_page(text, request, available_page_memory(), busy.callback()).page;
  }
  // The page is a description: the image reads each exposed part of it as it paints.
  Image1->setPage(page.get());
  page_ = std::move(page);
  page_area_text_ = area_text;
  if (links_.page_built) links_.page_built(area_text);
  fit_image();
  setWindowTitle(area_text);
  if (area_text.isEmpty()) lumigrid::x11_clear_caption(this);
  nameThePage(area_text);
}

void TForm_Info::showPage(const QString& area_text, const lumigrid::ChartParameters& parameters) {
  ScrollBox1->setVisible(true);
  buildPage(area_text, parameters);
}

void TForm_Info::nameThePage(const QString& area_text) {
  ScrollBox1->setAccessibleName(page_speech(area_text));
  Image1->setAccessibleName(page_speech(area_text));
}

void TForm_Info::fit_image() {
  const auto fit = lumigrid::fit_image(bitmapSize(), view_size(ScrollBox1->size()));  // outer size
  if (!fit) return;
  Image1->setStretch(true);
  ScrollBox1->setImageSize(QSize(fit->control.width, fit->control.height));
  ScrollBox1->setScrollPosition(to_qpoint(fit->scroll));
}

void TForm_Info::FormActivate() {
  // The image's top-left goes to the top-left of the visible area; the positions stay.
  ScrollBox1->setImageOrigin(ScrollBox1->scrollPosition());
}

void TForm_Info::FitIn1Click() {
  fit_image();
}

void TForm_Info::FitIn2Click() {
  // 1:1 is one page pixel per device pixel: the control covers the page's device pixels, in
  // whole logical pixels, and the page is drawn at its own size.
  const lumigrid::ViewSize bitmap = bitmapSize();
  const qreal ratio = devicePixelRatioF();
  const auto logical = [ratio](int device) { return int(std::ceil(device / ratio - 1e-9)); };
  Image1->setStretch(false);
  ScrollBox1->setImageSize(QSize(logical(bitmap.width), logical(bitmap.height)));
}

void TForm_Info::SaveImagePattern1Click() {
  if (!page_ || !links_.save_page) return;
  links_.save_page(*page_);
  // The save dialog belongs to the chart window, which it activates as it closes; the keys go
  // on working the viewer they saved from.
  if (isVisible()) activateWindow();
}

void TForm_Info::Print1Click() {
  if (!page_ || !choose_printer || printing()) return;
#ifdef LUMIGRID_HAVE_CUPS
  // Nothing that talks to the print server runs on the window's thread, and the print dialog
  // asks the server for its printers there: the server is asked one question first, on a
  // worker, within a short limit. Which server is read here: CUPS keeps a thread's choice.
  auto check = print_server_problem;
  if (!check) {
    lumigrid::PrintServer server = lumigrid::default_print_server();
    server.limits.answer = lumigrid::kPrintServerCheckLimit;
    check =
        [server](const std::atomic<bool>* cancel) -> std::optional<lumigrid::PrintServerProblem> {
      const auto problem = lumigrid::print_server_problem(server, cancel);
      if (!problem) return std::nullopt;
      // A server that refuses the connection costs the dialog nothing; one that takes it and
      // says nothing would hold the dialog's own look-up of its printers.
      const bool refused = problem->starts_with("no print server answers at ");
      return lumigrid::PrintServerProblem{QString::fromStdString(*problem), !refused};
    };
  }
  auto problem = std::make_shared<std::optional<lumigrid::PrintServerProblem>>();
  auto runner = std::make_unique<lumigrid::PrintJobRunner>(
      this, QString("Asking the print server for its printers..."),
      [check, problem](const std::atomic<bool>* cancel, const lumigrid::PrintJobRunner::Report&) {
        if (check) *problem = check(cancel);
        return QString();
      },
      true);
  runPrintExchange(std::move(runner),
                   [this, problem](const QString&) { printAfterServerCheck(*problem); });
#else
  printAfterServerCheck(print_server_problem ? print_server_problem(nullptr)
                                             : std::optional<lumigrid::PrintServerProblem>());
#endif
}

void TForm_Info::printAfterServerCheck(const std::optional<lumigrid::PrintServerProblem>& problem) {
  if (!page_) return;
  if (problem && problem->silent) {
    lumigrid::report_error("No printer can be reached: " + problem->reason + ".");
    return;
  }
  // Without a print server the dialog could only offer a file: the operator hears why first.
  if (problem) {
    const auto answer = QMessageBox::warning(
        this, QCoreApplication::applicationName(),
        "No printer can be reached: " + problem->reason +
            ".\n\nThe print dialog can only save the page to a PDF file. Open it anyway?",
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  openPrintDialog();
}

void TForm_Info::openPrintDialog() {
  if (!page_ || !choose_printer) return;
  QPrinter printer(QPrinter::HighResolution);
  lumigrid::set_up_printer_for_page(printer, *page_, page_area_text_);
  if (!choose_printer(printer)) return;
#ifdef LUMIGRID_HAVE_CUPS
  // A printer of the print system gets the page's own PDF; a file, the toolkit's engine.
  if (printer.outputFormat() == QPrinter::NativeFormat) {
    printOnQueue(printer);
    return;
  }
#endif
  if (const auto question = lumigrid::page_overflow_question(printer, *page_)) {
    const auto answer = QMessageBox::question(this, QCoreApplication::applicationName(), *question,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  // The page needs no copy: the progress lets no input in while it is printed.
  lumigrid::BusyProgress busy(this, "Printing the page...");
  lumigrid::print_page(*page_, printer, busy.callback());
}

#ifdef LUMIGRID_HAVE_CUPS
namespace {

// The server the viewer prints through: a job the operator cancels, or one still followed as
// the program ends, is purged within the second those may take.
lumigrid::PrintServer viewer_print_server() {
  lumigrid::PrintServer server = lumigrid::default_print_server();
  server.limits.purge = lumigrid::kPrintPurgeWithinSecond;
  return server;
}

}  // namespace
#endif

void TForm_Info::printOnQueue(const QPrinter& printer) {
#ifdef LUMIGRID_HAVE_CUPS
  const std::string name = printer.printerName().toStdString();
  const int copies = std::max(1, printer.copyCount());
  const auto chosen = lumigrid::chosen_paper(printer);
  auto job = std::make_shared<lumigrid::PreparedPageJob>();
  const std::string area = page_area_text_.toStdString();
  const std::int32_t width = page_->width();
  const std::int32_t height = page_->height();
  const lumigrid::PrintServer server = viewer_print_server();
  auto runner = std::make_unique<lumigrid::PrintJobRunner>(
      this, QString("Asking %1 how it stands...").arg(printer.printerName()),
      [=](const std::atomic<bool>* cancel, const lumigrid::PrintJobRunner::Report&) {
        *job = lumigrid::prepare_page_job(server, name, area, width, height, chosen, cancel);
        return QString();
      },
      true);
  runPrintExchange(std::move(runner),
                   [this, job, copies](const QString&) { sendToQueue(std::move(*job), copies); });
#else
  (void)printer;
#endif
}

#ifdef LUMIGRID_HAVE_CUPS
void TForm_Info::sendToQueue(lumigrid::PreparedPageJob job, int copies) {
  if (!page_) return;
  if (!job.warnings.empty()) {
    QString text;
    for (const std::string& warning : job.warnings) {
      text += QString::fromStdString(warning) + "\n\n";
    }
    const auto answer =
        QMessageBox::question(this, QCoreApplication::applicationName(), text + "Print anyway?",
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  job.request.copies = copies;
  runPrintExchange(
      lumigrid::PrintJobRunner::pageJob(this, page_, viewer_print_server(), job.plan, job.request),
      [this](const QString& message) {
        if (tell_print_outcome) tell_print_outcome(message);
      });
}
#endif

void TForm_Info::runPrintExchange(std::unique_ptr<lumigrid::PrintJobRunner> runner,
                                  std::function<void(const QString& message)> done) {
#ifdef LUMIGRID_HAVE_CUPS
  print_job_ = std::move(runner);
  connect(print_job_.get(), &lumigrid::PrintJobRunner::finished, this,
          [this, done = std::move(done)](lumigrid::PrintJobRunner::Outcome outcome,
                                         const QString& message) {
            printJobEnded();
            switch (outcome) {
              case lumigrid::PrintJobRunner::Outcome::Done:
                lumigrid::run_handler([&] { done(message); });
                break;
              case lumigrid::PrintJobRunner::Outcome::Cancelled:
                if (tell_print_outcome) tell_print_outcome(message);
                break;
              case lumigrid::PrintJobRunner::Outcome::Failed:
                lumigrid::report_error(message);
                break;
            }
          });
  Print1->setEnabled(false);
  print_job_->start();
#else
  (void)runner;
  (void)done;
#endif
}

QWidget* TForm_Info::printProgress() const {
#ifdef LUMIGRID_HAVE_CUPS
  if (print_job_) return print_job_->progressDialog();
#endif
  return nullptr;
}

void TForm_Info::printJobEnded() {
#ifdef LUMIGRID_HAVE_CUPS
  // The runner has emitted its last signal: it goes once that signal has returned.
  if (auto* ended = print_job_.release()) ended->deleteLater();
#endif
  Print1->setEnabled(true);
}

void TForm_Info::Image1MouseDown(Qt::MouseButton button, QPoint /*position*/) {
  if (button == Qt::MiddleButton) FitIn2Click();
}

void TForm_Info::Image1DragOver(QPoint position, bool entered) {
  if (entered) drag_origin_ = position;
  if (!drag_origin_) return;
  const lumigrid::Point scroll = lumigrid::pan_scroll(
      {ScrollBox1->scrollPosition().x(), ScrollBox1->scrollPosition().y()},
      {drag_origin_->x(), drag_origin_->y()}, {position.x(), position.y()},
      view_size(ScrollBox1->contentExtent()), view_size(ScrollBox1->visibleExtent()));
  ScrollBox1->setScrollPosition(to_qpoint(scroll));
}

void TForm_Info::ScrollBox1MouseWheel(int delta, QPoint global_position) {
  const QPoint client = mapFromGlobal(global_position);
  if (const auto factor = lumigrid::wheel_zoom_factor(delta)) zoomAbout(*factor, client);
  // Even when the zoom stopped at a limit, the cursor goes to the scroll box's centre.
  const lumigrid::Point target = lumigrid::wheel_cursor_target(view_size(ScrollBox1->size()));
  QCursor::setPos(mapToGlobal(to_qpoint(target)));
}

void TForm_Info::zoomAbout(float factor, QPoint point) {
  Image1->setStretch(true);
  lumigrid::ZoomView view;
  view.bitmap = bitmapSize();
  view.control = view_size(Image1->size());
  view.scroll_box = view_size(ScrollBox1->size());
  if (const auto zoom = lumigrid::zoom_image(view, factor, {point.x(), point.y()})) {
    ScrollBox1->setImageSize(QSize(zoom->control.width, zoom->control.height));
    // The scroll bars clamp to the range of the new size, with the scroll bars it brings.
    ScrollBox1->setScrollPosition(to_qpoint(zoom->requested));
  }
}

void TForm_Info::zoomStepByKey(bool towards_operator) {
  if (!page_) return;  // nothing shown, nothing to zoom
  // The wheel's step, turned over the middle of the view. The wheel's point is where the
  // cursor is on the window; the middle of what is shown is that point plus the scroll
  // positions, so the page point in the middle stays there however far the view is scrolled.
  const auto factor = lumigrid::wheel_zoom_factor(towards_operator ? -1 : 1);
  const lumigrid::Point centre = lumigrid::wheel_cursor_target(view_size(ScrollBox1->size()));
  zoomAbout(*factor, ScrollBox1->scrollPosition() + to_qpoint(centre));
}

void TForm_Info::popupMenuByKey() {
  // As with the mouse, the menu belongs to the page: none before the first page.
  if (!ScrollBox1->isVisible() || PopupMenu1->isVisible()) return;
  const QWidget* view = ScrollBox1->viewport();
  PopupMenu1->popup(view->mapToGlobal(view->rect().center()));
}

void TForm_Info::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  const bool plain_or_ctrl = (modifiers & ~(Qt::ControlModifier | Qt::ShiftModifier)) == 0;
  QScrollBar* across = ScrollBox1->horizontalScrollBar();
  QScrollBar* down = ScrollBox1->verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_F10:
      if (modifiers != Qt::ShiftModifier) break;
      popupMenuByKey();  // Shift+F10 is the Menu key of keyboards without one
      return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:  // "+" without Shift on the main row
      if (!plain_or_ctrl) break;
      lumigrid::run_handler([this] { zoomStepByKey(true); });
      return;
    case Qt::Key_Minus:
      if (!plain_or_ctrl) break;
      lumigrid::run_handler([this] { zoomStepByKey(false); });
      return;
    // The scroll box takes these itself when it has the focus; the window does the same for
    // the keys that reach it otherwise.
    case Qt::Key_Left:
      across->triggerAction(QAbstractSlider::SliderSingleStepSub);
      return;
    case Qt::Key_Right:
      across->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      return;
    case Qt::Key_Up:
      down->triggerAction(QAbstractSlider::SliderSingleStepSub);
      return;
    case Qt::Key_Down:
      down->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      return;
    case Qt::Key_PageUp:
      down->triggerAction(QAbstractSlider::SliderPageStepSub);
      return;
    case Qt::Key_PageDown:
      down->triggerAction(QAbstractSlider::SliderPageStepAdd);
      return;
    case Qt::Key_Home:  // the page's top-left corner
      ScrollBox1->setScrollPosition(QPoint(across->minimum(), down->minimum()));
      return;
    case Qt::Key_End:  // its bottom-right corner
      ScrollBox1->setScrollPosition(QPoint(across->maximum(), down->maximum()));
      return;
    default:
      break;
  }
  QWidget::keyPressEvent(event);
}

void TForm_Info::contextMenuEvent(QContextMenuEvent* event) {
  // The Menu key: the window system sends the menu request to the focus, the scroll box, which
  // passes it on. A click outside the image opens nothing, as before.
  if (event->reason() == QContextMenuEvent::Keyboard) {
    popupMenuByKey();
    event->accept();
    return;
  }
  QWidget::contextMenuEvent(event);
}

bool TForm_Info::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    lumigrid::run_handler([this] { FormActivate(); });
  }
  const bool handled = QWidget::event(event);
  // An empty caption is the page's name as typed, not the program's: the toolkit names the
  // native window after the program as it creates it, before it maps it.
  if (event->type() == QEvent::Show && windowTitle().isEmpty()) lumigrid::x11_clear_caption(this);
  return handled;
}

void TForm_Info::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ScrollBox1->setGeometry(rect());  // the scroll box fills the client area
}
