#pragma once
// The page viewer: the printable page in an image control inside a scroll box, fitted, shown 1:1,
// zoomed with the wheel around the cursor, panned by dragging, and saved or printed from its menu.
// The keyboard does all of it too: the Menu key or Shift+F10 opens the menu, whose entries carry
// their shortcuts (Ctrl+S save, Ctrl+0 fit, Ctrl+1 1:1, Ctrl+2 true size, Ctrl+P print); plus and
// minus zoom one wheel step about the middle of the view; the arrows, Page Up/Down, Home and End
// scroll.
#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "monitor/screen_size.h"
#include "page/chart_page.h"
#include "page/page_build.h"
#include "page/page_view.h"
#include "page/printable_chart.h"
#include "page/viewer_geometry.h"
#include "surface/surface.h"

class QAction;
class QMenu;
class QPrinter;
class QScreen;

namespace lumigrid {
class PrintJobRunner;
struct PreparedPageJob;

// Why the print server cannot be used before the print dialog opens.
struct PrintServerProblem {
  QString reason;  // "no print server answers at HOST (...)", "the print server at HOST did not
                   // answer within 5 s"
  // The server took the connection but did not answer: the print dialog, which asks it for
  // its printers on the window's thread, would wait on it too, so it does not open.
  bool silent = false;
};

// The time the print server has to answer the question asked before the print dialog.
inline constexpr std::chrono::milliseconds kPrintServerCheckLimit{5000};
// The time a job the operator cancels, or that is still followed as the program ends, has to
// be purged on the server. A cancel as the document's last bytes go waits this long for the
// job's id and as long again for its purge: every wait of a Cancel or of quitting stays within
// a second.
inline constexpr std::chrono::milliseconds kPrintPurgeWithinSecond{400};
}  // namespace lumigrid

// The image control: shows the page at its own size, drawing only what a paint exposes.
class TPageImage : public QWidget {
  Q_OBJECT

 public:
  explicit TPageImage(QWidget* parent);

  // `view` samples `page`, which must stay alive and unchanged while it is shown.
  void setPage(const lumigrid::ChartPage* page);
  const lumigrid::ChartPage* page() const { return page_; }
  // Stretch on: the page is drawn scaled to the control's device pixels; off: one page pixel
  // per device pixel.
  bool stretch() const { return stretch_; }
  void setStretch(bool on);

  // Handlers the window installs.
  std::function<void(QMouseEvent*)> on_mouse_down;
  std::function<void(QMouseEvent*)> on_mouse_move;
  std::function<void(QMouseEvent*)> on_mouse_up;
  std::function<void(QContextMenuEvent*)> on_context_menu;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  const lumigrid::ChartPage* page_ = nullptr;
  lumigrid::PageView view_;
  bool stretch_ = false;
  QImage exposed_;  // reused between paints
};

// The scroll box: its content is the image control at a place of its own in content coordinates;
// the scroll range runs from 0 to the image's far edge less the visible extent.
class TPageScrollBox : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TPageScrollBox(QWidget* parent);

  void setImage(QWidget* image, QPoint content_origin);
  QPoint imageOrigin() const { return origin_; }
  // Moves the image to a place in content coordinates; the scroll positions stay (clamped).
  void setImageOrigin(QPoint content_origin);
  // Sizes the image; the scroll range follows.
  void setImageSize(QSize size);
  QPoint scrollPosition() const;
  // Each position is clamped to its range.
  void setScrollPosition(QPoint position);
  // The part of the content the operator sees.
  QSize visibleExtent() const;
  QSize contentExtent() const;

  std::function<void(QWheelEvent*)> on_mouse_wheel;

 protected:
  void scrollContentsBy(int dx, int dy) override;
  void resizeEvent(QResizeEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void updateRange();
  void placeImage();

  QWidget* image_ = nullptr;
  QPoint origin_;
};

class TForm_Info : public QWidget {
  Q_OBJECT

 public:
  // What the viewer tells and asks of the other windows; the window set fills it in. Without a
  // link the viewer goes on alone.
  struct Links {
    // A page has been built for this drawing-area text and is shown.
    std::function<void(const QString& area_text)> page_built;
    // Saves the page shown, through the shared save dialog.
    std::function<void(const lumigrid::RowSource& page)> save_page;
    // The size of a device pixel of a monitor, its calibration included. Unlinked, the
    // monitor's own report without calibration.
    std::function<lumigrid::ScreenScale(const QScreen& screen)> screen_scale;
  };

  explicit TForm_Info(QWidget* owner = nullptr);
  ~TForm_Info() override;

  void setLinks(Links links);

