#pragma once
// The page viewer: the printable page in an image control inside a scroll box, fitted, shown 1:1,
// zoomed with the wheel around the cursor, panned by dragging, and saved or printed from its menu.
// The keyboard does all of it too: the Menu key or Shift+F10 opens the menu, whose entries carry
// their shortcuts (Ctrl+S save, Ctrl+0 fit, Ctrl+1 1:1, Ctrl+P print); plus and minus zoom one
// wheel step about the middle of the view; the arrows, Page Up/Down, Home and End scroll.
#include <QAbstractScrollArea>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "page/chart_page.h"
#include "page/page_build.h"
#include "page/page_view.h"
#include "page/printable_chart.h"
#include "page/viewer_geometry.h"
#include "surface/surface.h"

class QAction;
class QMenu;
class QPrinter;

namespace lumigrid {
class PrintJobRunner;
}

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
  void SaveImagePattern1Click();
  // Prints the page at 100 % after the print dialog, asking first when the paper's printable
  // area is smaller than the page. On a CUPS printer the job is the page's own PDF, made and
  // sent on a worker while the windows go on; its outcome is told.
  void Print1Click();
  // A print job is being made and sent.
  bool printing() const { return print_job_ != nullptr; }
  void Image1MouseDown(Qt::MouseButton button, QPoint position);
  // `position` in Image1's coordinates; `entered`: the drag has just come over the image.
  void Image1DragOver(QPoint position, bool entered);
  // `global_position`: the mouse on the screen.
  void ScrollBox1MouseWheel(int delta, QPoint global_position);

  // Lets the operator choose and set up the printer, set up for the page beforehand; false
  // cancels. The default is the system print dialog; tests install their own.
  std::function<bool(QPrinter& printer)> choose_printer;
  // Why no print server answers, asked before the print dialog; nothing when one does (and
  // where printing needs no server). The default asks CUPS; tests install their own.
  std::function<std::optional<QString>()> print_server_problem;
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
  // Sends the page to the CUPS queue the dialog chose, after the queue's check and the
  // operator's answer to what it cannot do.
  void printOnQueue(const QPrinter& printer);
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
