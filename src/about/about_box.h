#pragma once
// The About window. (Minimal until the update check lands.)
#include <QDialog>

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);
};

// Creates a fresh About window, shows it modally and destroys it when it closes.
void show_about_box(QWidget* parent);

extern TAboutBox* AboutBox;