  // Builds the page for a drawing-area text with the adjust window's current Space, Pitch and
  // Pitch2: sizes it, draws it, names it, fits it and captions the window. A page that cannot be
  // built leaves the one shown before, whole, and raises the error.
  void buildPage(const QString& area_text, const lumigrid::ChartParameters& parameters);
  // Shows the scroll box, hidden until then, and builds the page in it as buildPage does.
  void showPage(const QString& area_text, const lumigrid::ChartParameters& parameters);
  // The page shown, if any.
  const lumigrid::ChartPage* page() const { return page_.get(); }

  void FormActivate();
  void FitIn1Click();
  void FitIn2Click();
  // Shows the page at its size on paper on the viewer's monitor (a page pixel is 1/600 inch).
  void showTrueSize();
  void SaveImagePattern1Click();
  // Prints the page at 100 % after the print dialog, asking first when the paper's printable
  // area is smaller than the page. On a CUPS printer the job is the page's own PDF, made and
  // sent on a worker while the windows go on; its outcome is told.
  void Print1Click();
  // The print server is being asked, or a print job is being made, sent or followed.
  bool printing() const { return print_job_ != nullptr; }
  // The progress box of what printing() runs, with its Cancel button; null when none runs.
  QWidget* printProgress() const;
  void Image1MouseDown(Qt::MouseButton button, QPoint position);
  // `position` in Image1's coordinates; `entered`: the drag has just come over the image.
  void Image1DragOver(QPoint position, bool entered);
  // `global_position`: the mouse on the screen.
  void ScrollBox1MouseWheel(int delta, QPoint global_position);

  // Lets the operator choose and set up the printer, set up for the page beforehand; false
  // cancels. The default is the system print dialog; tests install their own.
  std::function<bool(QPrinter& printer)> choose_printer;
  // Why no print server answers, asked on a worker before the print dialog (which asks the
  // server for its printers on the window's thread); nothing when one does (and where printing
  // needs no server). It ends soon after `cancel` is set. Unset, CUPS is asked one real
  // question within kPrintServerCheckLimit; tests install their own.
  std::function<std::optional<lumigrid::PrintServerProblem>(const std::atomic<bool>* cancel)>
      print_server_problem;
  // Tells a print job's outcome that is not a failure ("Sent to PDF as job 12", a cancelled
  // job); failures are errors. The default shows a message box; tests install their own.
  std::function<void(const QString& message)> tell_print_outcome;
  // Memory a new page's description may take; the default is what the system has free, tests
  // install less.
  std::function<std::uint64_t()> available_page_memory = lumigrid::available_page_memory;

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // The window's parts, each named after its member so that a test finds it with findChild.
  TPageScrollBox* ScrollBox1 = nullptr;
  TPageImage* Image1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* SaveImagePattern1 = nullptr;
  QAction* FitIn1 = nullptr;
  QAction* FitIn2 = nullptr;
  QAction* true_size_ = nullptr;  // "True size", Ctrl+2; its object name is TrueSize
  QAction* Print1 = nullptr;

  void fit_image();
  // Names the page and its scroll box after the drawing-area text, for screen readers.
  void nameThePage(const QString& area_text);
  // One zoom step by `factor` about `point`, in the viewer's client coordinates.
  void zoomAbout(float factor, QPoint point);
  // Plus (towards the operator) and minus: one wheel step about the middle of the view.
  void zoomStepByKey(bool towards_operator);
  // Opens the menu over the middle of the view.
  void popupMenuByKey();
  lumigrid::ViewSize bitmapSize() const;
  // After the print server's answer: the print dialog, or why it does not open.
  void printAfterServerCheck(const std::optional<lumigrid::PrintServerProblem>& problem);
  void openPrintDialog();
  // Asks the CUPS queue the dialog chose how it stands, on a worker.
  void printOnQueue(const QPrinter& printer);
  // Sends the page to the queue after the operator's answer to what it cannot do, and follows
  // the job through the queue.
  void sendToQueue(lumigrid::PreparedPageJob job, int copies);
  // Runs one exchange with the print server behind its progress box. A cancellation is told
  // and a failure reported; `done` hears the message of one that returned, on the window's
  // thread, once the runner has let go.
  void runPrintExchange(std::unique_ptr<lumigrid::PrintJobRunner> runner,
                        std::function<void(const QString& message)> done);
  void printJobEnded();

  Links links_;
  // Shared with a print job still being made, which keeps the page it prints.
  std::shared_ptr<const lumigrid::ChartPage> page_;
  std::unique_ptr<lumigrid::PrintJobRunner> print_job_;
  QString page_area_text_;  // the drawing-area text the page was built for
  // A drag that is over the image has an origin; one that has left it has none.
  bool dragging_ = false;
  std::optional<QPoint> drag_origin_;
};
