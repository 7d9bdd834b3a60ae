#include "about/about_box.h"

TAboutBox* AboutBox = nullptr;

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) { setWindowTitle("About lumigrid"); }

void show_about_box(QWidget* parent) {
  TAboutBox box(parent);
  box.exec();
}
