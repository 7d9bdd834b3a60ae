#include "ui/picture_save_dialog.h"

#include <QFile>
#include <QStringList>
#include <iterator>

namespace lumigrid {
namespace {

struct PictureFilter {
  const char* description;  // what the dialog's list shows
  const char* patterns;     // in the toolkit's form
};

constexpr PictureFilter kPictureFilters[] = {
    {"All (*.gif;*.png;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.tif;*.tiff)",
     "*.gif *.png *.jpg *.jpeg *.bmp *.ico *.emf *.wmf *.tif *.tiff"},
    {"GIF Image (*.gif)", "*.gif"},
    {"Portable Network Graphics (*.png)", "*.png"},
    {"JPEG Image File (*.jpg)", "*.jpg"},
    {"JPEG Image File (*.jpeg)", "*.jpeg"},
    {"Bitmaps (*.bmp)", "*.bmp"},
    {"Icons (*.ico)", "*.ico"},
    {"Enhanced Metafiles (*.emf)", "*.emf"},
    {"Metafiles (*.wmf)", "*.wmf"},
    {"TIFF Images (*.tif)", "*.tif"},
    {"TIFF Images (*.tiff)", "*.tiff"},
    {"PDF at true size (*.pdf)", "*.pdf"},
};

const QStringList& picture_filters() {
  static const QStringList kFilters = [] {
    QStringList built;
    for (const PictureFilter& filter : kPictureFilters) {
      built << QStringLiteral("%1 (%2)").arg(filter.description, filter.patterns);
    }
    return built;
  }();
  return kFilters;
}

// The entry the dialog has selected. With the patterns hidden, some toolkit versions report the
// description alone.
int selected_filter(const QFileDialog& dialog) {
  const QString selected = dialog.selectedNameFilter();
  for (int entry = 0; entry < int(std::size(kPictureFilters)); ++entry) {
    if (selected == picture_filters().at(entry) ||
        selected == QLatin1String(kPictureFilters[entry].description)) {
      return entry;
    }
  }
  return 0;
}

// The extension a name typed without one gets: the entry's own when it names one type, else
// "bmp" (the "All" entry).
QString default_suffix_of(int entry) {
  const QString patterns = QLatin1String(kPictureFilters[entry].patterns);
  if (patterns.contains(QLatin1Char(' ')) || !patterns.startsWith(QLatin1String("*.")))
    return QStringLiteral("bmp");
  return patterns.mid(2);
}

}  // namespace

PictureSaveDialog::PictureSaveDialog(QWidget* parent) : QFileDialog(parent) {
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  // The toolkit's own dialog, the same on every platform and drivable in tests; an existing file
  // is replaced without a question.
  setOption(QFileDialog::DontUseNativeDialog);
  setOption(QFileDialog::DontConfirmOverwrite);
  // The list shows each entry's description alone, not the patterns the toolkit appends to it.
  setOption(QFileDialog::HideNameFilterDetails);
  setNameFilters(picture_filters());
  selectNameFilter(picture_filters().front());
  // Choosing "PDF at true size (*.pdf)" and typing "page" writes page.pdf, not a bitmap.
  connect(this, &QFileDialog::filterSelected, this,
          [this] { setDefaultSuffix(default_suffix_of(selected_filter(*this))); });
}

std::optional<std::filesystem::path> PictureSaveDialog::ask(const QString& suggested_name) {
  setDefaultSuffix(default_suffix_of(selected_filter(*this)));
  selectFile(suggested_name);
  const int filter_before = selected_filter(*this);
  if (exec() != QDialog::Accepted) {
    selectNameFilter(picture_filters().at(filter_before));
    return std::nullopt;
  }
  const QStringList files = selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  return std::filesystem::path(QFile::encodeName(files.front()).toStdString());
}

}  // namespace lumigrid
