#pragma once
// A lowered rectangular frame and nothing else.

#include <QFrame>

namespace tavo::ui {

class TBevel : public QFrame {
  Q_OBJECT

 public:
  explicit TBevel(QWidget* parent = nullptr);
};

}  // namespace tavo::ui
