#include "page/info_window.h"

TForm_Info* Form_Info = nullptr;

TForm_Info::TForm_Info(QWidget* owner) : QWidget(owner, Qt::Window) {
  setWindowTitle("Form_Info");
  resize(983, 612);
  setAttribute(Qt::WA_QuitOnClose, false);  // closing it only hides it
}

TForm_Info::~TForm_Info() {
  if (Form_Info == this) Form_Info = nullptr;
}

void TForm_Info::drawing_area_changed(const QString& /*area_text*/) {}
