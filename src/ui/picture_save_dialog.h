#pragma once
// The one save dialog for pictures, shared by the chart window (its capture) and the page viewer
// (its page), so that both offer the same types and remember the same choice.
#include <QFileDialog>
#include <filesystem>
#include <optional>

namespace lumigrid {

class PictureSaveDialog : public QFileDialog {
  Q_OBJECT

 public:
  explicit PictureSaveDialog(QWidget* parent);

  // Asks for the file to write, offering `suggested_name`. A name typed without an extension
  // gets the chosen entry's, or ".bmp" with "All" chosen. Cancelled: nothing, and the type chosen
  // before the dialog opened is chosen again.
  std::optional<std::filesystem::path> ask(const QString& suggested_name);
};

}  // namespace lumigrid
