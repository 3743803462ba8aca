#include "ui/bevel.h"

namespace tavo::ui {

TBevel::TBevel(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setFocusPolicy(Qt::NoFocus);
  // It only frames what lies on it; clicks go to the controls it encloses.
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

}  // namespace tavo::ui
