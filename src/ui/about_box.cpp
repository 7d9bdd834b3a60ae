#include "ui/about_box.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDesktopServices>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QProgressDialog>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <limits>
#include <thread>

#include "about/program_version.h"
#include "about/update_texts.h"
#include "about/version_record.h"
#include "settings/settings.h"
#include "ui/close_key.h"
#include "ui/update_checks.h"
#include "ui/window_accessibility.h"

namespace {

// The build's file version, kept in the executable for get_file_version to read back.
[[gnu::used]] const lumigrid::about::VersionRecord kFileVersionRecord =
    lumigrid::about::make_version_record(LUMIGRID_FILE_VERSION_MAJOR, LUMIGRID_FILE_VERSION_MINOR,
                                         LUMIGRID_FILE_VERSION_RELEASE,
                                         LUMIGRID_FILE_VERSION_BUILD);

constexpr int kIconSize = 128;

QString qt_text(const std::string& text) {
  // Line breaks of the texts are CR LF; a widget shows a bare line feed.
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QFont about_font(int pixel_height, bool bold = false) {
  QFont font(QStringLiteral("Consolas"));
  font.setStyleHint(QFont::Monospace);
  font.setPixelSize(pixel_height);
  font.setBold(bold);
  return font;
}

QLabel* centred_label(QWidget* parent, const QRect& geometry, const QFont& font) {
  auto* label = new QLabel(parent);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setFont(font);
  return label;
}

}  // namespace

lumigrid::about::UpdateState& about_module_state() {
  static lumigrid::about::UpdateState state;
  return state;
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  lumigrid::announce_window(
      this, QStringLiteral("The program's version and release date, its web page and the update "
                           "check; Escape or Ctrl+W closes"));
  lumigrid::close_with_ctrl_w(this);
  // Outcomes come back to this window's thread; a window gone by then takes none.
  lumigrid::about::UpdateView& view = *this;
  checks_ = std::make_unique<lumigrid::UpdateCheckRunner>(this, view);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                 Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint);
  setWindowTitle(QStringLiteral("About xxx"));
  setFixedSize(666, 165);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  colours.setColor(QPalette::WindowText, Qt::black);
  setPalette(colours);
  setAutoFillBackground(true);
  setFont(about_font(11));

