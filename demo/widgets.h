// SPDX-License-Identifier: Apache-2.0
// Two small widgets the main window needs that Qt lacks: a drop-down list
// that says when it is about to open (the speed list is rebuilt then), and
// a panel that takes a click; and the way the windows make a control that
// carries the object name of its role.
#ifndef ORVEX_DEMO_WIDGETS_H_
#define ORVEX_DEMO_WIDGETS_H_

#include <QComboBox>
#include <QFrame>
#include <QMouseEvent>

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
