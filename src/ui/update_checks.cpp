#include "ui/update_checks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <utility>

#include "about/update_texts.h"
#include "about/version_record.h"
#include "ui/about_box.h"

namespace lumigrid {

UpdateCheckRunner::UpdateCheckRunner(QObject* context, about::UpdateView& view) {
#if LUMIGRID_UPDATE_CHECK
  checks_ = std::make_unique<about::CheckQueue>([context, &view](about::CheckOutcome outcome) {
    QMetaObject::invokeMethod(
        context,
        [&view, outcome = std::move(outcome)] {
          try {
            outcome(about_module_state(), view);
          } catch (const std::exception& error) {
            show_about_error(error);
          }
        },
        Qt::QueuedConnection);
  });
#else
  Q_UNUSED(context);
  Q_UNUSED(view);
#endif
}

UpdateCheckRunner::~UpdateCheckRunner() = default;

#if LUMIGRID_UPDATE_CHECK
void UpdateCheckRunner::startFirstCheck() {
  const std::string base_url = about_module_state().update_base_url;
  checks_->submit([base_url](const std::atomic<bool>& cancel) {
    return about::fetch_first_check(base_url, about::kIndexFileName, &cancel);
  });
}

void UpdateCheckRunner::startSecondCheck() {
  const std::string base_url = about_module_state().update_base_url;
  checks_->submit([base_url](const std::atomic<bool>& cancel) {
    return about::fetch_second_check(base_url, &cancel);
  });
}
#else
void UpdateCheckRunner::startFirstCheck() {}

void UpdateCheckRunner::startSecondCheck() {}
#endif

void name_the_program(about::UpdateState& state) {
  const QFileInfo executable(QCoreApplication::applicationFilePath());
  state.release_file_name = executable.fileName().toStdString();
  state.program_name = about::program_name_from_file_name(state.release_file_name);
  state.update_base_url = about::update_base_url(about::update_settings().host, state.program_name);
}

void show_about_error(const std::exception& error) {
  QMessageBox::critical(QApplication::activeWindow(), QCoreApplication::applicationName(),
                        QString::fromUtf8(error.what()));
}

StartUpUpdateCheck::StartUpUpdateCheck() : download_caption_(about::kCheckForUpdateCaption) {
  about::UpdateView& view = *this;
  checks_ = std::make_unique<UpdateCheckRunner>(&context_, view);
  try {
    about::UpdateState& state = about_module_state();
    name_the_program(state);
    state.local_version =
        about::get_file_version(QCoreApplication::applicationFilePath().toStdString());
    checks_->startFirstCheck();
  } catch (const std::exception& error) {
    show_about_error(error);
  }
}

StartUpUpdateCheck::~StartUpUpdateCheck() {
  // Stops a check still on the network before the captions go.
  checks_.reset();
}

void StartUpUpdateCheck::setDownloadCaption(const std::string& caption) {
  download_caption_ = caption;
}

void StartUpUpdateCheck::setDownloadTooltip(const std::string& tooltip) {
  download_tooltip_ = tooltip;
}

void StartUpUpdateCheck::setWebTooltip(const std::string& tooltip) {
  web_tooltip_ = tooltip;
}

about::Answer StartUpUpdateCheck::ask(const std::string& /*question*/) {
  return about::Answer::Cancel;
}

void StartUpUpdateCheck::tell(const std::string& /*message*/) {}

void StartUpUpdateCheck::openFile(const std::string& /*path*/) {}

}  // namespace lumigrid