  Image1 = new QLabel(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(8, 8, 64, 64);
  // A screen reader reads the texts of the labels and buttons as their names, and the buttons'
  // tooltips, which tell the check's outcome, as their descriptions; the icon has no text.
  Image1->setAccessibleName(QStringLiteral("Program icon"));
  Label1 = centred_label(this, QRect(178, 8, 405, 32), about_font(27, true));
  UpdateDate = centred_label(this, QRect(142, 57, 473, 23), about_font(16));
  Label1->setObjectName("Label1");
  UpdateDate->setObjectName("UpdateDate");
  Label1->setAccessibleDescription(QStringLiteral("program name"));
  UpdateDate->setAccessibleDescription(QStringLiteral("file version and release date"));

  SpeedButton_web = new QToolButton(this);
  SpeedButton_web->setObjectName("SpeedButton_web");
  SpeedButton_web->setGeometry(225, 98, 321, 22);
  // Both buttons take the focus, by Tab or a click, so that the keyboard alone can open the web
  // page or check for an update: Space or Return presses the button with the focus.
  SpeedButton_web->setFocusPolicy(Qt::StrongFocus);
  SpeedButton_web->setAutoRaise(true);
  SpeedButton_web->setText(QString::fromLatin1(lumigrid::about::kWebButtonCaption));
  connect(SpeedButton_web, &QToolButton::clicked, this, &TAboutBox::SpeedButton_webClick);

  Action_check_for_update =
      new QAction(QString::fromLatin1(lumigrid::about::kCheckForUpdateCaption), this);
  Action_check_for_update->setObjectName("Action_check_for_update");
  connect(Action_check_for_update, &QAction::triggered, this,
          &TAboutBox::Action_check_for_updateExecute);
  SpeedButton_download = new QToolButton(this);
  SpeedButton_download->setObjectName("SpeedButton_download");
  SpeedButton_download->setGeometry(8, 136, 211, 27);
  SpeedButton_download->setFocusPolicy(Qt::StrongFocus);
  SpeedButton_download->setAutoRaise(true);
  SpeedButton_download->setDefaultAction(Action_check_for_update);
  SpeedButton_download->setToolTip(QString());  // only a check gives it a tooltip
  // Without the update check there is nothing to check or download.
  SpeedButton_download->setVisible(LUMIGRID_UPDATE_CHECK != 0);

  Copyright = centred_label(this, QRect(225, 144, 276, 13), font());
  Copyright->setObjectName("Copyright");
  Copyright->setText(QStringLiteral("Copyright (C) The lumigrid developers"));

  FormCreate();
}

void TAboutBox::FormCreate() {
  using namespace lumigrid::about;
  UpdateState& state = about_module_state();
  try {
    const QString executable_path = QCoreApplication::applicationFilePath();
    const QFileInfo executable(executable_path);
    lumigrid::name_the_program(state);
    setWindowTitle(QString::fromStdString(about_caption(state.program_name)));

    static const bool kIconResourcesReady = [] {
      Q_INIT_RESOURCE(about);  // the resources live in a static library
      return true;
    }();
    Q_UNUSED(kIconResourcesReady);
    const QPixmap icon(QStringLiteral(":/MAINICON"));
    if (!icon.isNull()) {
      Image1->setPixmap(
          icon.scaled(kIconSize, kIconSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
      Image1->resize(kIconSize, kIconSize);
    }

    Label1->setToolTip(executable_path);
    Label1->setText(QString::fromStdString(state.program_name));

    const QDate released = executable.lastModified().date();
    const std::string separator =
        date_separator_of_format(QLocale().dateFormat(QLocale::ShortFormat).toStdString());
    state.local_version = get_file_version(executable_path.toStdString());
    UpdateDate->setText(QString::fromStdString(version_line(
        state.local_version,
        release_date_text(released.year(), released.month(), released.day(), separator))));

    startFirstCheck();
  } catch (const std::exception& error) {
    // The window is still created; what ran before the failure stays in effect.
    lumigrid::show_about_error(error);
  }
}

TAboutBox::~TAboutBox() {
  // Stops a check still on the network before the window's parts go.
  checks_.reset();
}

void TAboutBox::FormActivate() {
  startSecondCheck();
}

bool TAboutBox::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return QDialog::event(event);
}

void TAboutBox::keyPressEvent(QKeyEvent* event) {
  // A dialog's Return presses its default push button; these tool buttons have none, so Return
  // presses the button with the focus, as Space does. Escape closes the window.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
    lumigrid::close_by_key(this, Qt::Key_Escape);
    return;
  }
  if (enter && modifiers == Qt::NoModifier) {
    if (auto* button = qobject_cast<QToolButton*>(focusWidget()); button && button->isEnabled()) {
      button->click();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  if (const QScreen* where = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    move(frame.topLeft());
  }
}

#if LUMIGRID_UPDATE_CHECK
bool TAboutBox::get_onlin_info2() {
  return lumigrid::about::run_second_check(about_module_state(), *this);
}

void TAboutBox::Action_check_for_updateExecute() {
  const std::filesystem::path executable(
      QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString());
  lumigrid::about::run_download_action(about_module_state(), *this,
                                       QCoreApplication::applicationDirPath().toStdString(),
                                       lumigrid::settings_path_for(executable).filename().string());
}
#else
bool TAboutBox::get_onlin_info2() {
  return false;
}

void TAboutBox::Action_check_for_updateExecute() {}
#endif

void TAboutBox::startFirstCheck() {
  checks_->startFirstCheck();
}

void TAboutBox::startSecondCheck() {
  checks_->startSecondCheck();
}

// The download runs on a thread of its own while this thread shows its progress, with a
// Cancel button once it has taken a moment.
bool TAboutBox::runDownload(
    const std::function<bool(const std::atomic<bool>& cancel,
                             const std::function<void(std::int64_t, std::int64_t)>& progress)>&
        download) {
  constexpr int kShowAfterMs = 500;
  constexpr int kPollMs = 50;
  std::atomic<bool> cancel{false};
  std::atomic<bool> done{false};
  std::atomic<std::int64_t> received{0};
  std::atomic<std::int64_t> expected{-1};
  bool result = false;
  std::thread worker([&] {
    result = download(cancel, [&](std::int64_t now, std::int64_t total) {
      received = now;
      expected = total;
    });
    done = true;
  });

  QProgressDialog progress(QStringLiteral("Downloading %1")
                               .arg(QString::fromStdString(about_module_state().release_file_name)),
                           QStringLiteral("Cancel"), 0, 1000, this);
  progress.setWindowTitle(windowTitle());
  progress.setWindowModality(Qt::WindowModal);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  progress.setMinimumDuration(std::numeric_limits<int>::max());  // shown by the timer below
  progress.setValue(0);
  QTimer::singleShot(kShowAfterMs, &progress, [&] {
    if (!done) progress.show();
  });
  QEventLoop waiting;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &waiting, [&] {
    if (done) {
      waiting.quit();
      return;
    }
    if (progress.wasCanceled()) cancel = true;
    const std::int64_t total = expected;
    if (total > 0) {
      progress.setMaximum(1000);
      progress.setValue(int(std::min<std::int64_t>(1000, received * 1000 / total)));
    } else {
      progress.setMaximum(0);  // size unknown: a busy bar
    }
  });
  QObject::connect(&progress, &QProgressDialog::canceled, &waiting, [&] { cancel = true; });
  poll.start(kPollMs);
  if (!done) waiting.exec();
  worker.join();
  download_cancelled_ = cancel && !result;
  return result;
}

void TAboutBox::SpeedButton_webClick() {
  const std::string url = lumigrid::about::web_button_url(
      about_module_state(), lumigrid::about::update_settings().documentation_url);
  if (!url.empty()) QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void TAboutBox::setDownloadCaption(const std::string& caption) {
  SpeedButton_download->setText(qt_text(caption));
}

void TAboutBox::setDownloadTooltip(const std::string& tooltip) {
  SpeedButton_download->setToolTip(qt_text(tooltip));
}

void TAboutBox::setWebTooltip(const std::string& tooltip) {
  SpeedButton_web->setToolTip(qt_text(tooltip));
}

lumigrid::about::Answer TAboutBox::ask(const std::string& question) {
  const auto answer = QMessageBox::question(
      this, QStringLiteral("Confirm"), qt_text(question),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (answer == QMessageBox::Yes) return lumigrid::about::Answer::Yes;
  if (answer == QMessageBox::No) return lumigrid::about::Answer::No;
  return lumigrid::about::Answer::Cancel;
}

void TAboutBox::tell(const std::string& message) {
  QMessageBox::information(this, QString::fromStdString(about_module_state().program_name),
                           qt_text(message), QMessageBox::Ok);
}

void TAboutBox::openFile(const std::string& path) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void show_about_box(QWidget* parent) {
  TAboutBox box(parent);
  box.exec();
}
