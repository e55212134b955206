// SPDX-License-Identifier: Apache-2.0
// Two small widgets the main window needs that Qt lacks: a drop-down list
// that says when it is about to open (the speed list is rebuilt then), and
// a panel that takes a click; the way the windows make a control that
// carries the object name of its role, and fill a bar with any count.
#ifndef ORVEX_DEMO_WIDGETS_H_
#define ORVEX_DEMO_WIDGETS_H_

#include <QComboBox>
#include <QFrame>
#include <QMouseEvent>
#include <QProgressBar>

#include <climits>
#include <cstdint>

#include <functional>
#include <utility>

namespace orvex::demo {

// A new `Widget(args...)` named `name`.
template <class Widget, class... Args>
Widget* Named(const char* name, Args&&... args) {
  auto* widget = new Widget(std::forward<Args>(args)...);
  widget->setObjectName(name);
  return widget;
}

// A bar showing `value` of `maximum`, both scaled down together until they
// fit the bar's int range; empty when the maximum is 0 (a bar whose
// maximum is 0 would show itself busy).
inline void ShowOf(QProgressBar* bar, uint64_t value, uint64_t maximum) {
  if (maximum == 0) value = 0, maximum = 1;
  while (maximum > static_cast<uint64_t>(INT_MAX)) value >>= 1, maximum >>= 1;
  bar->setMaximum(static_cast<int>(maximum));
  bar->setValue(static_cast<int>(value < maximum ? value : maximum));
}

class TDropDownList final : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;  // before the list opens

  void showPopup() override {
    if (OnDropDown) OnDropDown();
    QComboBox::showPopup();
  }
};

class TClickPanel final : public QFrame {
 public:
  using QFrame::QFrame;
  std::function<void()> OnClick;  // a left click on the panel itself

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick();
    QFrame::mouseReleaseEvent(event);
  }
};

}  // namespace orvex::demo

#endif  // ORVEX_DEMO_WIDGETS_H_
