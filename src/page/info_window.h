#pragma once
// The printable-page viewer window. (Minimal until the viewer lands.)
#include <QString>
#include <QWidget>

class TForm_Info : public QWidget {
  Q_OBJECT

 public:
  explicit TForm_Info(QWidget* owner = nullptr);
  ~TForm_Info() override;

  // The adjust window's drawing-area text changed: build and show the page for it.
  void drawing_area_changed(const QString& area_text);
};

extern TForm_Info* Form_Info;
